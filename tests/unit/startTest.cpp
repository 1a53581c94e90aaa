// Main's own decisions, against a scripted support library: the order of
// start-up, the branches that the real library never takes here (running
// inside the development environment, a main window to put the icon on, a
// host outside the Windows NT family), and a failing status at each step.
#include "expectedTexts.h"
#include "fakePlatform.h"
#include "modCommon.h"
#include "modMain.h"
#include "scriptedSupport.h"
#include "seamTest.h"
#include "zentarisupport.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;

// The first call of all, before the support library's first: the DLLs that
// Windows loads on the launcher's behalf come from System32 only.
const char* const kNarrowDllSearch = "SetDefaultDllDirectories(0x800)";

// A window that the scripted library hands out as the main window; never
// used as a real one.
const HWND kMainWindow = reinterpret_cast<HWND>(0x5150);

class StartTest : public SeamTest {
protected:
    StartTest() { supportScript() = SupportScript{}; }

    // The log without the calls that only name the executable for captions.
    std::vector<std::string> Log() const { return fake.CallsExcept({"ModuleFileName"}); }

    // Runs Main and gives the exit code of a run that a failing status ended,
    // or nothing when Main returned.
    std::optional<UINT> RunMain() {
        try {
            Main();
        } catch (const ExitProcessCalled& exit) {
            return exit.code;
        }
        return std::nullopt;
    }
};

TEST_F(StartTest, PreparesInTheFixedOrderBeforeReadingTheCommandLine) {
    fake.commandLine = L"Launcher.exe";
    EXPECT_EQ(RunMain(), std::nullopt);
    EXPECT_THAT(Log(), ElementsAre(kNarrowDllSearch, "zsRegisterAppPath", "InitCommonControls()", "zsIsInIDE",
                                   "zsGetThunderMainHandle", "zsIsHostWinNT", "CommandLine()", "ShowMessageBox(0x40)"));
    EXPECT_THAT(supportScript().iconsSet, IsEmpty());
    EXPECT_EQ(GetExitCode(), ExitCode::Done);
}

TEST_F(StartTest, AMainWindowGetsTheApplicationIcon) {
    supportScript().mainWindow = kMainWindow;
    EXPECT_EQ(RunMain(), std::nullopt);
    EXPECT_THAT(Log(), ElementsAre(kNarrowDllSearch, "zsRegisterAppPath", "InitCommonControls()", "zsIsInIDE",
                                   "zsGetThunderMainHandle", "zsSetWindowResIconAll", "zsIsHostWinNT", "CommandLine()",
                                   "ShowMessageBox(0x40)"));
    EXPECT_THAT(supportScript().iconsSet, ElementsAre(std::pair<HWND, std::wstring>(kMainWindow, L"A_MAIN")));
}

TEST_F(StartTest, InsideTheDevelopmentEnvironmentTheMainWindowIsLeftAlone) {
    supportScript().inIde = true;
    supportScript().mainWindow = kMainWindow;
    EXPECT_EQ(RunMain(), std::nullopt);
    EXPECT_THAT(Log(), ElementsAre(kNarrowDllSearch, "zsRegisterAppPath", "InitCommonControls()", "zsIsInIDE",
                                   "zsIsHostWinNT", "CommandLine()", "ShowMessageBox(0x40)"));
    EXPECT_THAT(supportScript().iconsSet, IsEmpty());
}

TEST_F(StartTest, OutsideWindowsNtRefusesBeforeLookingAtTheArguments) {
    supportScript().isWinNT = false;
    fake.commandLine = LR"(Launcher.exe "WinSta9\Work" notepad.exe)";
    EXPECT_EQ(RunMain(), std::nullopt);
    EXPECT_THAT(Log(), ElementsAre(kNarrowDllSearch, "zsRegisterAppPath", "InitCommonControls()", "zsIsInIDE",
                                   "zsGetThunderMainHandle", "zsIsHostWinNT", "ShowMessageBox(0x10)"));
    const MessageBoxShown box = OnlyMessageBox();
    EXPECT_EQ(box.text, kExpectedNotWindowsNt);
    EXPECT_EQ(box.caption, kExpectedTitle);
    EXPECT_EQ(GetExitCode(), ExitCode::NotWindowsNT);
    EXPECT_EQ(static_cast<int>(GetExitCode()), 4);
    EXPECT_THAT(fake.ProcessCreations(), IsEmpty());
}

// A failing status at any step of start-up is reported with that function's
// name, ends the run with exit code 5, and nothing after the step happens.
struct FailingStep {
    const char* function;
    bool withMainWindow;
};

class StartFailureTest : public StartTest, public testing::WithParamInterface<FailingStep> {};

TEST_P(StartFailureTest, EndsTheRunAtThatStep) {
    const std::string function = GetParam().function;
    supportScript().statuses[function] = ZsStatus::SystemCallFailed;
    if (GetParam().withMainWindow) {
        supportScript().mainWindow = kMainWindow;
    }
    fake.commandLine = LR"(Launcher.exe "WinSta0\Work" notepad.exe)";

    EXPECT_EQ(RunMain(), 5u);
    const std::vector<std::string> log = Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], function);
    EXPECT_EQ(log[log.size() - 2], "ShowMessageBox(0x10)");
    EXPECT_EQ(log.back(), "ExitProcess(5)");
    EXPECT_THAT(log, Not(Contains("CommandLine()")));
    const MessageBoxShown box = OnlyMessageBox();
    EXPECT_THAT(box.text, HasSubstr(std::wstring(function.begin(), function.end())));
    EXPECT_THAT(box.text, HasSubstr(L"SystemCallFailed"));
    EXPECT_THAT(fake.ProcessCreations(), IsEmpty());
}

// Where the system cannot narrow the search (Windows 7 without KB2533623),
// the launcher runs as before.
TEST_F(StartTest, ASystemThatCannotNarrowTheDllSearchStartsAllTheSame) {
    fake.Fail("SetDefaultDllDirectories", ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(RunMain(), std::nullopt);
    EXPECT_THAT(Log(), ElementsAre(kNarrowDllSearch, "zsRegisterAppPath", "InitCommonControls()", "zsIsInIDE",
                                   "zsGetThunderMainHandle", "zsIsHostWinNT", "CommandLine()", "ShowMessageBox(0x40)"));
    EXPECT_EQ(GetExitCode(), ExitCode::Done);
}

INSTANTIATE_TEST_SUITE_P(Steps, StartFailureTest,
                         testing::Values(FailingStep{"zsRegisterAppPath", false}, FailingStep{"zsIsInIDE", false},
                                         FailingStep{"zsGetThunderMainHandle", false},
                                         FailingStep{"zsSetWindowResIconAll", true},
                                         FailingStep{"zsIsHostWinNT", false}),
                         [](const auto& test) { return std::string(test.param.function); });

// During a launch, a failing status ends the run before a process is created;
// a failure while describing a failed creation ends it instead of the message.
TEST_F(StartTest, ACurrentDirectoryThatCannotBeReadStartsNothing) {
    supportScript().statuses["zsGetCurrentDirectory"] = ZsStatus::SystemCallFailed;
    fake.commandLine = LR"(Launcher.exe "WinSta0\Work" notepad.exe)";
    EXPECT_EQ(RunMain(), 5u);
    EXPECT_THAT(fake.ProcessCreations(), IsEmpty());
    EXPECT_THAT(OnlyMessageBox().text, HasSubstr(L"zsGetCurrentDirectory"));
    EXPECT_THAT(Log(), Contains("ExitProcess(5)"));
    EXPECT_THAT(Log(), Not(Contains(HasSubstr("CreateProcessA"))));
}

TEST_F(StartTest, ALaunchGoesFromTheDirectoryTheLibraryGives) {
    supportScript().currentDirectory = L"D:\\Builds";
    fake.commandLine = LR"(Launcher.exe "WinSta0\Work" notepad.exe)";
    EXPECT_EQ(RunMain(), std::nullopt);
    ASSERT_EQ(fake.ProcessCreations().size(), 1u);
    EXPECT_EQ(fake.ProcessCreations()[0].currentDirectory, "D:\\Builds");
    EXPECT_EQ(GetExitCode(), ExitCode::Done);
    EXPECT_EQ(fake.OpenHandles(), 0);
}

TEST_F(StartTest, AnErrorThatCannotBeDescribedEndsTheRunAsARunTimeError) {
    supportScript().statuses["zsGetAPIErrorDescription"] = ZsStatus::OutOfMemory;
    fake.Fail("CreateProcessA", ERROR_FILE_NOT_FOUND);
    fake.commandLine = LR"(Launcher.exe "WinSta0\Work" missing.exe)";
    EXPECT_EQ(RunMain(), 5u);
    const MessageBoxShown box = OnlyMessageBox();
    EXPECT_THAT(box.text, HasSubstr(L"zsGetAPIErrorDescription"));
    EXPECT_THAT(box.text, Not(HasSubstr(kExpectedLaunchFailureHead)));
}

}  // namespace
