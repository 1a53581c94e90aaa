#include "frmDesktops.h"

#include "base.h"
#include "modCommon.h"
#include "texts.h"
#include "zentarisupport.h"

#include <cstddef>
#include <initializer_list>
#include <utility>
#include <vector>

namespace {

constexpr int kListId = 100;
constexpr int kListLabelId = 101;

// The layout in twips (1/1440 inch), relative to the client area: it scales
// with the screen's resolution, 15 twips to a pixel at 96 DPI.
struct TwipRect {
    int left;
    int top;
    int width;
    int height;
};
constexpr int kClientWidth = 6615;
constexpr int kClientHeight = 4215;
constexpr TwipRect kListRect{120, 120, 6375, 3420};
constexpr TwipRect kOkRect{3840, 3660, 1275, 435};
constexpr TwipRect kCancelRect{5220, 3660, 1275, 435};
constexpr int kFontPoints = 9;

int ToPixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

void Place(HWND control, const TwipRect& rect, UINT dpi) {
    MoveWindow(control, ToPixels(rect.left, dpi), ToPixels(rect.top, dpi), ToPixels(rect.width, dpi),
               ToPixels(rect.height, dpi), TRUE);
}

// Left to itself, the dialog manager of Windows 10 1703 and later resizes a
// dialog made from a template and moves and re-fonts its controls by the
// template's dialog units when the resolution changes, fighting the twips
// layout that ApplyLayout sets on the same message. Systems without the call
// do not rescale dialogs either.
void KeepDialogManagerFromRescaling(HWND dialog) {
    static const auto setDialogDpiChangeBehavior =
        User32Function<BOOL(WINAPI*)(HWND, DIALOG_DPI_CHANGE_BEHAVIORS, DIALOG_DPI_CHANGE_BEHAVIORS)>(
            "SetDialogDpiChangeBehavior");
    if (setDialogDpiChangeBehavior != nullptr) {
        setDialogDpiChangeBehavior(dialog, DDC_DISABLE_ALL, DDC_DISABLE_ALL);
    }
}

// The frame can only be measured as it is now, and on a change of resolution
// it is still the old resolution's frame: the system recalculates it only with
// the resize. So the client area is measured again after the resize and the
// rest of the difference made up.
void SetClientSize(HWND window, int width, int height) {
    for (int pass = 0; pass < 2; ++pass) {
        RECT frame{};
        RECT client{};
        GetWindowRect(window, &frame);
        GetClientRect(window, &client);
        const int wider = width - (client.right - client.left);
        const int taller = height - (client.bottom - client.top);
        if (wider == 0 && taller == 0) {
            return;
        }
        SetWindowPos(window, nullptr, 0, 0, (frame.right - frame.left) + wider, (frame.bottom - frame.top) + taller,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

}  // namespace

DialogTemplate DesktopsDialogTemplate() {
    DialogTemplate dialog(texts::kChooserCaption, DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 4,
                          L"Tahoma", kFontPoints, RUSSIAN_CHARSET);
    // A list box has no text of its own that a screen reader would announce:
    // Microsoft Active Accessibility names it after the static text control
    // that precedes it (GetWindow with GW_HWNDPREV, the reverse tab order),
    // which may be invisible. So a label that nobody sees, with the dialog's
    // caption, which says what the list holds, comes right before it; it
    // takes no place in the layout. The list's own window text says the same
    // for the readers that ask the window itself.
    dialog.Item(0, WS_CHILD | SS_LEFT | SS_NOPREFIX, kListLabelId, DialogTemplate::kStatic, texts::kChooserCaption);
    dialog.Item(WS_EX_CLIENTEDGE, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                kListId, DialogTemplate::kListBox, texts::kChooserCaption);
    dialog.Item(0, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, DialogTemplate::kButton,
                texts::kOkButton);
    dialog.Item(0, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, DialogTemplate::kButton,
                texts::kCancelButton);
    return dialog;
}

bool frmDesktops::ShowModal() { return RunModal(DesktopsDialogTemplate(), kListId); }

void frmDesktops::AddDesktopsRow(const std::wstring& text) {
    SendMessageW(lstDesktops_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void frmDesktops::SetShadowDesktopNames(StringList fullNames) { ShadowDesktopNames = std::move(fullNames); }

INT_PTR frmDesktops::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        lstDesktops_ = Control(kListId);
        cmdOk_ = Control(IDOK);
        cmdCancel_ = Control(IDCANCEL);
        KeepDialogManagerFromRescaling(Window());
        ApplyLayout(WindowDpi(Window()));
        Form_Load();
        SetFocus(lstDesktops_);
        return FALSE;
    case WM_CLOSE:
        Form_QueryUnload();
        return TRUE;
    case WM_ENDSESSION:
        if (wParam != FALSE) {
            Form_QueryUnload();
        }
        return TRUE;
    case WM_ERASEBKGND:
        // Form_Paint covers the whole client area.
        SetWindowLongPtrW(Window(), DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_PAINT:
        Form_Paint();
        return TRUE;
    case WM_DPICHANGED: {
        ApplyLayout(HIWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(Window(), nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

bool frmDesktops::OnCommand(int controlId, WORD notification) {
    switch (controlId) {
    case kListId:
        lstDesktops_Command(notification);
        return true;
    case IDOK:
        cmdOk_Command();
        return true;
    case IDCANCEL:
        cmdCancel_Click();
        return true;
    default:
        return false;
    }
}

void frmDesktops::lstDesktops_Command(WORD notification) {
    if (notification == LBN_SELCHANGE) {
        lstDesktops_Click();
    } else if (notification == LBN_DBLCLK) {
        lstDesktops_DblClick();
    }
}

void frmDesktops::cmdOk_Command() {
    // Enter reaches here through the dialog manager even while the default
    // button is disabled.
    if (IsWindowEnabled(cmdOk_)) {
        cmdOk_Click();
    }
}

void frmDesktops::ApplyLayout(UINT dpi) {
    font_.reset(CreateFontW(-MulDiv(kFontPoints, static_cast<int>(dpi), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                            RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, L"Tahoma"));
    for (HWND control : {Window(), lstDesktops_, cmdOk_, cmdCancel_}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    }

    SetClientSize(Window(), ToPixels(kClientWidth, dpi), ToPixels(kClientHeight, dpi));

    Place(lstDesktops_, kListRect, dpi);
    Place(cmdOk_, kOkRect, dpi);
    Place(cmdCancel_, kCancelRect, dpi);
}

void frmDesktops::Form_Load() {
    bool moved = false;
    CheckStatus(zsCenterFormEx(Window(), moved), L"zsCenterFormEx");
    bool inIde = false;
    CheckStatus(zsIsInIDE(inIde), L"zsIsInIDE");
    if (!inIde) {
        CheckStatus(zsSetWindowResIconAll(Window(), L"A_MAIN"), L"zsSetWindowResIconAll");
    }
    bool fixed = false;
    CheckStatus(zsFixUserControlsContainerWindow(fixed), L"zsFixUserControlsContainerWindow");

    // Otherwise the list box updates its scroll bar and invalidates itself for
    // every row appended, which nearly doubles what each row of a long list
    // costs; the dialog is not shown yet, so there is nothing to redraw.
    SendMessageW(lstDesktops_, WM_SETREDRAW, FALSE, 0);
    FillDesktopsList(*this);
    SendMessageW(lstDesktops_, WM_SETREDRAW, TRUE, 0);

    const auto count = static_cast<int>(SendMessageW(lstDesktops_, LB_GETCOUNT, 0, 0));
    if (count <= 0) {
        EnableWindow(cmdOk_, FALSE);
        return;
    }
    SelectRow(count >= 2 ? 1 : 0);
}

void frmDesktops::Form_Paint() {
    PAINTSTRUCT paint;
    const HDC deviceContext = BeginPaint(Window(), &paint);
    bool painted = false;
    CheckStatus(zsPaintDesktop(deviceContext, painted), L"zsPaintDesktop");
    EndPaint(Window(), &paint);
}

void frmDesktops::Form_QueryUnload() {
    if (ClosingByProgram()) {
        Destroy();
        return;
    }
    // Every other close (close box, window menu, Alt+F4, end of session)
    // is refused: the dialog hides and the outcome stays as it is.
    Hide();
}

void frmDesktops::cmdOk_Click() {
    const auto index = static_cast<int>(SendMessageW(lstDesktops_, LB_GETCURSEL, 0, 0));
    if (ShadowDesktopNames && index >= 0 && static_cast<size_t>(index) < ShadowDesktopNames->size()) {
        DesktopName = (*ShadowDesktopNames)[static_cast<size_t>(index)];
    }
    Hide();
}

void frmDesktops::cmdCancel_Click() {
    DesktopName.clear();
    Hide();
}

void frmDesktops::lstDesktops_Click() {
    const auto index = static_cast<int>(SendMessageW(lstDesktops_, LB_GETCURSEL, 0, 0));
    const bool choosable = ShadowDesktopNames && index >= 0 &&
                           static_cast<size_t>(index) < ShadowDesktopNames->size() &&
                           !(*ShadowDesktopNames)[static_cast<size_t>(index)].empty();
    EnableWindow(cmdOk_, choosable ? TRUE : FALSE);
}

void frmDesktops::lstDesktops_DblClick() {
    if (IsWindowEnabled(cmdOk_)) {
        cmdOk_Click();
    }
}

void frmDesktops::SelectRow(int index) {
    // The list box sends no selection-change notification for a selection
    // made by the program: the handler runs here instead.
    SendMessageW(lstDesktops_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    lstDesktops_Click();
}
