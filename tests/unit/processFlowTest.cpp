// Launching a command line on a desktop: the name it is launched on, what
// CreateProcessA receives, the failure message, and the handles.
#include "expectedTexts.h"
#include "fakePlatform.h"
#include "modCommon.h"
#include "modProcessFlow.h"
#include "platform.h"
#include "seamTest.h"
#include "text.h"
#include "uniqueHandle.h"
#include "zentarisupport.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

using RunOnDesktopTest = SeamTest;

std::wstring CurrentDirectory() {
    std::wstring directory;
    EXPECT_EQ(zsGetCurrentDirectory(directory), ZsStatus::Ok);
    return directory;
}

// The failure message for error, with the system's own description of it.
std::wstring ExpectedLaunchFailureFor(DWORD error) {
    std::wstring description;
    EXPECT_EQ(zsGetAPIErrorDescription(error, description), ZsStatus::Ok);
    return ExpectedLaunchFailure(error, description);
}

// A name without backslash goes into the launcher's own window station,
// whatever that station is called; any other name is used as it is.
struct DesktopNameCase {
    const char* ownWinSta;
    const wchar_t* desktopName;
    const char* launchedOn;
};

class RunOnDesktopNameTest : public SeamTestWithParam<DesktopNameCase> {};

TEST_P(RunOnDesktopNameTest, NamesTheFullDesktopInTheStartupInformation) {
    fake.ownWinStaName = GetParam().ownWinSta;
    RunOnDesktop(L"notepad.exe", GetParam().desktopName);
    ASSERT_EQ(fake.ProcessCreations().size(), 1u);
    EXPECT_EQ(fake.ProcessCreations()[0].desktop, GetParam().launchedOn);
    EXPECT_EQ(fake.OpenHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Names, RunOnDesktopNameTest,
                         testing::Values(DesktopNameCase{"WinSta0", L"Work", "WinSta0\\Work"},
                                         DesktopNameCase{"Service-0x0-3e7$", L"Work", "Service-0x0-3e7$\\Work"},
                                         DesktopNameCase{"WinSta0", L"A\\B", "A\\B"},
                                         DesktopNameCase{"WinSta0", L"\\B", "\\B"},
                                         DesktopNameCase{"", L"Work", "\\Work"},
                                         // Nothing can be opened, but the launch is still tried.
                                         DesktopNameCase{"WinSta0", L"", "WinSta0\\"}));

TEST_F(RunOnDesktopTest, CreatesTheProcessAsAskedAndClosesEverything) {
    RunOnDesktop(L"cmd /k \"dir C:\\\"", L"Стол");

    ASSERT_EQ(fake.ProcessCreations().size(), 1u);
    const ProcessCreation& creation = fake.ProcessCreations()[0];
    EXPECT_TRUE(creation.applicationNameNull);
    EXPECT_EQ(creation.commandLine, "cmd /k \"dir C:\\\"");
    EXPECT_TRUE(creation.processAttributesNull);
    EXPECT_TRUE(creation.threadAttributesNull);
    EXPECT_EQ(creation.inheritHandles, FALSE);
    EXPECT_EQ(creation.creationFlags, 0x04000020u);
    EXPECT_TRUE(creation.environmentNull);
    EXPECT_EQ(creation.currentDirectory, Utf8(CurrentDirectory()));
    EXPECT_EQ(creation.desktop, Utf8(L"WinSta0\\Стол"));

    // Every other field of the start-up information stays zero.
    STARTUPINFOA expected{};
    expected.cb = sizeof expected;
    expected.lpDesktop = creation.startupInfo.lpDesktop;
    EXPECT_EQ(creation.startupInfo.cb, sizeof(STARTUPINFOA));
    EXPECT_EQ(std::memcmp(&creation.startupInfo, &expected, sizeof expected), 0);

    EXPECT_THAT(fake.Calls(),
                ElementsAre("GetProcessWindowStation()", "GetUserObjectInformationA(own, 2, 1)",
                            "GetUserObjectInformationA(own, 2, 16)", "GetProcessWindowStation()",
                            "OpenWindowStationA(WinSta0, 0, 0x109)", "SetProcessWindowStation(winsta1)",
                            "OpenDesktopA(" + Utf8(L"Стол") + ", 0x0, 0, 0x142)", "SetProcessWindowStation(own)",
                            "CreateProcessA(NULL, cmd /k \"dir C:\\\", NULL, NULL, 0, 0x4000020, NULL, " +
                                Utf8(CurrentDirectory()) + ", " + Utf8(L"WinSta0\\Стол") + ")",
                            "GetLastError()", "GetCurrentProcess()",
                            // References for the new process, without access rights, not inheritable.
                            "DuplicateHandle(self, winsta1, process3, 0x0, 0, 0x0)",
                            "DuplicateHandle(self, desktop2, process3, 0x0, 0, 0x0)", "CloseHandle(process3)",
                            "CloseHandle(thread4)", "CloseDesktop(desktop2)", "CloseWindowStation(winsta1)"));
    EXPECT_THAT(fake.MessageBoxes(), IsEmpty());
    EXPECT_EQ(GetExitCode(), ExitCode::Done);
    EXPECT_EQ(fake.OpenHandles(), 0);
}

TEST_F(RunOnDesktopTest, AFailedStartIsReportedWithItsErrorAndTheHandlesAreClosedAfterwards) {
    fake.Fail("CreateProcessA", ERROR_FILE_NOT_FOUND);
    RunOnDesktop(L"no-such-program.exe", L"Work");

    // The error is read at once: the fake resets it on every later call.
    const std::vector<std::string> calls = fake.Calls();
    const auto created = std::find_if(calls.begin(), calls.end(),
                                      [](const std::string& call) { return call.starts_with("CreateProcessA("); });
    ASSERT_NE(created, calls.end());
    ASSERT_NE(created + 1, calls.end());
    EXPECT_EQ(created[1], "GetLastError()");
    EXPECT_THAT(std::vector<std::string>(created + 2, calls.end()),
                ElementsAre("ModuleFileName()", "ShowMessageBox(0x10)", "CloseDesktop(desktop2)",
                            "CloseWindowStation(winsta1)"));

    const MessageBoxShown box = OnlyMessageBox();
    EXPECT_EQ(box.text, ExpectedLaunchFailureFor(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(box.style, 0x10u);
    EXPECT_EQ(GetExitCode(), ExitCode::ProcessNotCreated);
    EXPECT_EQ(static_cast<int>(GetExitCode()), 2);
    EXPECT_EQ(fake.OpenHandles(), 0);
}

// Whatever the opening of the target gave, the launch is attempted with the
// full name and nothing stays open.
struct LaunchPath {
    const char* name;
    std::function<void(FakePlatform&)> arrange;
    bool launched;
};

void PrintTo(const LaunchPath& row, std::ostream* out) { *out << row.name; }

class RunOnDesktopPathsTest : public SeamTestWithParam<LaunchPath> {};

TEST_P(RunOnDesktopPathsTest, LeavesNoHandleOpen) {
    GetParam().arrange(fake);
    RunOnDesktop(L"notepad.exe", L"A\\B");
    ASSERT_EQ(fake.ProcessCreations().size(), 1u);
    EXPECT_EQ(fake.ProcessCreations()[0].desktop, "A\\B");
    EXPECT_EQ(fake.MessageBoxes().size(), GetParam().launched ? 0u : 1u);
    EXPECT_EQ(fake.OpenHandles(), 0);
    EXPECT_EQ(fake.CurrentWinSta(), fake.OwnWinSta());
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RunOnDesktopPathsTest,
    testing::Values(LaunchPath{"Started", [](FakePlatform&) {}, true},
                    LaunchPath{"NotStarted", [](FakePlatform& f) { f.Fail("CreateProcessA"); }, false},
                    LaunchPath{"NoWinSta",
                               [](FakePlatform& f) {
                                   f.Fail("OpenWindowStationA");
                                   f.Fail("CreateWindowStationA");
                               },
                               true},
                    LaunchPath{"SwitchRefused", [](FakePlatform& f) { f.Fail("SetProcessWindowStation", 5, 1); }, true},
                    LaunchPath{"NoDesktop",
                               [](FakePlatform& f) {
                                   f.Fail("OpenDesktopA");
                                   f.Fail("CreateDesktopA");
                               },
                               true},
                    LaunchPath{"NoDesktopAndNotStarted",
                               [](FakePlatform& f) {
                                   f.Fail("OpenDesktopA");
                                   f.Fail("CreateDesktopA");
                                   f.Fail("CreateProcessA");
                               },
                               false}),
    harness::CaseName{});

// 0 and -1 both mean "no handle": neither is passed to CloseHandle.
class NoProcessHandleTest : public SeamTestWithParam<std::pair<HANDLE, HANDLE>> {};

TEST_P(NoProcessHandleTest, IsNotClosedNorGivenAnything) {
    fake.processHandles = GetParam();
    RunOnDesktop(L"notepad.exe", L"A\\B");
    EXPECT_THAT(fake.CallsOf({"CloseHandle", "DuplicateHandle"}), IsEmpty());
    EXPECT_EQ(fake.OpenHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Handles, NoProcessHandleTest,
                         testing::Values(std::pair<HANDLE, HANDLE>{nullptr, INVALID_HANDLE_VALUE},
                                         std::pair<HANDLE, HANDLE>{INVALID_HANDLE_VALUE, nullptr}));

// ---------------------------------------------------------------------------
// As on Windows: nothing is created on demand, an object lives while a handle
// to it is open, and the new process connects by name only after the launcher
// has closed its own handles.

struct LifetimeCase {
    const char* name;
    const wchar_t* desktopName;
    bool handOverRefused;
    // Each started process, once connected: where it runs, or how it ended.
    const char* connected;
    // Whether the window station and the desktop outlive the process.
    bool stationOutlives;
    bool desktopOutlives;
};

void PrintTo(const LifetimeCase& row, std::ostream* out) { *out << row.name; }

template <typename Param>
class WindowsModelTest : public SeamTestWithParam<Param> {
protected:
    void SetUp() override {
        this->fake.everyNameExists = false;
        this->fake.Exists("WinSta0", "Default");
    }
};

class LifetimeTest : public WindowsModelTest<LifetimeCase> {};

TEST_P(LifetimeTest, TheProgramFindsItsDesktopAndNothingOutlivesItsUsers) {
    const LifetimeCase& row = GetParam();
    // Naming a new window station takes an elevated launcher.
    fake.elevated = true;
    if (row.handOverRefused) {
        fake.Fail("DuplicateHandle", ERROR_ACCESS_DENIED);
    }
    RunOnDesktop(L"notepad.exe", row.desktopName);
    // The launcher is done: a started program counts as started, whatever
    // became of the hand-over.
    EXPECT_THAT(fake.MessageBoxes(), IsEmpty());
    EXPECT_EQ(GetExitCode(), ExitCode::Done);
    EXPECT_EQ(fake.OpenHandles(), 0);
    EXPECT_THAT(fake.StartedProcesses(), ElementsAre("starting"));

    fake.ConnectStartedProcesses();
    EXPECT_THAT(fake.StartedProcesses(), ElementsAre(row.connected));

    fake.EndStartedProcesses();
    const std::string fullName = Utf8(row.desktopName);
    const std::string station = fullName.substr(0, fullName.find('\\'));
    EXPECT_EQ(fake.IsAlive(station), row.stationOutlives);
    EXPECT_EQ(fake.IsAlive(station, fullName.substr(fullName.find('\\') + 1)), row.desktopOutlives);
}

INSTANTIATE_TEST_SUITE_P(
    OnWindows, LifetimeTest,
    testing::Values(
        LifetimeCase{"NewDesktopInOwnStation", L"WinSta0\\Work", false, "running on WinSta0\\Work", true, false},
        LifetimeCase{"NewDesktopInNewStation", L"Kiosk\\Main", false, "running on Kiosk\\Main", false, false},
        LifetimeCase{"ExistingDesktop", L"WinSta0\\Default", false, "running on WinSta0\\Default", true, true},
        // What Windows does then: the program cannot start on a
        // desktop that is gone, and the launcher cannot know.
        LifetimeCase{"HandOverRefusedNewDesktop", L"WinSta0\\Work", true, "ended 0xc0000142", true, false},
        LifetimeCase{"HandOverRefusedExistingDesktop", L"WinSta0\\Default", true, "running on WinSta0\\Default", true,
                     true}),
    harness::CaseName{});

// What Windows refuses. A station or desktop that is not there and cannot be
// made stops the run with the error of its creation: started anyway, the
// program would die while it starts and the run would count as a success.
// One that is there but refuses the launcher, or a refused switch of window
// station, leaves the decision to CreateProcessA: the program connects with
// the rights that it is due.
struct RefusalCase {
    const char* name;
    std::wstring desktopName;
    std::function<void(FakePlatform&)> arrange;
    std::optional<DWORD> reported;  // the error shown; none: started
    const char* connected;          // a started program, once connected
};

void PrintTo(const RefusalCase& row, std::ostream* out) { *out << row.name; }

class WindowsRefusalTest : public WindowsModelTest<RefusalCase> {};

TEST_P(WindowsRefusalTest, StopsOnlyWhereNoProgramCouldRun) {
    const RefusalCase& row = GetParam();
    row.arrange(fake);
    RunOnDesktop(L"notepad.exe", row.desktopName);
    EXPECT_EQ(fake.OpenHandles(), 0);
    EXPECT_EQ(fake.CurrentWinSta(), fake.OwnWinSta());

    if (!row.reported) {
        EXPECT_THAT(fake.MessageBoxes(), IsEmpty());
        EXPECT_EQ(GetExitCode(), ExitCode::Done);
        fake.ConnectStartedProcesses();
        EXPECT_THAT(fake.StartedProcesses(), ElementsAre(row.connected));
        return;
    }
    EXPECT_THAT(fake.ProcessCreations(), IsEmpty());
    EXPECT_THAT(fake.CallsOf({"CreateProcessA", "DuplicateHandle"}), IsEmpty());
    const MessageBoxShown box = OnlyMessageBox();
    EXPECT_EQ(Utf8(box.text), Utf8(ExpectedLaunchFailureFor(*row.reported)));
    EXPECT_EQ(box.style, 0x10u);
    EXPECT_EQ(GetExitCode(), ExitCode::ProcessNotCreated);
    // Nothing made on the way survives the run.
    const std::string fullName = Utf8(row.desktopName);
    EXPECT_FALSE(fake.IsAlive(fullName.substr(0, fullName.find('\\')), fullName.substr(fullName.find('\\') + 1)));
    if (!fullName.starts_with("WinSta0\\")) {
        EXPECT_FALSE(fake.IsAlive(fullName.substr(0, fullName.find('\\'))));
    }
}

const std::wstring kTooLong(32768, L'N');

INSTANTIATE_TEST_SUITE_P(
    OnWindows, WindowsRefusalTest,
    testing::Values(  // Only an elevated process may name a new window station.
        RefusalCase{"NewStationUnelevated", L"Kiosk\\Main", [](FakePlatform&) {}, ERROR_ACCESS_DENIED, nullptr},
        RefusalCase{"NewStationElevated", L"Kiosk\\Main", [](FakePlatform& f) { f.elevated = true; }, std::nullopt,
                    "running on Kiosk\\Main"},
        RefusalCase{"ExistingStationUnelevated", L"Kiosk\\Main", [](FakePlatform& f) { f.Exists("Kiosk", "Main"); },
                    std::nullopt, "running on Kiosk\\Main"},
        RefusalCase{"NewDesktopInOwnStationUnelevated", L"WinSta0\\Work", [](FakePlatform&) {}, std::nullopt,
                    "running on WinSta0\\Work"},
        RefusalCase{"StationNameTooLong", kTooLong + L"\\Main", [](FakePlatform&) {}, ERROR_FILENAME_EXCED_RANGE,
                    nullptr},
        RefusalCase{"DesktopNameTooLong", L"WinSta0\\" + kTooLong, [](FakePlatform&) {}, ERROR_FILENAME_EXCED_RANGE,
                    nullptr},
        RefusalCase{"BackslashInTheDesktopHalf", L"WinSta0\\Work\\Inner", [](FakePlatform&) {}, ERROR_BAD_PATHNAME,
                    nullptr},
        RefusalCase{"NoDesktopHeapLeft", L"WinSta0\\Work", [](FakePlatform& f) { f.desktopHeapRoom = 0; },
                    ERROR_NOT_ENOUGH_MEMORY, nullptr},
        RefusalCase{"NoDesktopHeapInANewStation", L"Kiosk\\Main",
                    [](FakePlatform& f) {
                        f.elevated = true;
                        f.desktopHeapRoom = 0;
                    },
                    ERROR_NOT_ENOUGH_MEMORY, nullptr},
        RefusalCase{"ProtectedDesktop", L"WinSta0\\Winlogon", [](FakePlatform& f) { f.Protect("WinSta0", "Winlogon"); },
                    std::nullopt, "running on WinSta0\\Winlogon"},
        RefusalCase{"ProtectedStation", L"Service-0x0-3e7$\\Default",
                    [](FakePlatform& f) {
                        f.Protect("Service-0x0-3e7$");
                        f.Exists("Service-0x0-3e7$", "Default");
                    },
                    std::nullopt, "running on Service-0x0-3e7$\\Default"},
        RefusalCase{"SwitchRefused", L"Kiosk\\Main",
                    [](FakePlatform& f) {
                        f.Exists("Kiosk", "Main");
                        f.Fail("SetProcessWindowStation", ERROR_ACCESS_DENIED, 1);
                    },
                    std::nullopt, "running on Kiosk\\Main"},
        // Created within what the heap holds.
        RefusalCase{"NewDesktopWithHeapRoom", L"WinSta0\\Work", [](FakePlatform& f) { f.desktopHeapRoom = 1; },
                    std::nullopt, "running on WinSta0\\Work"}),
    harness::CaseName{});

// Under a legacy ANSI code page, as on Windows before 10 1903, a name, a
// command line or a current directory that the code page cannot carry whole
// is not used: the run ends with the launch failure for
// ERROR_NO_UNICODE_TRANSLATION, and nothing is started, nor made under
// another name. A directory that does not fit is found only after the target
// was obtained under its own name.
struct CodePageCase {
    const char* name;
    UINT codePage;
    const wchar_t* commandLine;
    const wchar_t* desktopName;
    const wchar_t* directory;               // entered for the run, when given
    std::optional<std::string> launchedOn;  // the desktop bytes; none: refused
    bool targetObtained;                    // when refused
};

void PrintTo(const CodePageCase& row, std::ostream* out) { *out << row.name; }

class CodePageTest : public SeamTestWithParam<CodePageCase> {
protected:
    void SetUp() override {
        if (GetParam().directory != nullptr) {
            wchar_t temp[MAX_PATH];
            GetTempPathW(MAX_PATH, temp);
            directory_ = std::wstring(temp) + GetParam().directory;
            CreateDirectoryW(directory_.c_str(), nullptr);
            previous_ = CurrentDirectory();
            ASSERT_TRUE(SetCurrentDirectoryW(directory_.c_str()));
        }
    }
    void TearDown() override {
        if (!previous_.empty()) {
            SetCurrentDirectoryW(previous_.c_str());
            RemoveDirectoryW(directory_.c_str());
        }
        SeamTest::TearDown();
    }

private:
    std::wstring directory_;
    std::wstring previous_;
};

TEST_P(CodePageTest, TextReachesTheSystemWholeOrNotAtAll) {
    const CodePageCase& row = GetParam();
    fake.codePage = row.codePage;
    fake.everyNameExists = false;
    fake.Exists("WinSta0", "Default");
    RunOnDesktop(row.commandLine, row.desktopName);
    EXPECT_EQ(fake.OpenHandles(), 0);
    EXPECT_EQ(fake.CurrentWinSta(), fake.OwnWinSta());
    if (row.launchedOn) {
        ASSERT_EQ(fake.ProcessCreations().size(), 1u);
        EXPECT_EQ(fake.ProcessCreations()[0].desktop, row.launchedOn);
        EXPECT_THAT(fake.MessageBoxes(), IsEmpty());
        return;
    }
    EXPECT_THAT(fake.ProcessCreations(), IsEmpty());
    EXPECT_EQ(OnlyMessageBox().text, ExpectedLaunchFailureFor(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(GetExitCode(), ExitCode::ProcessNotCreated);
    EXPECT_EQ(fake.CallsOf({"OpenDesktopA", "CreateDesktopA"}).empty(), !row.targetObtained);
    EXPECT_THAT(fake.CallsOf({"CreateWindowStationA"}), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, CodePageTest,
    testing::Values(
        CodePageCase{"Utf8Cjk", CP_UTF8, L"notepad.exe", L"\u65E5\u672C", nullptr, "WinSta0\\\xE6\x97\xA5\xE6\x9C\xAC",
                     false},
        CodePageCase{"Utf8FullwidthBackslash", CP_UTF8, L"notepad.exe", L"A\uFF3CB", nullptr,
                     "WinSta0\\A\xEF\xBC\xBC"
                     "B",
                     false},
        CodePageCase{"Cp1251Cyrillic", 1251, L"notepad.exe", L"Стол", nullptr, "WinSta0\\\xD1\xF2\xEE\xEB", false},
        CodePageCase{"Cp1251Cjk", 1251, L"notepad.exe", L"\u65E5\u672C", nullptr, std::nullopt, false},
        CodePageCase{"Cp1251FullwidthBackslash", 1251, L"notepad.exe", L"A\uFF3CB", nullptr, std::nullopt, false},
        CodePageCase{"Cp1251CommandLine", 1251, L"notepad.exe \u65E5\u672C.txt", L"Work", nullptr, std::nullopt, false},
        CodePageCase{"Cp1251CurrentDirectory", 1251, L"notepad.exe", L"Work", L"launcher-\u65E5\u672C", std::nullopt,
                     true},
        CodePageCase{"Cp932Cjk", 932, L"notepad.exe", L"\u65E5\u672C", nullptr, "WinSta0\\\x93\xFA\x96\x7B", false},
        CodePageCase{"Cp932Yen", 932, L"notepad.exe", L"A\u00A5B", nullptr, std::nullopt, false},
        CodePageCase{"Cp932CommandLine", 932, L"notepad.exe \u0490.txt", L"Work", nullptr, std::nullopt, false},
        CodePageCase{"Cp932CurrentDirectory", 932, L"notepad.exe", L"Work", L"launcher-\u00A5", std::nullopt, true}),
    harness::CaseName{});

// The model itself: without the hand-over, a new desktop would be gone
// before the program connects.
TEST_F(RunOnDesktopTest, WithoutAReferenceANewDesktopIsGoneWhenItsLastHandleCloses) {
    fake.everyNameExists = false;
    UniqueWinSta station(platform().OpenWindowStationA("WinSta0", FALSE, 0x109));
    ASSERT_TRUE(platform().SetProcessWindowStation(station.get()));
    UniqueDesktop desktop(platform().CreateDesktopA("Work", nullptr, nullptr, 0, 0x142, nullptr));
    ASSERT_TRUE(platform().SetProcessWindowStation(fake.OwnWinSta()));
    EXPECT_TRUE(fake.IsAlive("WinSta0", "Work"));
    desktop.reset();
    EXPECT_FALSE(fake.IsAlive("WinSta0", "Work"));
    EXPECT_EQ(platform().OpenDesktopA("Work", 0, FALSE, 0x142), nullptr) << "opened a destroyed desktop";
}

}  // namespace
