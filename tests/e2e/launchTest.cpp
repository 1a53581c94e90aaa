// The launcher starting a real program (the probe) on a named desktop, and
// reporting a program that cannot be started.
#include "driver.h"
#include "expectedTexts.h"
#include "text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace e2e {
using namespace harness;
namespace {

// desktopField goes between the quotes as written; probeTail follows the
// quoted probe path unchanged.
ProbeRun LaunchProbe(const TempDir& dir, const std::wstring& desktopField, const std::wstring& probeTail,
                     RunOptions options = {}) {
    options.rawArguments = L" \"" + desktopField + L"\" " + Quoted(ProbePath()) + probeTail;
    return RunProbe(options, dir.File(L"report.txt"));
}

void ExpectQuietSuccess(const ProbeRun& launch) {
    EXPECT_TRUE(launch.outcome.boxes.empty())
        << Narrow(launch.outcome.boxes.empty() ? L"" : launch.outcome.boxes[0].text);
    EXPECT_TRUE(launch.outcome.otherWindows.empty());
    EXPECT_EQ(launch.outcome.exitCode, std::optional<DWORD>(kExitDone));
    // Also shows that the count of started processes, which the refusals
    // expect to stay at zero, does count.
    EXPECT_EQ(launch.outcome.processesStarted, 1u);
    ASSERT_TRUE(launch.report.has_value()) << "the probe wrote no report";
    EXPECT_EQ(ReportField(launch.report, L"mark"), Narrow(launch.mark)) << "the launcher's environment is inherited";
}

TEST(Launch, BareNameLandsInLaunchersOwnStationWithItsDirectoryAndEnvironment) {
    const TempDir dir;
    const TempDir workDir(L"cwd");
    const std::wstring desktop = UniqueName(L"E2eWork");
    const std::wstring tail = L"  alpha \"two  words\" -x";
    const ProbeRun launch = LaunchProbe(dir, desktop, tail + L"   ", RunOptions().In(workDir.path()));

    ExpectQuietSuccess(launch);
    const std::wstring station = OwnStationName();
    ASSERT_FALSE(station.empty());
    EXPECT_EQ(ReportField(launch.report, L"station"), Narrow(station));
    EXPECT_EQ(ReportField(launch.report, L"desktop"), Narrow(desktop));
    EXPECT_EQ(ReportField(launch.report, L"startupDesktop"), Narrow(station + L"\\" + desktop));
    EXPECT_EQ(ReportField(launch.report, L"currentDirectory"), Narrow(workDir.path()));
    EXPECT_EQ(ReportField(launch.report, L"commandLine"), Narrow(Quoted(ProbePath()) + tail))
        << "the command line goes on as written, trimmed at its end only";
}

TEST(Launch, BlanksAroundTheNameGoAndNoBlankIsNeededAfterIt) {
    const TempDir dir;
    const std::wstring desktop = UniqueName(L"E2eTrim");
    const ProbeRun run =
        RunProbe(RunOptions().Arguments(L"    \"  " + desktop + L"  \"" + Quoted(ProbePath()) + L" z   "),
                 dir.File(L"report.txt"));
    ExpectQuietSuccess(run);
    EXPECT_EQ(ReportField(run.report, L"desktop"), Narrow(desktop));
    EXPECT_EQ(ReportField(run.report, L"startupDesktop"), Narrow(OwnStationName() + L"\\" + desktop));
    EXPECT_EQ(ReportField(run.report, L"commandLine"), Narrow(Quoted(ProbePath()) + L" z"));
}

// The launcher itself runs in a station other than the test's: a bare name
// must complete to that one, not to a fixed WinSta0. The CJK name takes more
// bytes in UTF-8 than in UTF-16, the size in which the system reports it.
class LaunchFromStation : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(LaunchFromStation, BareNameFollowsTheStationTheLauncherRunsIn) {
    if (!MayNameNewStation()) {
        GTEST_SKIP() << kNeedsElevation;
    }
    const std::wstring station = UniqueName(GetParam());
    const HeldStation home(station, {L"Home"});
    ASSERT_TRUE(home.ok());
    const TempDir dir;
    const std::wstring desktop = UniqueName(L"E2eAway");
    const ProbeRun launch = LaunchProbe(dir, desktop, L"", RunOptions().OnDesktop(station + L"\\Home"));

    ExpectQuietSuccess(launch);
    EXPECT_EQ(ReportField(launch.report, L"station"), Narrow(station));
    EXPECT_EQ(ReportField(launch.report, L"desktop"), Narrow(desktop));
    EXPECT_EQ(ReportField(launch.report, L"startupDesktop"), Narrow(station + L"\\" + desktop));
}

INSTANTIATE_TEST_SUITE_P(Stations, LaunchFromStation,
                         ::testing::Values(L"E2eHome",
                                           L"\u7A97\u53E3\u7AD9\u5DE5\u4F5C\u7AD9\u684C\u9762"
                                           L"\u6D4B\u8BD5\u7528\u7684\u540D\u5B57\u5F88\u957F"),
                         [](const auto& test) { return test.index == 0 ? "Latin" : "Cjk"; });

TEST(Launch, FullNameCreatesTheStationAndTheDesktop) {
    const TempDir dir;
    const std::wstring station = UniqueName(L"E2eStation");
    const std::wstring desktop = UniqueName(L"E2eDesk");
    const HWINSTA before = OpenWindowStationW(station.c_str(), FALSE, WINSTA_ENUMERATE);
    EXPECT_EQ(before, nullptr) << "the station must be new";
    const ProbeRun launch = LaunchProbe(dir, station + L"\\" + desktop, L" full");
    if (!MayNameNewStation()) {
        EXPECT_TRUE(RefusedNewStation(launch.outcome)) << "unelevated, Windows refuses to name a new station";
        return;
    }

    ExpectQuietSuccess(launch);
    EXPECT_EQ(ReportField(launch.report, L"station"), Narrow(station));
    EXPECT_EQ(ReportField(launch.report, L"desktop"), Narrow(desktop));
    EXPECT_EQ(ReportField(launch.report, L"startupDesktop"), Narrow(station + L"\\" + desktop));
    EXPECT_EQ(ReportField(launch.report, L"commandLine"), Narrow(Quoted(ProbePath()) + L" full"));
}

TEST(Launch, FullNameOpensAnExistingDesktopOfAnotherStation) {
    if (!MayNameNewStation()) {
        GTEST_SKIP() << kNeedsElevation;
    }
    const std::wstring station = UniqueName(L"E2eHeld");
    const HeldStation held(station, {L"First", L"Second"});
    ASSERT_TRUE(held.ok());
    const TempDir dir;
    const ProbeRun launch = LaunchProbe(dir, station + L"\\Second", L"");

    ExpectQuietSuccess(launch);
    EXPECT_EQ(ReportField(launch.report, L"station"), Narrow(station));
    EXPECT_EQ(ReportField(launch.report, L"desktop"), "Second");
}

TEST(Launch, QuestionMarkWithMoreIsAnOrdinaryName) {
    const TempDir dir;
    const std::wstring desktop = L"?" + UniqueName(L"x");
    const ProbeRun launch = LaunchProbe(dir, desktop, L"");

    ExpectQuietSuccess(launch);
    EXPECT_EQ(ReportField(launch.report, L"desktop"), Narrow(desktop));
}

TEST(Launch, MissingProgramReportsTheSystemErrorAndEndsWithTwo) {
    const std::wstring desktop = UniqueName(L"E2eMissing");
    RunOptions options;
    options.rawArguments = L" \"" + desktop + L"\" no-such-program-e2e.exe --flag";
    const Outcome outcome = RunToEnd(options);

    EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(kExitProcessNotCreated));
    EXPECT_EQ(outcome.processesStarted, 0u);
    ASSERT_EQ(outcome.boxes.size(), 1u);
    const MessageBoxView& box = outcome.boxes[0];
    EXPECT_EQ(Narrow(box.caption), Narrow(kExpectedTitle));
    EXPECT_STREQ(IconName(box.icon), IconName(IconKind::Error));
    EXPECT_EQ(box.buttonIds, std::vector<int>{IDOK});

    const std::wstring description = SystemDescription(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(description.empty()) << "the system describes error 2";
    EXPECT_EQ(description.find_first_of(L"\r\n"), std::wstring::npos) << "one line";
    EXPECT_EQ(Narrow(box.text), Narrow(ExpectedLaunchFailure(ERROR_FILE_NOT_FOUND, description)));
}

TEST(Launch, UnicodeNamesCommandLineAndDirectoryArriveIntact) {
    const TempDir dir;
    const std::wstring workDir = dir.File(L"папка 目录");
    ASSERT_TRUE(CreateDirectoryW(workDir.c_str(), nullptr));
    const std::wstring desktop = UniqueName(L"Рабочий стол Ω ");
    // An emoji lies outside the BMP: two UTF-16 units, four UTF-8 bytes.
    const std::wstring tail = L" Привет 你好世界 \U0001F600 \"ёлка \U0001F384\"";
    const ProbeRun launch = LaunchProbe(dir, desktop, tail, RunOptions().In(workDir));

    ExpectQuietSuccess(launch);
    EXPECT_EQ(ReportField(launch.report, L"desktop"), Narrow(desktop));
    EXPECT_EQ(ReportField(launch.report, L"startupDesktop"), Narrow(OwnStationName() + L"\\" + desktop));
    EXPECT_EQ(ReportField(launch.report, L"commandLine"), Narrow(Quoted(ProbePath()) + tail));
    EXPECT_EQ(ReportField(launch.report, L"currentDirectory"), Narrow(workDir));
}

TEST(Launch, UnicodeFullNameReachesANewStation) {
    const TempDir dir;
    const std::wstring station = UniqueName(L"Станция");
    const std::wstring desktop = UniqueName(L"桌面");
    const ProbeRun launch = LaunchProbe(dir, station + L"\\" + desktop, L" \U0001F680");
    if (!MayNameNewStation()) {
        EXPECT_TRUE(RefusedNewStation(launch.outcome)) << "unelevated, Windows refuses to name a new station";
        return;
    }

    ExpectQuietSuccess(launch);
    EXPECT_EQ(ReportField(launch.report, L"station"), Narrow(station));
    EXPECT_EQ(ReportField(launch.report, L"desktop"), Narrow(desktop));
    EXPECT_EQ(ReportField(launch.report, L"commandLine"), Narrow(Quoted(ProbePath()) + L" \U0001F680"));
}

}  // namespace
}  // namespace e2e
