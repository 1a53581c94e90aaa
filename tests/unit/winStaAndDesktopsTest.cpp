// Names of window objects, and opening or creating the target window station
// and desktop.
#include "modWinStaAndDesktops.h"
#include "seamTest.h"

#include <ostream>
#include <vector>

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;
using testing::SizeIs;

// ---------------------------------------------------------------------------
// GetUserObjectName and GetCurrentWinStaName

using ObjectNameTest = SeamTest;

TEST_F(ObjectNameTest, AsksForTheSizeThenForTheName) {
    EXPECT_EQ(GetUserObjectName(fake.OwnWinSta()), L"WinSta0");
    // The size reported is that of "WinSta0" in UTF-16, NUL included.
    EXPECT_THAT(fake.Calls(),
                ElementsAre("GetUserObjectInformationA(own, 2, 1)", "GetUserObjectInformationA(own, 2, 16)"));
}

TEST_F(ObjectNameTest, NoNeededCountGivesTheEmptyTextWithoutASecondRequest) {
    fake.Fail("GetUserObjectInformationA", ERROR_INVALID_HANDLE, 1);
    EXPECT_EQ(GetUserObjectName(fake.OwnWinSta()), L"");
    EXPECT_THAT(fake.Calls(), SizeIs(1));
}

TEST_F(ObjectNameTest, AZeroNeededCountGivesTheEmptyTextWithoutASecondRequest) {
    fake.ownWinStaName = "";
    fake.namesWithoutNul = true;
    EXPECT_EQ(GetUserObjectName(fake.OwnWinSta()), L"");
    EXPECT_THAT(fake.Calls(), SizeIs(1));
}

TEST_F(ObjectNameTest, ARequestRefusedAtEverySizeGivesTheEmptyText) {
    for (const int request : {2, 3, 4}) {
        fake.Fail("GetUserObjectInformationA", ERROR_ACCESS_DENIED, request);
    }
    EXPECT_EQ(GetUserObjectName(fake.OwnWinSta()), L"");
    EXPECT_THAT(fake.Calls(),
                ElementsAre("GetUserObjectInformationA(own, 2, 1)", "GetUserObjectInformationA(own, 2, 16)",
                            "GetUserObjectInformationA(own, 2, 32)", "GetUserObjectInformationA(own, 2, 64)"));
}

// The size reported is that of the name in UTF-16, too small for the UTF-8
// form of most CJK names: the buffer grows until the name arrives whole.
struct GrowingNameCase {
    const wchar_t* name;
    std::vector<DWORD> lengths;  // asked for after the first request
};

void PrintTo(const GrowingNameCase& row, std::ostream* out) { *out << Utf8(row.name); }

class GrowingNameTest : public SeamTestWithParam<GrowingNameCase> {};

TEST_P(GrowingNameTest, ArrivesWhole) {
    fake.ownWinStaName = Utf8(GetParam().name);
    EXPECT_EQ(GetUserObjectName(fake.OwnWinSta()), GetParam().name);
    std::vector<std::string> expected = {"GetUserObjectInformationA(own, 2, 1)"};
    for (const DWORD length : GetParam().lengths) {
        expected.push_back("GetUserObjectInformationA(own, 2, " + std::to_string(length) + ")");
    }
    EXPECT_THAT(fake.Calls(), ElementsAreArray(expected));
}

INSTANTIATE_TEST_SUITE_P(Names, GrowingNameTest,
                         testing::Values(GrowingNameCase{L"\u65E5", {4}},  // 3 bytes and a NUL fit in 2 units' 4
                                         GrowingNameCase{L"\u65E5\u672C", {6, 12}},  // 7 bytes of UTF-8, 6 of UTF-16
                                         GrowingNameCase{L"\u5DE5\u4F5C\u7AD9-\u684C", {12, 24}},  // CJK with ASCII
                                         GrowingNameCase{L"\U0001F600\U0001F601", {10}},  // 4 bytes for 2 units: fits
                                         GrowingNameCase{L"\u0421\u0442\u043E\u043B",
                                                         {10}}));  // Cyrillic: 2 bytes both ways

// Several lengths, since whether a missing terminator shows depends on what
// happens to follow a too short buffer on the heap.
class NameWithoutNulTest : public SeamTestWithParam<const char*> {};

TEST_P(NameWithoutNulTest, ComesBackWholeWhenItFillsTheWholeCount) {
    const std::string name = GetParam();
    fake.ownWinStaName = name;
    fake.namesWithoutNul = true;
    EXPECT_EQ(Utf8(GetUserObjectName(fake.OwnWinSta())), name);
    EXPECT_EQ(fake.Calls().back(), "GetUserObjectInformationA(own, 2, " + std::to_string(name.size()) + ")");
}

INSTANTIATE_TEST_SUITE_P(Names, NameWithoutNulTest, testing::Values("WS", "WinSta0", "Service1", "WinSta0-2"));

TEST_F(ObjectNameTest, ConvertsANonAsciiNameFromTheAnsiCodePage) {
    const std::wstring name = L"Станция-日本-\U0001F600";
    fake.ownWinStaName = Utf8(name);
    EXPECT_EQ(GetUserObjectName(fake.OwnWinSta()), name);
}

TEST_F(ObjectNameTest, CurrentWinStaNameIsTheNameOfTheProcessWindowStation) {
    EXPECT_EQ(GetCurrentWinStaName(), L"WinSta0");
    EXPECT_EQ(fake.Calls().front(), "GetProcessWindowStation()");
    EXPECT_EQ(GetCurrentWinStaName(), GetUserObjectName(fake.OwnWinSta()));
    // The process's own handle stays open (closing it would be a fault).
    EXPECT_THAT(fake.CallsOf({"CloseWindowStation"}), IsEmpty());
}

TEST_F(ObjectNameTest, NoProcessWindowStationGivesTheEmptyText) {
    fake.Fail("GetProcessWindowStation");
    EXPECT_EQ(GetCurrentWinStaName(), L"");
    EXPECT_THAT(fake.Calls(), ElementsAre("GetProcessWindowStation()"));
}

// ---------------------------------------------------------------------------
// OpenOrCreateWinStaAndDesktop

class OpenOrCreateTest : public SeamTest {
protected:
    // They close through the fake they came from, which (in the base) is
    // destroyed after them.
    UniqueWinSta winSta;
    UniqueDesktop desktop;
};

// Each object is opened and, only where that fails, created; the desktop is
// obtained while the target window station is the process's.
struct OpenOrCreateCase {
    const char* name;
    bool openWinStaFails;
    bool openDesktopFails;
    std::vector<std::string> calls;
};

void PrintTo(const OpenOrCreateCase& row, std::ostream* out) { *out << row.name; }

class OpenOrCreateVariantsTest : public OpenOrCreateTest, public testing::WithParamInterface<OpenOrCreateCase> {};

TEST_P(OpenOrCreateVariantsTest, ObtainsBothAndSwitchesBack) {
    const OpenOrCreateCase& row = GetParam();
    if (row.openWinStaFails) {
        fake.Fail("OpenWindowStationA");
    }
    if (row.openDesktopFails) {
        fake.Fail("OpenDesktopA");
    }
    OpenOrCreateWinStaAndDesktop(L"A\\B", winSta, desktop);

    EXPECT_THAT(fake.Calls(), ElementsAreArray(row.calls));
    EXPECT_EQ(fake.Label(winSta.get()), "winsta1");
    EXPECT_EQ(fake.Label(desktop.get()), "desktop2");
    EXPECT_EQ(fake.StationOfDesktop(desktop.get()), "A");
    EXPECT_EQ(fake.CurrentWinSta(), fake.OwnWinSta());
    EXPECT_EQ(fake.OpenHandles(), 2);
}

const char* const kSave = "GetProcessWindowStation()";
const char* const kOpenA = "OpenWindowStationA(A, 0, 0x109)";
const char* const kCreateA = "CreateWindowStationA(A, 0x0, 0x109, NULL)";
const char* const kSwitchToA = "SetProcessWindowStation(winsta1)";
const char* const kOpenB = "OpenDesktopA(B, 0x0, 0, 0x142)";
const char* const kCreateB = "CreateDesktopA(B, NULL, NULL, 0x0, 0x142, NULL)";
const char* const kSwitchBack = "SetProcessWindowStation(own)";

INSTANTIATE_TEST_SUITE_P(
    Variants, OpenOrCreateVariantsTest,
    testing::Values(
        OpenOrCreateCase{"BothOpened", false, false, {kSave, kOpenA, kSwitchToA, kOpenB, kSwitchBack}},
        OpenOrCreateCase{"DesktopCreated", false, true, {kSave, kOpenA, kSwitchToA, kOpenB, kCreateB, kSwitchBack}},
        OpenOrCreateCase{"WinStaCreated", true, false, {kSave, kOpenA, kCreateA, kSwitchToA, kOpenB, kSwitchBack}},
        OpenOrCreateCase{
            "BothCreated", true, true, {kSave, kOpenA, kCreateA, kSwitchToA, kOpenB, kCreateB, kSwitchBack}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OpenOrCreateTest, AWinStaNeitherOpenedNorCreatedLeavesBothNull) {
    fake.Fail("OpenWindowStationA");
    fake.Fail("CreateWindowStationA");
    OpenOrCreateWinStaAndDesktop(L"A\\B", winSta, desktop);
    EXPECT_THAT(fake.Calls(), ElementsAre(kSave, kOpenA, "CreateWindowStationA(A, 0x0, 0x109, NULL)"));
    EXPECT_FALSE(winSta);
    EXPECT_FALSE(desktop);
    EXPECT_EQ(fake.CurrentWinSta(), fake.OwnWinSta());
}

TEST_F(OpenOrCreateTest, ARefusedSwitchClosesTheWinStaAndLeavesBothNull) {
    fake.Fail("SetProcessWindowStation", ERROR_ACCESS_DENIED, 1);
    OpenOrCreateWinStaAndDesktop(L"A\\B", winSta, desktop);
    EXPECT_THAT(fake.Calls(), ElementsAre(kSave, kOpenA, kSwitchToA, "CloseWindowStation(winsta1)"));
    EXPECT_FALSE(winSta);
    EXPECT_FALSE(desktop);
    EXPECT_EQ(fake.CurrentWinSta(), fake.OwnWinSta());
    EXPECT_EQ(fake.OpenHandles(), 0);
}

TEST_F(OpenOrCreateTest, ADesktopNeitherOpenedNorCreatedSwitchesBackThenClosesTheWinSta) {
    fake.Fail("OpenDesktopA");
    fake.Fail("CreateDesktopA");
    OpenOrCreateWinStaAndDesktop(L"A\\B", winSta, desktop);
    EXPECT_THAT(fake.Calls(),
                ElementsAre(kSave, kOpenA, kSwitchToA, kOpenB, kCreateB, kSwitchBack, "CloseWindowStation(winsta1)"));
    EXPECT_FALSE(winSta);
    EXPECT_FALSE(desktop);
    EXPECT_EQ(fake.CurrentWinSta(), fake.OwnWinSta());
    EXPECT_EQ(fake.OpenHandles(), 0);
}

TEST_F(OpenOrCreateTest, AnEmptyDesktopHalfCallsNothingAndWritesNeither) {
    winSta.reset(platform().OpenWindowStationA("Mine", FALSE, WINSTA_ENUMERATE));
    desktop.reset(platform().OpenDesktopA("Mine", 0, FALSE, DESKTOP_ENUMERATE));
    const HWINSTA winStaBefore = winSta.get();
    const HDESK desktopBefore = desktop.get();
    fake.ClearCalls();

    OpenOrCreateWinStaAndDesktop(L"A\\", winSta, desktop);
    EXPECT_THAT(fake.Calls(), IsEmpty());
    EXPECT_EQ(winSta.get(), winStaBefore);
    EXPECT_EQ(desktop.get(), desktopBefore);
}

TEST_F(OpenOrCreateTest, ALoneBackslashOnlyLooksUpTheCurrentWinSta) {
    OpenOrCreateWinStaAndDesktop(L"\\", winSta, desktop);
    EXPECT_THAT(fake.CallsExcept({"GetProcessWindowStation", "GetUserObjectInformationA"}), IsEmpty());
    EXPECT_FALSE(winSta);
    EXPECT_FALSE(desktop);
}

TEST_F(OpenOrCreateTest, AnEmptyCurrentWinStaNameIsPassedOnUnchanged) {
    fake.ownWinStaName = "";
    OpenOrCreateWinStaAndDesktop(L"Work", winSta, desktop);
    EXPECT_THAT(fake.CallsOf({"OpenWindowStationA"}), ElementsAre("OpenWindowStationA(, 0, 0x109)"));
    EXPECT_TRUE(desktop);
}

struct SplitCase {
    const wchar_t* fullName;
    const char* winSta;
    const char* desktop;
};

class OpenOrCreateSplitTest : public OpenOrCreateTest, public testing::WithParamInterface<SplitCase> {};

TEST_P(OpenOrCreateSplitTest, SplitsAtTheFirstBackslash) {
    OpenOrCreateWinStaAndDesktop(GetParam().fullName, winSta, desktop);
    EXPECT_THAT(fake.CallsOf({"OpenWindowStationA", "OpenDesktopA"}),
                ElementsAre("OpenWindowStationA(" + std::string(GetParam().winSta) + ", 0, 0x109)",
                            "OpenDesktopA(" + std::string(GetParam().desktop) + ", 0x0, 0, 0x142)"));
    EXPECT_EQ(fake.StationOfDesktop(desktop.get()), GetParam().winSta);
}

INSTANTIATE_TEST_SUITE_P(Names, OpenOrCreateSplitTest,
                         testing::Values(SplitCase{L"Work", "WinSta0", "Work"}, SplitCase{L"A\\B", "A", "B"},
                                         SplitCase{L"\\B", "WinSta0", "B"}, SplitCase{L"A\\B\\C", "A", "B\\C"},
                                         SplitCase{L"Станция\\Стол 1", "Станция", "Стол 1"}));

}  // namespace
