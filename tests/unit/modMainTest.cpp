// Start-up, the usage message, the version text, and the end of a run on a
// run-time error.
#include "expectedTexts.h"
#include "fakePlatform.h"
#include "modCommon.h"
#include "modDesktopsList.h"
#include "modMain.h"
#include "seamTest.h"
#include "text.h"
#include "version.h"
#include "zentarisupport.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::StartsWith;

using harness::LinesOf;

// ---------------------------------------------------------------------------
// Main and RunFromCommandLine

using MainTest = SeamTest;

TEST_F(MainTest, WithoutArgumentsPreparesThenShowsTheUsage) {
    fake.commandLine = LR"("C:\Program Files\Launcher\Launcher.exe")";
    Main();
    EXPECT_THAT(fake.CallsExcept({"ModuleFileName"}),
                ElementsAre("SetDefaultDllDirectories(0x800)", "InitCommonControls()", "CommandLine()",
                            "ShowMessageBox(0x40)"));
    EXPECT_EQ(OnlyMessageBox().text, UsageText(ApplicationInfo()));
    EXPECT_EQ(GetExitCode(), ExitCode::Done);
}

TEST_F(MainTest, ARejectedArgumentTextEndsTheRunWithItsMessage) {
    fake.commandLine = LR"(Launcher.exe "Work")";
    Main();
    EXPECT_THAT(fake.CallsExcept({"ModuleFileName"}),
                ElementsAre("SetDefaultDllDirectories(0x800)", "InitCommonControls()", "CommandLine()",
                            "ShowMessageBox(0x10)"));
    EXPECT_EQ(OnlyMessageBox().text, kExpectedEmptyCommandLine);
    EXPECT_EQ(GetExitCode(), ExitCode::ArgumentRejected);
}

class BlankArgumentsTest : public SeamTestWithParam<const wchar_t*> {};

TEST_P(BlankArgumentsTest, ShowOnlyTheUsage) {
    fake.commandLine = GetParam();
    RunFromCommandLine();
    const MessageBoxShown box = OnlyMessageBox();
    EXPECT_EQ(box.style, 0x40u);
    EXPECT_THAT(box.text, HasSubstr(kExpectedUsageHeading));
    EXPECT_THAT(fake.ProcessCreations(), IsEmpty());
    EXPECT_EQ(GetExitCode(), ExitCode::Done);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, BlankArgumentsTest,
                         testing::Values(L"Launcher.exe", L"Launcher.exe    ", L"Launcher.exe \t \t",
                                         LR"("C:\Program Files\Launcher.exe"   )"));

TEST_F(MainTest, TrimsTheArgumentTextBeforeParsing) {
    fake.commandLine = LR"("C:\Program Files\Launcher.exe"    "Work" notepad.exe   )";
    RunFromCommandLine();
    EXPECT_THAT(fake.MessageBoxes(), IsEmpty());
    ASSERT_EQ(fake.ProcessCreations().size(), 1u);
    EXPECT_EQ(fake.ProcessCreations()[0].commandLine, "notepad.exe");
    EXPECT_EQ(fake.ProcessCreations()[0].desktop, "WinSta0\\Work");
}

// ---------------------------------------------------------------------------
// The usage message

TEST_F(MainTest, UsageTextIsEightLinesEndingWithTheDescription) {
    ShowUsage();
    const MessageBoxShown box = OnlyMessageBox();
    EXPECT_EQ(box.style, 0x40u);
    EXPECT_EQ(box.caption, kExpectedTitle);
    EXPECT_EQ(box.text, ExpectedUsageText(L"Launcher", L"" LAUNCHER_COPYRIGHT));

    // Every break is CR LF, and there is none at the end.
    const std::vector<std::wstring> lines = LinesOf(box.text);
    ASSERT_EQ(lines.size(), 8u);
    for (const std::wstring& line : lines) {
        EXPECT_EQ(line.find_first_of(L"\r\n"), std::wstring::npos) << Utf8(line);
    }
    EXPECT_TRUE(box.text.ends_with(kExpectedUsageDescription));
    EXPECT_EQ(lines[2], L"");
    EXPECT_EQ(lines[3], kExpectedUsageHeading);
    EXPECT_EQ(lines[4], L"");
    EXPECT_EQ(lines[6], L"");
}

TEST_F(MainTest, UsageNamesTheExecutableAsItWasStarted) {
    fake.moduleFileName = LR"(D:\tools.v2\Start.exe)";
    ShowUsage();
    const std::vector<std::wstring> lines = LinesOf(OnlyMessageBox().text);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[5], L"Start" + kExpectedUsageSyntax);
}

struct ExeNameCase {
    const wchar_t* path;
    const wchar_t* name;
};

class ExeNameFromPathTest : public testing::TestWithParam<ExeNameCase> {};

TEST_P(ExeNameFromPathTest, DropsDirectoryAndExtension) {
    EXPECT_EQ(ExeNameFromPath(GetParam().path), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Paths, ExeNameFromPathTest,
                         testing::Values(ExeNameCase{LR"(C:\Program Files\Launcher\Launcher.exe)", L"Launcher"},
                                         ExeNameCase{L"Launcher.exe", L"Launcher"},
                                         ExeNameCase{L"C:/tools/Start.EXE", L"Start"},
                                         ExeNameCase{LR"(C:\tools.v2\Start)", L"Start"},
                                         ExeNameCase{LR"(C:\x\my.tool.exe)", L"my.tool"}));

// ---------------------------------------------------------------------------
// Version text and header

struct VersionCase {
    short major;
    short minor;
    short revision;
    const wchar_t* text;
};

class GetAppVersionTest : public testing::TestWithParam<VersionCase> {};

TEST_P(GetAppVersionTest, PadsMinorToTwoAndRevisionToFourDigits) {
    AppInfo info;
    info.major = GetParam().major;
    info.minor = GetParam().minor;
    info.revision = GetParam().revision;
    EXPECT_EQ(GetAppVersion(info), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Versions, GetAppVersionTest,
                         testing::Values(VersionCase{1, 2, 18, L"1.02.0018"}, VersionCase{1, 0, 0, L"1.00.0000"},
                                         VersionCase{1, 10, 5, L"1.10.0005"}, VersionCase{1, 2, 12345, L"1.02.12345"},
                                         VersionCase{10, 2, 18, L"10.02.0018"}, VersionCase{1, 123, 7, L"1.123.0007"}));

TEST(GetAppHeaderTest, IsTitleVersionAndCopyrightOnTwoLines) {
    AppInfo info;
    info.title = L"Title";
    info.copyright = L"(c) Someone";
    info.major = 2;
    info.minor = 3;
    info.revision = 4;
    EXPECT_EQ(GetAppHeader(info), L"Title 2.03.0004\r\n(c) Someone");
}

// ---------------------------------------------------------------------------
// The run-time error report: a failing status of the support library, an
// exception that nobody caught, a chooser that cannot be created.

struct RunTimeErrorCase {
    const char* name;
    std::function<void(FakePlatform&)> run;
    std::vector<const wchar_t*> named;  // what the report names
};

void PrintTo(const RunTimeErrorCase& row, std::ostream* out) { *out << row.name; }

class RunTimeErrorTest : public SeamTestWithParam<RunTimeErrorCase> {};

TEST_P(RunTimeErrorTest, IsReportedAndEndsTheProgramWithExitCode5) {
    UINT exitCode = 0;
    try {
        GetParam().run(fake);
        ADD_FAILURE() << "the program went on";
    } catch (const ExitProcessCalled& exit) {
        exitCode = exit.code;
    }
    EXPECT_EQ(exitCode, static_cast<UINT>(ExitCode::RunTimeError));
    EXPECT_EQ(exitCode, 5u);
    const MessageBoxShown box = OnlyMessageBox();
    EXPECT_EQ(box.style, 0x10u);
    EXPECT_EQ(box.caption, kExpectedTitle);
    EXPECT_THAT(box.text, StartsWith(kExpectedRunTimeErrorHead));
    for (const wchar_t* named : GetParam().named) {
        EXPECT_THAT(box.text, HasSubstr(named));
    }
    EXPECT_THAT(fake.CallsExcept({"ModuleFileName", "CreateDialogIndirectParamW"}),
                ElementsAre("ShowMessageBox(0x10)", "ExitProcess(5)"));
}

INSTANTIATE_TEST_SUITE_P(
    Causes, RunTimeErrorTest,
    testing::Values(
        RunTimeErrorCase{"InvalidArgument",
                         [](FakePlatform&) { CheckStatus(ZsStatus::InvalidArgument, L"zsGetCurrentDirectory"); },
                         {L"zsGetCurrentDirectory", L"InvalidArgument"}},
        RunTimeErrorCase{"OutOfMemory",
                         [](FakePlatform&) { CheckStatus(ZsStatus::OutOfMemory, L"zsTrimEx"); },
                         {L"zsTrimEx", L"OutOfMemory"}},
        RunTimeErrorCase{"SystemCallFailed",
                         [](FakePlatform&) { CheckStatus(ZsStatus::SystemCallFailed, L"zsPaintDesktop"); },
                         {L"zsPaintDesktop", L"SystemCallFailed"}},
        // abort() would end the process with 3, which reads as a cancel.
        RunTimeErrorCase{"UncaughtException", [](FakePlatform&) { EndWithUncaughtException(); }, {L"C++"}},
        // The empty outcome of a dialog that never was would read as a cancel.
        RunTimeErrorCase{"NoChooser", [](FakePlatform&) { AskForDesktop(); }, {L"CreateDialogIndirectParamW"}}),
    harness::CaseName{});

TEST_F(MainTest, CheckStatusLetsOkPass) {
    CheckStatus(ZsStatus::Ok, L"zsTrimEx");
    EXPECT_THAT(fake.Calls(), IsEmpty());
}

}  // namespace
