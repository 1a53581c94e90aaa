// The catalogue of window stations and desktops that the chooser shows.
#include "dialogFrame.h"
#include "expectedTexts.h"
#include "fakePlatform.h"
#include "frmDesktops.h"
#include "modDesktopsList.h"
#include "seamTest.h"
#include "text.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>
#include <cwchar>
#include <memory>

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using testing::Optional;

class RecordingTarget final : public DesktopsListTarget {
public:
    void AddDesktopsRow(const std::wstring& text) override { rows.push_back(text); }
    void SetShadowDesktopNames(StringList fullNames) override {
        ++shadowSets;
        rowsWhenShadowSet = rows.size();
        shadow = std::move(fullNames);
    }

    StringList rows;
    std::optional<StringList> shadow;
    int shadowSets = 0;
    size_t rowsWhenShadowSet = 0;
};

class FillDesktopsListTest : public SeamTest {
protected:
    void Fill() { FillDesktopsList(target); }

    RecordingTarget target;
};

TEST_F(FillDesktopsListTest, ListsEachStationWithItsDesktopsAndLeavesOutARefusedOne) {
    fake.windowStations = {"WinSta0", "Service-0x0-3e7$"};
    fake.desktopsOf["WinSta0"] = {"Default", "Disconnect"};
    fake.Fail("OpenWindowStationA", ERROR_ACCESS_DENIED, 0, "Service-0x0-3e7$");
    Fill();

    EXPECT_THAT(target.rows, ElementsAre(L"WinSta0", L"    Default", L"    Disconnect", L""));
    EXPECT_THAT(target.shadow, Optional(ElementsAre(L"", L"WinSta0\\Default", L"WinSta0\\Disconnect", L"")));
    // The rows are in place before the full names are handed over.
    EXPECT_EQ(target.shadowSets, 1);
    EXPECT_EQ(target.rowsWhenShadowSet, 4u);
    EXPECT_THAT(fake.Calls(), ElementsAre("EnumWindowStationsA(1)", "OpenWindowStationA(WinSta0, 0, 0x101)",
                                          "EnumDesktopsA(winsta1, 2)", "CloseWindowStation(winsta1)",
                                          "OpenWindowStationA(Service-0x0-3e7$, 0, 0x101)"));
    EXPECT_THAT(fake.MessageBoxes(), IsEmpty());
}

TEST_F(FillDesktopsListTest, ARefusedStationEnumeratedFirstLeavesNoTrace) {
    fake.windowStations = {"Service-0x0-3e7$", "WinSta0"};
    fake.desktopsOf["WinSta0"] = {"Default", "Disconnect"};
    fake.Fail("OpenWindowStationA", ERROR_ACCESS_DENIED, 0, "Service-0x0-3e7$");
    Fill();
    EXPECT_THAT(target.rows, ElementsAre(L"WinSta0", L"    Default", L"    Disconnect"));
    EXPECT_THAT(target.shadow, Optional(ElementsAre(L"", L"WinSta0\\Default", L"WinSta0\\Disconnect")));
}

// However a station in the middle fails, it contributes no row, not even a
// separator, and its handle (if any) is closed before the next is opened.
struct LeftOutCase {
    const char* name;
    std::function<void(FakePlatform&)> arrange;
    std::vector<std::string> calls;
};

void PrintTo(const LeftOutCase& row, std::ostream* out) { *out << row.name; }

class StationLeftOutTest : public FillDesktopsListTest, public testing::WithParamInterface<LeftOutCase> {};

TEST_P(StationLeftOutTest, ContributesNoRow) {
    fake.windowStations = {"A", "B", "C"};
    fake.desktopsOf["A"] = {"a1"};
    fake.desktopsOf["B"] = {"b1"};
    fake.desktopsOf["C"] = {"c1"};
    GetParam().arrange(fake);
    Fill();

    EXPECT_THAT(target.rows, ElementsAre(L"A", L"    a1", L"", L"C", L"    c1"));
    EXPECT_THAT(target.shadow, Optional(ElementsAre(L"", L"A\\a1", L"", L"", L"C\\c1")));
    EXPECT_THAT(fake.Calls(), testing::ElementsAreArray(GetParam().calls));
    EXPECT_EQ(fake.OpenHandles(), 0);
}

const char* const kEnumStations = "EnumWindowStationsA(1)";

INSTANTIATE_TEST_SUITE_P(
    Ways, StationLeftOutTest,
    testing::Values(
        LeftOutCase{"Refused",
                    [](FakePlatform& f) { f.Fail("OpenWindowStationA", ERROR_ACCESS_DENIED, 0, "B"); },
                    {kEnumStations, "OpenWindowStationA(A, 0, 0x101)", "EnumDesktopsA(winsta1, 2)",
                     "CloseWindowStation(winsta1)", "OpenWindowStationA(B, 0, 0x101)",
                     "OpenWindowStationA(C, 0, 0x101)", "EnumDesktopsA(winsta2, 2)", "CloseWindowStation(winsta2)"}},
        // The fake delivers B's desktop before it reports the failure.
        LeftOutCase{"EnumerationFails",
                    [](FakePlatform& f) { f.Fail("EnumDesktopsA", ERROR_ACCESS_DENIED, 0, "B"); },
                    {kEnumStations, "OpenWindowStationA(A, 0, 0x101)", "EnumDesktopsA(winsta1, 2)",
                     "CloseWindowStation(winsta1)", "OpenWindowStationA(B, 0, 0x101)", "EnumDesktopsA(winsta2, 2)",
                     "CloseWindowStation(winsta2)", "OpenWindowStationA(C, 0, 0x101)", "EnumDesktopsA(winsta3, 2)",
                     "CloseWindowStation(winsta3)"}},
        LeftOutCase{"NoDesktops",
                    [](FakePlatform& f) { f.desktopsOf["B"].clear(); },
                    {kEnumStations, "OpenWindowStationA(A, 0, 0x101)", "EnumDesktopsA(winsta1, 2)",
                     "CloseWindowStation(winsta1)", "OpenWindowStationA(B, 0, 0x101)", "EnumDesktopsA(winsta2, 2)",
                     "CloseWindowStation(winsta2)", "OpenWindowStationA(C, 0, 0x101)", "EnumDesktopsA(winsta3, 2)",
                     "CloseWindowStation(winsta3)"}}),
    harness::CaseName{});

TEST_F(FillDesktopsListTest, AMissingLastStationLeavesATrailingSeparator) {
    fake.windowStations = {"A", "B"};
    fake.desktopsOf["A"] = {"a1"};
    fake.Fail("OpenWindowStationA", ERROR_ACCESS_DENIED, 0, "B");
    Fill();
    EXPECT_THAT(target.rows, ElementsAre(L"A", L"    a1", L""));
}

TEST_F(FillDesktopsListTest, NoListableStationGivesNoRowAndAnEmptyList) {
    fake.windowStations = {"A", "B"};
    fake.desktopsOf["B"] = {"b1"};
    fake.Fail("EnumDesktopsA", ERROR_ACCESS_DENIED, 0, "B");
    Fill();
    EXPECT_THAT(target.rows, IsEmpty());
    EXPECT_THAT(target.shadow, Optional(IsEmpty()));
    EXPECT_EQ(fake.OpenHandles(), 0);
}

TEST_F(FillDesktopsListTest, KeepsTheEnumeratedOrderAndDuplicates) {
    fake.windowStations = {"Zeta", "Alpha", "Zeta"};
    fake.desktopsOf["Zeta"] = {"b", "a", "b"};
    fake.desktopsOf["Alpha"] = {"x"};
    Fill();
    EXPECT_THAT(target.rows, ElementsAre(L"Zeta", L"    b", L"    a", L"    b", L"", L"Alpha", L"    x", L"", L"Zeta",
                                         L"    b", L"    a", L"    b"));
    EXPECT_THAT(target.shadow, Optional(ElementsAre(L"", L"Zeta\\b", L"Zeta\\a", L"Zeta\\b", L"", L"", L"Alpha\\x", L"",
                                                    L"", L"Zeta\\b", L"Zeta\\a", L"Zeta\\b")));
}

TEST_F(FillDesktopsListTest, SkipsNullNameAddresses) {
    fake.windowStations = {std::nullopt, "WinSta0", std::nullopt};
    fake.desktopsOf["WinSta0"] = {std::nullopt, "Default", std::nullopt};
    Fill();
    // A skipped name is no station: WinSta0 is the only and last one.
    EXPECT_THAT(target.rows, ElementsAre(L"WinSta0", L"    Default"));
    EXPECT_THAT(target.shadow, Optional(ElementsAre(L"", L"WinSta0\\Default")));
}

TEST_F(FillDesktopsListTest, CarriesNonAsciiNamesBothWays) {
    const std::wstring station = L"Станция \U0001F600";
    const std::wstring desktop = L"Стол 日本";
    fake.windowStations = {Utf8(station)};
    fake.desktopsOf[Utf8(station)] = {Utf8(desktop)};
    Fill();
    EXPECT_THAT(target.rows, ElementsAre(station, L"    " + desktop));
    EXPECT_THAT(target.shadow, Optional(ElementsAre(L"", station + L"\\" + desktop)));
    EXPECT_THAT(fake.CallsOf({"OpenWindowStationA"}),
                ElementsAre("OpenWindowStationA(" + Utf8(station) + ", 0, 0x101)"));
}

TEST_F(FillDesktopsListTest, AFailedStationEnumerationIsReportedAndListsNothing) {
    fake.windowStations = {"WinSta0"};
    fake.desktopsOf["WinSta0"] = {"Default"};
    fake.Fail("EnumWindowStationsA");
    Fill();

    const MessageBoxShown box = OnlyMessageBox();
    EXPECT_EQ(box.text, kExpectedEnumerationFailure);
    EXPECT_EQ(box.caption, kExpectedTitle);
    EXPECT_EQ(box.style, 0x10u);
    EXPECT_THAT(target.rows, IsEmpty());
    EXPECT_EQ(target.shadow, std::nullopt);
    EXPECT_THAT(fake.CallsExcept({"ModuleFileName"}), ElementsAre("EnumWindowStationsA(1)", "ShowMessageBox(0x10)"));
}

TEST_F(FillDesktopsListTest, EachCallEnumeratesAfresh) {
    fake.windowStations = {"Old"};
    fake.desktopsOf["Old"] = {"Default"};
    fake.Fail("EnumWindowStationsA", ERROR_ACCESS_DENIED, 1);
    Fill();

    RecordingTarget second;
    fake.windowStations = {"New"};
    fake.desktopsOf["New"] = {"Default"};
    FillDesktopsList(second);
    EXPECT_THAT(second.rows, ElementsAre(L"New", L"    Default"));
}

// ---------------------------------------------------------------------------
// The chooser's template, read as the dialog manager and Microsoft Active
// Accessibility read it: a control without text of its own is named after
// the static text control before it in the tab order (GetWindow with
// GW_HWNDPREV), which may be invisible.

struct TemplateItem {
    DWORD style;
    DWORD id;
    WORD classAtom;
    std::wstring text;
    std::array<short, 4> rect;
};

// The items of a DLGTEMPLATEEX whose menu and class are ordinals of zero,
// as DialogTemplate writes it.
std::vector<TemplateItem> ItemsOf(const DialogTemplate& dialog) {
    const auto* words = reinterpret_cast<const WORD*>(dialog.get());
    const size_t count = dialog.size() / sizeof(WORD);
    size_t at = 0;
    const auto dword = [&] {
        const DWORD value = words[at] | (static_cast<DWORD>(words[at + 1]) << 16);
        at += 2;
        return value;
    };
    const auto text = [&] {
        std::wstring value;
        while (at < count && words[at] != 0) {
            value += static_cast<wchar_t>(words[at++]);
        }
        ++at;
        return value;
    };
    at = 2 + 2 + 2 + 2;  // version, signature, help id, extended style, style
    const WORD items = words[at++];
    at += 4 + 1 + 1;  // rectangle, menu, class
    text();           // title
    at += 3;          // points, weight, italic and charset
    text();           // typeface
    std::vector<TemplateItem> found;
    for (WORD item = 0; item < items && at < count; ++item) {
        at += at % 2;  // each item starts on a DWORD boundary
        TemplateItem next{};
        dword();  // help id
        dword();  // extended style
        next.style = dword();
        for (short& side : next.rect) {
            side = static_cast<short>(words[at++]);
        }
        next.id = dword();
        EXPECT_EQ(words[at++], 0xFFFF) << "a class given by atom";
        next.classAtom = words[at++];
        next.text = text();
        at += 1;  // no creation data
        found.push_back(next);
    }
    return found;
}

TEST(DesktopsDialogTemplateTest, TheListIsNamedByAnInvisibleLabelJustBeforeIt) {
    const std::vector<TemplateItem> items = ItemsOf(DesktopsDialogTemplate());
    ASSERT_EQ(items.size(), 4u);
    const TemplateItem& label = items[0];
    const TemplateItem& list = items[1];
    EXPECT_EQ(label.classAtom, DialogTemplate::kStatic);
    EXPECT_EQ(label.text, kExpectedChooserCaption);
    EXPECT_EQ(label.style & WS_VISIBLE, 0u) << "the label is for screen readers only";
    EXPECT_EQ(label.style & (WS_TABSTOP | WS_GROUP), 0u);
    EXPECT_EQ(label.style & SS_NOPREFIX, static_cast<DWORD>(SS_NOPREFIX));
    EXPECT_EQ(label.rect, (std::array<short, 4>{0, 0, 0, 0})) << "it takes no place";
    // The search for a label stops at a control with WS_GROUP | WS_TABSTOP:
    // the list comes right after the label.
    EXPECT_EQ(list.classAtom, DialogTemplate::kListBox);
    EXPECT_NE(list.style & WS_TABSTOP, 0u);
    EXPECT_NE(list.style & WS_VISIBLE, 0u);
    // Readers that ask the window itself (Wine's) find the same name.
    EXPECT_EQ(list.text, kExpectedChooserCaption);
    EXPECT_EQ(items[2].id, static_cast<DWORD>(IDOK));
    EXPECT_EQ(items[2].text, kExpectedOkButton);
    EXPECT_EQ(items[3].id, static_cast<DWORD>(IDCANCEL));
    EXPECT_EQ(items[3].text, kExpectedCancelButton);
}

}  // namespace
