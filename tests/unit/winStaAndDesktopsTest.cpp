// Names of window objects, and opening or creating the target window station
// and desktop.
#include "fakePlatform.h"
#include "modWinStaAndDesktops.h"
#include "platform.h"
#include "seamTest.h"
#include "text.h"
#include "uniqueHandle.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <vector>
#include <cstddef>

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
    // The token read before a creation takes a handle number of its own.
    const char* winStaLabel = "winsta1";
    const char* desktopLabel = "desktop2";
};

void PrintTo(const OpenOrCreateCase& row, std::ostream* out) { *out << row.name; }

class OpenOrCreateVariantsTest : public OpenOrCreateTest, public testing::WithParamInterface<OpenOrCreateCase> {};

TEST_P(OpenOrCreateVariantsTest, ObtainsBothAndSwitchesBack) {
    const OpenOrCreateCase& row = GetParam();
    if (row.openWinStaFails) {
        fake.Fail("OpenWindowStationA", ERROR_FILE_NOT_FOUND);
        fake.elevated = true;
    }
    if (row.openDesktopFails) {
        fake.Fail("OpenDesktopA", ERROR_FILE_NOT_FOUND);
    }
    EXPECT_EQ(OpenOrCreateWinStaAndDesktop(L"A\\B", winSta, desktop), std::nullopt);

    EXPECT_THAT(fake.Calls(), ElementsAreArray(row.calls));
    EXPECT_EQ(fake.Label(winSta.get()), row.winStaLabel);
    EXPECT_EQ(fake.Label(desktop.get()), row.desktopLabel);
    EXPECT_EQ(fake.StationOfDesktop(desktop.get()), "A");
    EXPECT_EQ(fake.CurrentWinSta(), fake.OwnWinSta());
    EXPECT_EQ(fake.OpenHandles(), 2);
}

const char* const kSave = "GetProcessWindowStation()";
const char* const kOpenA = "OpenWindowStationA(A, 0, 0x109)";
const char* const kCreateA = "CreateWindowStationA(A, 0x0, 0x109, non-NULL)";
const char* const kSwitchToA = "SetProcessWindowStation(winsta1)";
const char* const kSwitchToNewA = "SetProcessWindowStation(winsta2)";
// The DACL of the process's token, read for a new window station: its size,
// then the DACL, and the token is closed at once.
std::vector<std::string> ReadDacl() {
    const size_t size = sizeof(TOKEN_DEFAULT_DACL) + FakePlatform().tokenDefaultDacl->size();
    return {"GetCurrentProcess()", "OpenProcessToken(self, 0x8)", "GetTokenInformation(token1, 6, 0)",
            "GetTokenInformation(token1, 6, " + std::to_string(size) + ")", "CloseHandle(token1)"};
}
const std::vector<std::string> kReadDacl = ReadDacl();
const char* const kOpenB = "OpenDesktopA(B, 0x0, 0, 0x142)";
const char* const kCreateB = "CreateDesktopA(B, NULL, NULL, 0x0, 0x142, NULL)";
const char* const kSwitchBack = "SetProcessWindowStation(own)";
const char* const kCloseA = "CloseWindowStation(winsta1)";
// Read after a failed open, and after a failed creation of what the open
// did not find.
const char* const kLastError = "GetLastError()";

std::vector<std::string> Then(std::vector<std::string> calls, const std::vector<std::string>& more) {
    calls.insert(calls.end(), more.begin(), more.end());
    return calls;
}

INSTANTIATE_TEST_SUITE_P(
    Variants, OpenOrCreateVariantsTest,
    testing::Values(
        OpenOrCreateCase{"BothOpened", false, false, {kSave, kOpenA, kSwitchToA, kOpenB, kSwitchBack}},
        OpenOrCreateCase{
            "DesktopCreated", false, true, {kSave, kOpenA, kSwitchToA, kOpenB, kLastError, kCreateB, kSwitchBack}},
        OpenOrCreateCase{
            "WinStaCreated", true, false,
            Then(Then({kSave, kOpenA, kLastError}, kReadDacl), {kCreateA, kSwitchToNewA, kOpenB, kSwitchBack}),
            "winsta2", "desktop3"},
        OpenOrCreateCase{"BothCreated", true, true,
                         Then(Then({kSave, kOpenA, kLastError}, kReadDacl),
                              {kCreateA, kSwitchToNewA, kOpenB, kLastError, kCreateB, kSwitchBack}),
                         "winsta2", "desktop3"}),
    harness::CaseName{});

// An object neither opened nor created: both outputs are null, the process
// is back in its own window station, and the result tells whether the object
// is known to be missing, with the error of its creation.
struct NotObtainedCase {
    const char* name;
    bool desktop;  // the desktop fails to appear, else the window station
    DWORD openError;
    DWORD createError;
    std::optional<DWORD> result;
    std::vector<std::string> calls;
};

void PrintTo(const NotObtainedCase& row, std::ostream* out) { *out << row.name; }

class NotObtainedTest : public OpenOrCreateTest, public testing::WithParamInterface<NotObtainedCase> {};

TEST_P(NotObtainedTest, LeavesBothNullAndTellsWhetherTheObjectIsMissing) {
    const NotObtainedCase& row = GetParam();
    fake.Fail(row.desktop ? "OpenDesktopA" : "OpenWindowStationA", row.openError);
    if (row.createError != ERROR_SUCCESS) {
        fake.Fail(row.desktop ? "CreateDesktopA" : "CreateWindowStationA", row.createError);
    }
    EXPECT_EQ(OpenOrCreateWinStaAndDesktop(L"A\\B", winSta, desktop), row.result);
    EXPECT_THAT(fake.Calls(), ElementsAreArray(row.calls));
    EXPECT_FALSE(winSta);
    EXPECT_FALSE(desktop);
    EXPECT_EQ(fake.CurrentWinSta(), fake.OwnWinSta());
    EXPECT_EQ(fake.OpenHandles(), 0);
}

const std::vector<std::string> kWinStaTried = Then(Then({kSave, kOpenA, kLastError}, kReadDacl), {kCreateA});
const std::vector<std::string> kDesktopTried = {kSave, kOpenA, kSwitchToA, kOpenB, kLastError, kCreateB};

INSTANTIATE_TEST_SUITE_P(
    Outcomes, NotObtainedTest,
    testing::Values(
        // A refused open: the object is there, out of reach, so the creation's
        // error does not matter and is not read.
        NotObtainedCase{"WinStaRefused", false, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, std::nullopt, kWinStaTried},
        NotObtainedCase{"WinStaMissingAndRefused", false, ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED,
                        ERROR_ACCESS_DENIED, Then(kWinStaTried, {kLastError})},
        // Windows itself refuses: only an elevated process may name a new
        // window station.
        NotObtainedCase{"WinStaMissingAndUnelevated", false, ERROR_FILE_NOT_FOUND, ERROR_SUCCESS, ERROR_ACCESS_DENIED,
                        Then(kWinStaTried, {kLastError})},
        NotObtainedCase{"WinStaNameTooLong", false, ERROR_FILENAME_EXCED_RANGE, ERROR_FILENAME_EXCED_RANGE,
                        ERROR_FILENAME_EXCED_RANGE, Then(kWinStaTried, {kLastError})},
        NotObtainedCase{"DesktopRefused", true, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, std::nullopt,
                        Then(kDesktopTried, {kSwitchBack, kCloseA})},
        NotObtainedCase{"DesktopMissingNoHeap", true, ERROR_FILE_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY,
                        ERROR_NOT_ENOUGH_MEMORY, Then(kDesktopTried, {kLastError, kSwitchBack, kCloseA})},
        NotObtainedCase{"DesktopNameRefused", true, ERROR_BAD_PATHNAME, ERROR_BAD_PATHNAME, ERROR_BAD_PATHNAME,
                        Then(kDesktopTried, {kLastError, kSwitchBack, kCloseA})}),
    harness::CaseName{});

// A new window station carries the DACL of the process's token, never the
// descriptor that Windows gives one created without any (full access for all
// users). When that DACL cannot be had, no station is created: its absence is
// reported as the creation's failure where the station is missing, and the
// token is closed on every path.
struct NewWinStaSecurityCase {
    const char* name;
    std::function<void(FakePlatform&)> arrange;
    std::optional<DWORD> result;
    bool created;  // CreateWindowStationA called, with the token's DACL
};

void PrintTo(const NewWinStaSecurityCase& row, std::ostream* out) { *out << row.name; }

class NewWinStaSecurityTest : public OpenOrCreateTest, public testing::WithParamInterface<NewWinStaSecurityCase> {};

TEST_P(NewWinStaSecurityTest, IsTheTokensDefaultDaclOrNoStationAtAll) {
    const NewWinStaSecurityCase& row = GetParam();
    fake.elevated = true;
    row.arrange(fake);
    EXPECT_EQ(OpenOrCreateWinStaAndDesktop(L"A\\B", winSta, desktop), row.result);
    if (!row.created) {
        EXPECT_THAT(fake.CallsOf({"CreateWindowStationA", "CreateDesktopA"}), IsEmpty());
        EXPECT_FALSE(winSta);
        EXPECT_FALSE(desktop);
        EXPECT_EQ(fake.OpenHandles(), 0);
        return;
    }
    ASSERT_THAT(fake.StationCreations(), SizeIs(1));
    const StationSecurity& security = fake.StationCreations()[0];
    EXPECT_FALSE(security.attributesNull);
    EXPECT_EQ(security.length, sizeof(SECURITY_ATTRIBUTES));
    EXPECT_EQ(security.inherit, FALSE);
    ASSERT_TRUE(fake.tokenDefaultDacl.has_value());
    EXPECT_EQ(security.dacl, fake.tokenDefaultDacl);
    // The desktops keep the descriptor that they inherit from their station.
    EXPECT_THAT(fake.CallsOf({"CreateDesktopA"}), ElementsAre(kCreateB));
    EXPECT_THAT(fake.CallsOf({"CloseHandle"}), ElementsAre("CloseHandle(token1)"));
    EXPECT_EQ(fake.OpenHandles(), 2);
}

INSTANTIATE_TEST_SUITE_P(Security, NewWinStaSecurityTest,
                         testing::Values(NewWinStaSecurityCase{"Created",
                                                               [](FakePlatform& f) {
                                                                   f.Fail("OpenWindowStationA", ERROR_FILE_NOT_FOUND);
                                                                   f.Fail("OpenDesktopA", ERROR_FILE_NOT_FOUND);
                                                               },
                                                               std::nullopt, true},
                                         NewWinStaSecurityCase{"TokenNotOpened",
                                                               [](FakePlatform& f) {
                                                                   f.Fail("OpenWindowStationA", ERROR_FILE_NOT_FOUND);
                                                                   f.Fail("OpenProcessToken", ERROR_ACCESS_DENIED);
                                                               },
                                                               ERROR_ACCESS_DENIED, false},
                                         NewWinStaSecurityCase{"TokenNotRead",
                                                               [](FakePlatform& f) {
                                                                   f.Fail("OpenWindowStationA", ERROR_FILE_NOT_FOUND);
                                                                   f.Fail("GetTokenInformation", ERROR_INVALID_HANDLE);
                                                               },
                                                               ERROR_INVALID_HANDLE, false},
                                         NewWinStaSecurityCase{"SizeReadButNotTheDacl",
                                                               [](FakePlatform& f) {
                                                                   f.Fail("OpenWindowStationA", ERROR_FILE_NOT_FOUND);
                                                                   f.Fail("GetTokenInformation",
                                                                          ERROR_NOT_ENOUGH_MEMORY, 2);
                                                               },
                                                               ERROR_NOT_ENOUGH_MEMORY, false},
                                         // No DACL would leave the station open to all, as none does.
                                         NewWinStaSecurityCase{"TokenWithoutDefaultDacl",
                                                               [](FakePlatform& f) {
                                                                   f.Fail("OpenWindowStationA", ERROR_FILE_NOT_FOUND);
                                                                   f.tokenDefaultDacl.reset();
                                                               },
                                                               ERROR_INVALID_ACL, false},
                                         // A refused open means the station is there: the launch
                                         // goes on, and the system decides.
                                         NewWinStaSecurityCase{"RefusedStationTokenNotOpened",
                                                               [](FakePlatform& f) {
                                                                   f.Fail("OpenWindowStationA", ERROR_ACCESS_DENIED);
                                                                   f.Fail("OpenProcessToken", ERROR_ACCESS_DENIED);
                                                               },
                                                               std::nullopt, false}),
                         harness::CaseName{});

TEST_F(OpenOrCreateTest, AnOpenedWinStaNeedsNoSecurity) {
    EXPECT_EQ(OpenOrCreateWinStaAndDesktop(L"A\\B", winSta, desktop), std::nullopt);
    EXPECT_THAT(fake.StationCreations(), IsEmpty());
    EXPECT_THAT(fake.CallsOf({"OpenProcessToken", "GetTokenInformation"}), IsEmpty());
}

// A name that the ANSI code page cannot carry whole touches nothing.
TEST_F(OpenOrCreateTest, ANameTheCodePageCannotCarryTouchesNothing) {
    fake.codePage = 1251;
    EXPECT_EQ(OpenOrCreateWinStaAndDesktop(L"\u7AD9\\B", winSta, desktop), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(OpenOrCreateWinStaAndDesktop(L"A\\\uFF3C", winSta, desktop), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_THAT(fake.Calls(), IsEmpty());
    EXPECT_FALSE(winSta);
    EXPECT_FALSE(desktop);
}

TEST_F(OpenOrCreateTest, ARefusedSwitchClosesTheWinStaAndLeavesBothNull) {
    fake.Fail("SetProcessWindowStation", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(OpenOrCreateWinStaAndDesktop(L"A\\B", winSta, desktop), std::nullopt);
    EXPECT_THAT(fake.Calls(), ElementsAre(kSave, kOpenA, kSwitchToA, kCloseA));
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

    EXPECT_EQ(OpenOrCreateWinStaAndDesktop(L"A\\", winSta, desktop), std::nullopt);
    EXPECT_THAT(fake.Calls(), IsEmpty());
    EXPECT_EQ(winSta.get(), winStaBefore);
    EXPECT_EQ(desktop.get(), desktopBefore);
}

TEST_F(OpenOrCreateTest, ALoneBackslashOnlyLooksUpTheCurrentWinSta) {
    EXPECT_EQ(OpenOrCreateWinStaAndDesktop(L"\\", winSta, desktop), std::nullopt);
    EXPECT_THAT(fake.CallsExcept({"GetProcessWindowStation", "GetUserObjectInformationA"}), IsEmpty());
    EXPECT_FALSE(winSta);
    EXPECT_FALSE(desktop);
}

TEST_F(OpenOrCreateTest, AnEmptyCurrentWinStaNameIsPassedOnUnchanged) {
    fake.ownWinStaName = "";
    EXPECT_EQ(OpenOrCreateWinStaAndDesktop(L"Work", winSta, desktop), std::nullopt);
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
    EXPECT_EQ(OpenOrCreateWinStaAndDesktop(GetParam().fullName, winSta, desktop), std::nullopt);
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
