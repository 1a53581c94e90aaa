#include "dialogFrame.h"

#include "platform.h"

DialogTemplate::DialogTemplate(const wchar_t* title, DWORD style, WORD itemCount, const wchar_t* font, WORD points,
                               BYTE charset) {
    Word(1);
    Word(0xFFFF);
    Dword(0);
    Dword(0);
    Dword(style);
    Word(itemCount);
    for (int i = 0; i < 4; ++i) {
        Word(0);
    }
    Word(0);
    Word(0);
    Text(title);
    Word(points);
    Word(FW_NORMAL);
    Word(MAKEWORD(FALSE, charset));
    Text(font);
}

void DialogTemplate::Item(DWORD exStyle, DWORD style, int id, WORD classAtom, const wchar_t* text) {
    if (words_.size() % 2 != 0) {
        Word(0);
    }
    Dword(0);
    Dword(exStyle);
    Dword(style);
    for (int i = 0; i < 4; ++i) {
        Word(0);
    }
    Dword(static_cast<DWORD>(id));
    Word(0xFFFF);
    Word(classAtom);
    Text(text);
    Word(0);
}

void DialogTemplate::Dword(DWORD value) {
    Word(LOWORD(value));
    Word(HIWORD(value));
}

void DialogTemplate::Text(const wchar_t* text) {
    for (; *text != L'\0'; ++text) {
        Word(static_cast<WORD>(*text));
    }
    Word(0);
}

DialogFrame::~DialogFrame() {
    if (window_ != nullptr) {
        // The form that derives from this frame is gone already: the window's
        // last messages must not reach it.
        SetWindowLongPtrW(window_, DWLP_USER, 0);
        DestroyWindow(window_);
    }
}

bool DialogFrame::RunModal(const DialogTemplate& dialogTemplate, int focusId) {
    if (platform().CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dialogTemplate.get(), nullptr, DialogProc,
                                              reinterpret_cast<LPARAM>(this)) == nullptr) {
        return false;
    }
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control(focusId)), TRUE);

    MSG message;
    while (window_ != nullptr && IsWindowVisible(window_)) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got == -1) {
            break;
        }
        if (!IsDialogMessageW(window_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

void DialogFrame::Hide() {
    ShowWindow(window_, SW_HIDE);
    // Wakes the message loop, which ends once the dialog is hidden.
    PostMessageW(window_, WM_NULL, 0, 0);
}

void DialogFrame::Close() {
    if (window_ != nullptr) {
        closingByProgram_ = true;
        SendMessageW(window_, WM_CLOSE, 0, 0);
    }
}

void DialogFrame::Destroy() {
    if (window_ != nullptr) {
        closingByProgram_ = true;
        DestroyWindow(window_);
    }
}

INT_PTR CALLBACK DialogFrame::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<DialogFrame*>(lParam)->window_ = window;
    }
    auto* frame = reinterpret_cast<DialogFrame*>(GetWindowLongPtrW(window, DWLP_USER));
    if (frame == nullptr) {
        return FALSE;
    }
    switch (message) {
    case WM_COMMAND:
        return frame->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_NCDESTROY:
        frame->window_ = nullptr;
        SetWindowLongPtrW(window, DWLP_USER, 0);
        return FALSE;
    default:
        return frame->OnMessage(message, wParam, lParam);
    }
}
