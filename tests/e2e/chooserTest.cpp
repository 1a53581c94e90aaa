// The chooser dialog ("?" in place of the desktop name), driven with the real
// keyboard and mouse. Each test first creates window stations and desktops of
// its own and holds them, so that the list has several groups to work with.
#include "driver.h"
#include "expectedTexts.h"
#include "text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace e2e {
using namespace harness;
namespace {

const std::wstring kIndent = L"    ";

bool IsDesktopRow(const std::wstring& row) { return row.size() > kIndent.size() && row.starts_with(kIndent); }
bool IsStationRow(const std::wstring& row) { return !row.empty() && row.front() != L' '; }

// A rectangle of a child window in the client coordinates of its dialog.
RECT RectIn(HWND dialog, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string Describe(const RECT& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + " " + std::to_string(rect.right - rect.left) +
           "x" + std::to_string(rect.bottom - rect.top);
}

RECT Expected(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

// Every window station that this process can open to list desktops, with
// them, in the order in which the system enumerates.
std::vector<std::pair<std::wstring, std::vector<std::wstring>>> OwnCatalogue() {
    std::vector<std::pair<std::wstring, std::vector<std::wstring>>> catalogue;
    for (const std::wstring& station : WindowStations()) {
        catalogue.emplace_back(station, DesktopsOf(station));
    }
    return catalogue;
}

class Chooser : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MayNameNewStation()) {
            GTEST_SKIP() << kNeedsElevation;
        }
        station_ = UniqueName(L"E2eListSta");
        ownDesktop_ = UniqueName(L"E2eListDesk");
        bareStation_ = UniqueName(L"E2eBareSta");
        // The system enumerates stations in the order of their creation: the
        // station without desktops comes either before or after the listed one.
        if (!BareStationLast()) {
            bare_ = std::make_unique<HeldStation>(bareStation_, std::vector<std::wstring>{});
        }
        listed_ = std::make_unique<HeldStation>(station_, std::vector<std::wstring>{L"Один", L"Two"});
        if (BareStationLast()) {
            bare_ = std::make_unique<HeldStation>(bareStation_, std::vector<std::wstring>{});
        }
        own_ = std::make_unique<HeldDesktops>(std::vector<std::wstring>{ownDesktop_});
        ASSERT_TRUE(listed_->ok() && bare_->ok() && own_->ok());
        ownStation_ = OwnStationName();
    }

    virtual bool BareStationLast() const { return false; }

    // Starts the launcher with "?" and finds the dialog and its controls.
    void Open(const std::wstring& desktopField = L"?") {
        run_ = std::make_unique<LauncherRun>(
            RunOptions()
                .Arguments(L" \"" + desktopField + L"\" " + Quoted(ProbePath()) + L" chosen")
                .Env(L"PROBE_OUT", dir_.File(L"report.txt")));
        ASSERT_TRUE(run_->started());
        dialog_ = run_->WaitForWindow();
        ASSERT_NE(dialog_, nullptr) << "no dialog appeared";
        ASSERT_EQ(ClassOf(dialog_), L"#32770");
        ASSERT_EQ(Narrow(TextOf(dialog_)), Narrow(kExpectedChooserCaption));
        list_ = ChildWindow(dialog_, L"ListBox", L"");
        ok_ = ChildWindow(dialog_, L"Button", kExpectedOkButton);
        cancel_ = ChildWindow(dialog_, L"Button", kExpectedCancelButton);
        ASSERT_TRUE(list_ != nullptr && ok_ != nullptr && cancel_ != nullptr);
        rows_ = ListBoxRows(list_);
    }

    // The first row with the text after the given one.
    int Row(const std::wstring& text, int after = -1) const {
        const auto found = std::find(rows_.begin() + (after + 1), rows_.end(), text);
        return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
    }
    int Selected() const { return static_cast<int>(Ask(list_, LB_GETCURSEL)); }
    HWND Focus() const {
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        return GetGUIThreadInfo(GetWindowThreadProcessId(dialog_, nullptr), &gui) ? gui.hwndFocus : nullptr;
    }
    bool OkEnabled() const { return IsWindowEnabled(ok_) != FALSE; }

    // Presses a key and waits for the selection to settle on the given row
    // with Ok in the given state.
    ::testing::AssertionResult KeyTo(WORD key, int row, bool okEnabled) const {
        if (!BringToFront(dialog_)) {
            return ::testing::AssertionFailure() << "the dialog could not be brought to the front";
        }
        TapKey(key);
        if (WaitUntil([&] { return Selected() == row && OkEnabled() == okEnabled; }, 3000)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "after key " << key << ": row " << Selected() << " (wanted " << row
                                             << "), Ok " << (OkEnabled() ? "enabled" : "disabled");
    }

    // Walks with the arrow keys to the row, checking Ok on every row passed.
    void WalkTo(int target) {
        while (Selected() != target && !HasFatalFailure()) {
            const int next = Selected() + (target > Selected() ? 1 : -1);
            ASSERT_TRUE(KeyTo(target > Selected() ? VK_DOWN : VK_UP, next, IsDesktopRow(rows_[next])));
        }
    }

    // The centre of a row on the screen, for the mouse; empty when the row
    // is scrolled out of view.
    std::optional<POINT> RowCentre(int row) const {
        RECT rect{};
        RECT client{};
        GetClientRect(list_, &client);
        if (Ask(list_, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect)) == LB_ERR ||
            rect.top < client.top || rect.bottom > client.bottom) {
            return std::nullopt;
        }
        MapWindowPoints(list_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
        return CentreOf(rect);
    }

    void ExpectCancelled() {
        EXPECT_TRUE(WaitUntilGone(dialog_, 5000)) << "the dialog stayed";
        EXPECT_EQ(run_->WaitForExit(), std::optional<DWORD>(kExitCancelled));
        EXPECT_EQ(run_->ProcessesStarted(), 0u);
        EXPECT_EQ(GetFileAttributesW(dir_.File(L"report.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    }

    void ExpectLaunchedOn(const std::wstring& station, const std::wstring& desktop) {
        EXPECT_EQ(run_->WaitForExit(), std::optional<DWORD>(kExitDone));
        const std::optional<ProbeReport> report = WaitForReport(dir_.File(L"report.txt"));
        ASSERT_TRUE(report.has_value()) << "the probe wrote no report";
        EXPECT_EQ(Narrow(report->at(L"station")), Narrow(station));
        EXPECT_EQ(Narrow(report->at(L"desktop")), Narrow(desktop));
        EXPECT_EQ(Narrow(report->at(L"startupDesktop")), Narrow(station + L"\\" + desktop));
        EXPECT_EQ(Narrow(report->at(L"commandLine")), Narrow(Quoted(ProbePath()) + L" chosen"));
    }

    void CheckListThenEscape();

    void ExpectStillOpen() const {
        Sleep(700);
        EXPECT_TRUE(IsWindowVisible(dialog_)) << "the dialog closed";
        EXPECT_FALSE(run_->WaitForExit(0).has_value()) << "the launcher ended";
    }

    TempDir dir_;
    std::wstring station_;
    std::wstring bareStation_;
    std::wstring ownStation_;
    std::wstring ownDesktop_;
    std::unique_ptr<HeldStation> listed_;
    std::unique_ptr<HeldStation> bare_;
    std::unique_ptr<HeldDesktops> own_;
    std::unique_ptr<LauncherRun> run_;
    HWND dialog_ = nullptr;
    HWND list_ = nullptr;
    HWND ok_ = nullptr;
    HWND cancel_ = nullptr;
    std::vector<std::wstring> rows_;
};

// The rows, the initial state, and Escape; the same in both arrangements.
void Chooser::CheckListThenEscape() {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_GE(rows_.size(), 2u);

    // Groups: a station row, one or more desktop rows, then one empty row
    // unless the group was the last one.
    size_t at = 0;
    std::vector<std::wstring> stations;
    while (at < rows_.size()) {
        ASSERT_TRUE(IsStationRow(rows_[at])) << "row " << at << ": " << Narrow(rows_[at]);
        stations.push_back(rows_[at++]);
        const size_t firstDesktop = at;
        while (at < rows_.size() && IsDesktopRow(rows_[at])) {
            ++at;
        }
        ASSERT_GT(at, firstDesktop) << "station " << Narrow(stations.back()) << " listed without desktops";
        if (at < rows_.size()) {
            ASSERT_EQ(rows_[at], L"") << "row " << at << " follows a group";
            ++at;
        }
    }

    const int ownRow = Row(ownStation_);
    ASSERT_GE(ownRow, 0) << "own station not listed";
    const int listedRow = Row(station_);
    ASSERT_GE(listedRow, 0) << "created station not listed";
    EXPECT_EQ(Row(bareStation_), -1) << "a station without desktops is left out";
    const auto groupOf = [&](int stationRow) {
        std::vector<std::wstring> group;
        for (size_t row = static_cast<size_t>(stationRow) + 1; row < rows_.size() && IsDesktopRow(rows_[row]); ++row) {
            group.push_back(rows_[row].substr(kIndent.size()));
        }
        return group;
    };
    const std::vector<std::wstring> ownGroup = groupOf(ownRow);
    EXPECT_NE(std::find(ownGroup.begin(), ownGroup.end(), L"Default"), ownGroup.end());
    EXPECT_NE(std::find(ownGroup.begin(), ownGroup.end(), ownDesktop_), ownGroup.end());
    std::vector<std::wstring> listedGroup = groupOf(listedRow);
    std::sort(listedGroup.begin(), listedGroup.end());
    EXPECT_EQ(listedGroup, (std::vector<std::wstring>{L"Two", L"Один"}));

    // The system's own order decides: stations unsorted, and an empty last
    // row when the last station enumerated has nothing to list.
    const auto catalogue = OwnCatalogue();
    std::vector<std::wstring> listable;
    for (const auto& [station, desktops] : catalogue) {
        if (!desktops.empty()) {
            listable.push_back(station);
        }
    }
    EXPECT_EQ(stations, listable);
    ASSERT_FALSE(catalogue.empty());
    // Wine enumerates stations in the order of their creation, so the
    // arrangement decides which comes last; Windows in the order of its
    // object directory, so whichever station that puts last decides.
    if (OnWine()) {
        ASSERT_EQ(catalogue.back().first, BareStationLast() ? bareStation_ : station_) << "enumerated last";
    }
    if (catalogue.back().second.empty()) {
        EXPECT_EQ(rows_.back(), L"") << "the separator depends only on the place in the enumeration";
    } else {
        EXPECT_TRUE(IsDesktopRow(rows_.back())) << "no separator after the last group: " << Narrow(rows_.back());
    }

    EXPECT_EQ(Selected(), 1);
    EXPECT_TRUE(IsDesktopRow(rows_[1]));
    EXPECT_TRUE(OkEnabled());
    EXPECT_TRUE(IsWindowEnabled(cancel_));
    EXPECT_EQ(Focus(), list_) << "the list has the focus";

    ASSERT_TRUE(BringToFront(dialog_));
    TapKey(VK_ESCAPE);
    ExpectCancelled();
}

TEST_F(Chooser, ListsStationsInGroupsAndOpensOnTheSecondRowThenEscapeCancels) { CheckListThenEscape(); }

class ChooserWithUnlistedLastStation : public Chooser {
protected:
    bool BareStationLast() const override { return true; }
};

TEST_F(ChooserWithUnlistedLastStation, EndsWithASeparatorRow) { CheckListThenEscape(); }

// Ok with the selection untouched takes the row that the dialog opens on: the
// first desktop of the first station that has any.
TEST_F(Chooser, OkAtOnceLaunchesOnTheFirstDesktopOfTheFirstStation) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const auto catalogue = OwnCatalogue();
    const auto first =
        std::find_if(catalogue.begin(), catalogue.end(), [](const auto& entry) { return !entry.second.empty(); });
    ASSERT_NE(first, catalogue.end()) << "no station has desktops";
    ASSERT_EQ(Selected(), 1);
    RECT ok{};
    GetWindowRect(ok_, &ok);
    ASSERT_TRUE(BringToFront(dialog_));
    Click(CentreOf(ok));
    ExpectLaunchedOn(first->first, first->second.front());
}

TEST_F(Chooser, ArrowKeysKeepOkInStepWithTheRowAndEnterLaunchesOnTheChosenRow) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_EQ(Selected(), 1);
    ASSERT_TRUE(KeyTo(VK_UP, 0, false)) << "station row";
    ASSERT_TRUE(BringToFront(dialog_));
    TapKey(VK_RETURN);
    ExpectStillOpen();
    ASSERT_TRUE(KeyTo(VK_DOWN, 1, true)) << "desktop row";

    const int separator = Row(L"");
    ASSERT_GT(separator, 1) << "more than one group is listed";
    ASSERT_NO_FATAL_FAILURE(WalkTo(separator));
    ASSERT_FALSE(OkEnabled());
    TapKey(VK_RETURN);
    ExpectStillOpen();
    ASSERT_TRUE(KeyTo(VK_DOWN, separator + 1, false)) << "next station row";
    ASSERT_TRUE(KeyTo(VK_DOWN, separator + 2, true)) << "its first desktop";

    const int target = Row(kIndent + L"Two", Row(station_));
    ASSERT_GT(target, 0);
    ASSERT_NO_FATAL_FAILURE(WalkTo(target));
    TapKey(VK_RETURN);
    ExpectLaunchedOn(station_, L"Two");
}

TEST_F(Chooser, BlanksAroundTheQuestionMarkStillAsk) {
    ASSERT_NO_FATAL_FAILURE(Open(L"  ?   "));
    ASSERT_TRUE(BringToFront(dialog_));
    TapKey(VK_ESCAPE);
    ExpectCancelled();
}

TEST_F(Chooser, TabGoesFromTheListToOkToCancel) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_EQ(Focus(), list_);
    for (const HWND next : {ok_, cancel_, list_}) {
        ASSERT_TRUE(BringToFront(dialog_));
        TapKey(VK_TAB);
        EXPECT_TRUE(WaitUntil([&] { return Focus() == next; }, 3000)) << "focus on " << Narrow(TextOf(Focus()));
    }
    TapKey(VK_ESCAPE);
    ExpectCancelled();
}

// A screen reader announces the list by the name that Microsoft Active
// Accessibility gives it. Windows takes it from the static text control
// before the list in the tab order, hidden or not; Wine 8's oleacc only from
// the list's own window text. Both are there, and the route that Wine takes
// is read through oleacc, as a screen reader reads it.
TEST_F(Chooser, TheListHasAnAccessibleName) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const HWND label = GetWindow(list_, GW_HWNDPREV);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(CompareStringOrdinal(ClassOf(label).c_str(), -1, L"Static", -1, TRUE), CSTR_EQUAL);
    EXPECT_FALSE(IsWindowVisible(label)) << "the label is for screen readers only";
    EXPECT_EQ(Narrow(TextOf(label)), Narrow(kExpectedChooserCaption));
    EXPECT_EQ(Narrow(AccessibleName(list_)), Narrow(kExpectedChooserCaption));
    ASSERT_TRUE(BringToFront(dialog_));
    TapKey(VK_ESCAPE);
    ExpectCancelled();
}

TEST_F(Chooser, DoubleClickOnADesktopRowLaunchesThere) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const int target = Row(kIndent + ownDesktop_, Row(ownStation_));
    ASSERT_GT(target, 1) << "not the row selected from the start";
    const std::optional<POINT> point = RowCentre(target);
    ASSERT_TRUE(point.has_value());
    DoubleClick(*point);
    ExpectLaunchedOn(ownStation_, ownDesktop_);
}

TEST_F(Chooser, DoubleClickOnStationOrSeparatorRowOnlyMovesTheSelection) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const int station = Row(station_);
    ASSERT_GT(station, 0);
    const std::optional<POINT> stationPoint = RowCentre(station);
    const std::optional<POINT> desktopPoint = RowCentre(station + 1);
    const int separator = Row(L"");
    ASSERT_GT(separator, 0);
    const std::optional<POINT> separatorPoint = RowCentre(separator);
    ASSERT_TRUE(stationPoint && desktopPoint && separatorPoint);

    DoubleClick(*stationPoint);
    EXPECT_TRUE(WaitUntil([&] { return Selected() == station && !OkEnabled(); }, 3000)) << "row " << Selected();
    ExpectStillOpen();

    DoubleClick(*separatorPoint);
    EXPECT_TRUE(WaitUntil([&] { return Selected() == separator && !OkEnabled(); }, 3000)) << "row " << Selected();
    ExpectStillOpen();

    // A single click on a desktop row selects it and nothing more.
    Click(*desktopPoint);
    EXPECT_TRUE(WaitUntil([&] { return Selected() == station + 1 && OkEnabled(); }, 3000)) << "row " << Selected();
    ExpectStillOpen();

    RECT cancel{};
    GetWindowRect(cancel_, &cancel);
    Click(CentreOf(cancel));
    ExpectCancelled();
}

TEST_F(Chooser, AltF4Cancels) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(OkEnabled()) << "a desktop row is selected, and still nothing is chosen";
    ASSERT_TRUE(BringToFront(dialog_));
    Chord(VK_MENU, VK_F4);
    ExpectCancelled();
}

// Closes that come from neither the user nor the program: the end of the
// session, and a request to the launcher's thread to quit, which ends the
// dialog's own message loop.
TEST_F(Chooser, EndOfSessionCancels) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(OkEnabled());
    EXPECT_NE(Ask(dialog_, WM_ENDSESSION, TRUE, 0), -1) << "the dialog did not answer";
    ExpectCancelled();
}

TEST_F(Chooser, QuitRequestCancels) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(OkEnabled());
    const DWORD thread = GetWindowThreadProcessId(dialog_, nullptr);
    ASSERT_TRUE(PostThreadMessageW(thread, WM_QUIT, 0, 0));
    ExpectCancelled();
}

TEST_F(Chooser, CloseBoxCancels) {
    const WineDrawsFrames frames;
    ASSERT_NO_FATAL_FAILURE(Open());
    // Where the frame itself says its close box is.
    RECT frame{};
    GetWindowRect(dialog_, &frame);
    RECT box{frame.right, frame.bottom, frame.left, frame.top};
    for (int y = frame.top; y < frame.top + 48; y += 2) {
        for (int x = frame.right - 1; x > frame.right - 96; x -= 2) {
            if (Ask(dialog_, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
                box = {std::min(box.left, static_cast<LONG>(x)), std::min(box.top, static_cast<LONG>(y)),
                       std::max(box.right, static_cast<LONG>(x)), std::max(box.bottom, static_cast<LONG>(y))};
            }
        }
    }
    ASSERT_LT(box.left, box.right) << "the dialog has no close box";
    ASSERT_TRUE(BringToFront(dialog_));
    Click(CentreOf(box));
    ExpectCancelled();
}

// The resolution that the dialog was laid out for: under Windows the screen's,
// since Windows takes LogPixels only at the next sign-in; under Wine 8 the one
// asked for, since it reads LogPixels for each new process; under Wine 10 the
// session's, which it reads once, as this process did.
UINT DialogDpi(HWND dialog, UINT wanted) {
    if (!OnWine()) {
        return GetDpiForWindow(dialog);
    }
    return WineMajorVersion() >= 10 ? GetDpiForSystem() : wanted;
}

// The layout is fixed in twips; at any resolution each edge is the twips
// value scaled and rounded to the nearest pixel.
void ExpectLayout(HWND dialog, HWND list, HWND ok, HWND cancel, int dpi) {
    const auto px = [dpi](int twips) { return MulDiv(twips, dpi, 1440); };
    const auto rect = [&](int left, int top, int width, int height) {
        return Describe(Expected(px(left), px(top), px(width), px(height)));
    };
    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_EQ(Describe(client), rect(0, 0, 6615, 4215)) << "client area";
    EXPECT_EQ(Describe(RectIn(dialog, list)), rect(120, 120, 6375, 3420)) << "list";
    EXPECT_EQ(Describe(RectIn(dialog, ok)), rect(3840, 3660, 1275, 435)) << "Ok";
    EXPECT_EQ(Describe(RectIn(dialog, cancel)), rect(5220, 3660, 1275, 435)) << "Cancel";
}

// The icons of the dialog's frame, at the dialog's resolution: 16 and 32
// pixels at 96 dots per inch, in proportion at any other, read as the taskbar
// reads them. Wine keeps an icon's pictures in the process that loaded it, so
// only Windows lets another process read them (the unit tests read them in
// the process that set them).
void ExpectIcons(HWND dialog, int dpi) {
    if (OnWine()) {
        return;
    }
    EXPECT_EQ(IconWidth(dialog, ICON_SMALL), MulDiv(16, dpi, 96)) << "small icon";
    EXPECT_EQ(IconWidth(dialog, ICON_BIG), MulDiv(32, dpi, 96)) << "large icon";
}

TEST_F(Chooser, LayoutAt96DotsPerInch) {
    const ScreenDpi dpi(96);
    ASSERT_NO_FATAL_FAILURE(Open());
    ExpectLayout(dialog_, list_, ok_, cancel_, static_cast<int>(DialogDpi(dialog_, 96)));
    ExpectIcons(dialog_, static_cast<int>(DialogDpi(dialog_, 96)));
    ASSERT_TRUE(BringToFront(dialog_));
    TapKey(VK_ESCAPE);
    ExpectCancelled();
}

TEST_F(Chooser, LayoutAt144DotsPerInch) {
    const ScreenDpi dpi(144);
    ASSERT_NO_FATAL_FAILURE(Open());
    const UINT laidOutFor = DialogDpi(dialog_, 144);
    ExpectLayout(dialog_, list_, ok_, cancel_, static_cast<int>(laidOutFor));
    ExpectIcons(dialog_, static_cast<int>(laidOutFor));
    ASSERT_TRUE(BringToFront(dialog_));
    TapKey(VK_ESCAPE);
    ExpectCancelled();
    if (laidOutFor != 144) {
        GTEST_SKIP() << "the screen is at " << laidOutFor << " dots per inch until the next sign-in; checked there";
    }
}

// The message that a move to a screen of another resolution brings, sent as
// the system would send it, since Wine has one resolution for all screens.
// There the frame keeps its size, where a real change lets it grow with the
// next resize: a thick frame, set without the frame being recalculated, does
// that here, so that the frame after the resize differs from the one that the
// dialog finds when the message arrives. The suggested rectangle lies at the
// same address in both processes (AskWithData), since whether Windows carries
// this message's pointer across processes or hands it over as it is, is not
// documented: the dialog reads the same rectangle either way.
TEST_F(Chooser, LayoutFollowsAChangeFrom96To144DotsPerInch) {
    const ScreenDpi dpi(96);
    ASSERT_NO_FATAL_FAILURE(Open());
    SetWindowLongPtrW(dialog_, GWL_STYLE, GetWindowLongPtrW(dialog_, GWL_STYLE) | WS_THICKFRAME);
    ASSERT_NE(GetWindowLongPtrW(dialog_, GWL_STYLE) & WS_THICKFRAME, 0);
    ExpectLayout(dialog_, list_, ok_, cancel_, static_cast<int>(DialogDpi(dialog_, 96)));

    RECT before{};
    GetWindowRect(dialog_, &before);
    const RECT suggested{before.left + 40, before.top + 30, before.left + 40 + (before.right - before.left) * 3 / 2,
                         before.top + 30 + (before.bottom - before.top) * 3 / 2};
    ASSERT_NE(AskWithData(dialog_, WM_DPICHANGED, MAKEWPARAM(144, 144), &suggested, sizeof suggested), -1)
        << "the dialog did not answer";
    ExpectLayout(dialog_, list_, ok_, cancel_, 144);
    RECT after{};
    GetWindowRect(dialog_, &after);
    EXPECT_EQ(after.left, suggested.left) << "placed at the suggested corner";
    EXPECT_EQ(after.top, suggested.top) << "placed at the suggested corner";

    ASSERT_TRUE(BringToFront(dialog_));
    TapKey(VK_ESCAPE);
    ExpectCancelled();
}

}  // namespace
}  // namespace e2e
