// Many launchers at once, all asked for the same desktop of the same window
// station, neither of which exists yet: each one opens or creates them while
// the others do the same. Whoever loses a race to create must still open what
// the winner made, and every process must land on that one desktop.
#include "driver.h"
#include "expectedTexts.h"
#include "text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {
using namespace harness;
namespace {

constexpr int kLaunchers = 20;

int CountOf(const std::vector<std::wstring>& names, const std::wstring& name) {
    return static_cast<int>(std::count(names.begin(), names.end(), name));
}

// Starts the launchers one right after the other, without waiting for any.
// Once in dozens of runs Wine failed to create one of twenty processes at
// once, before a single instruction of the launcher had run: such a start is
// tried again (and counted), since it says nothing about the launcher.
struct Crowd {
    std::vector<std::unique_ptr<LauncherRun>> runs;
    std::vector<DWORD> startErrors;
};

Crowd StartCrowd(const std::wstring& fullName, const std::wstring& program, const TempDir& dir) {
    Crowd crowd;
    crowd.runs.reserve(kLaunchers);
    for (int i = 0; i < kLaunchers; ++i) {
        // Each probe stays until the test ends (its job ends it then), so
        // that all of them share the one desktop instead of one after another
        // recreating it.
        const RunOptions options =
            RunOptions()
                .Arguments(L" \"" + fullName + L"\" " + program + L" crowd " + std::to_wstring(i))
                .Env(L"PROBE_OUT", dir.File(L"report" + std::to_wstring(i) + L".txt"))
                .Env(L"PROBE_HOLD_MS", L"120000");
        for (int attempt = 0; attempt < 3; ++attempt) {
            crowd.runs.resize(static_cast<size_t>(i));
            crowd.runs.push_back(std::make_unique<LauncherRun>(options));
            if (crowd.runs.back()->started()) {
                break;
            }
            crowd.startErrors.push_back(crowd.runs.back()->startError());
            Sleep(100);
        }
    }
    return crowd;
}

std::string Described(const std::vector<DWORD>& startErrors) {
    std::string text = std::to_string(startErrors.size()) + " start(s) tried again";
    for (const DWORD error : startErrors) {
        text += ", error " + std::to_string(error);
    }
    return text;
}

TEST(Crowd, TwentyLaunchersAtOnceOntoOneNewDesktopAllLandThere) {
    if (!MayNameNewStation()) {
        GTEST_SKIP() << kNeedsElevation;
    }
    const std::wstring station = UniqueName(L"E2eCrowd");
    const std::wstring desktop = L"Desk";
    const std::wstring full = station + L"\\" + desktop;
    ASSERT_EQ(CountOf(WindowStations(), station), 0) << "the station must be new";

    const TempDir dir;
    const ULONGLONG start = GetTickCount64();
    const Crowd crowd = StartCrowd(full, Quoted(ProbePath()), dir);
    const std::vector<std::unique_ptr<LauncherRun>>& runs = crowd.runs;
    for (int i = 0; i < kLaunchers; ++i) {
        ASSERT_TRUE(runs[i]->started()) << "launcher " << i << ": error " << runs[i]->startError();
    }

    // Until all have ended, any window of a launcher is a message box that
    // none of them should show.
    std::vector<std::optional<DWORD>> exitCodes(kLaunchers);
    std::vector<std::string> windows;
    const bool allEnded = WaitUntil(
        [&] {
            bool ended = true;
            for (int i = 0; i < kLaunchers; ++i) {
                if (exitCodes[i]) {
                    continue;
                }
                exitCodes[i] = runs[i]->WaitForExit(0);
                for (const HWND window : runs[i]->VisibleWindows()) {
                    // Appended piece by piece: GCC 12 for i686 warns (-Wrestrict) of an overlap
                    // inside the chained operator+ that cannot happen.
                    std::string seen = "launcher ";
                    seen += std::to_string(i);
                    seen += ": ";
                    seen += Narrow(MessageTextOf(window));
                    windows.push_back(std::move(seen));
                    PressOk(window);
                }
                ended = ended && exitCodes[i].has_value();
            }
            return ended;
        },
        60000);
    const ULONGLONG ended = GetTickCount64() - start;
    EXPECT_TRUE(allEnded) << "not every launcher ended within a minute";
    EXPECT_TRUE(windows.empty()) << windows.size() << " windows, the first: " << windows.front();

    int landed = 0;
    for (int i = 0; i < kLaunchers; ++i) {
        EXPECT_EQ(exitCodes[i], std::optional<DWORD>(kExitDone)) << "launcher " << i;
        EXPECT_EQ(runs[i]->ProcessesStarted(), 1u) << "launcher " << i;
        const std::optional<ProbeReport> report = WaitForReport(dir.File(L"report" + std::to_wstring(i) + L".txt"));
        ASSERT_TRUE(report.has_value()) << "probe " << i << " wrote no report";
        EXPECT_EQ(ReportField(report, L"station"), Narrow(station)) << "probe " << i;
        EXPECT_EQ(ReportField(report, L"desktop"), Narrow(desktop)) << "probe " << i;
        EXPECT_EQ(ReportField(report, L"startupDesktop"), Narrow(full)) << "probe " << i;
        EXPECT_EQ(ReportField(report, L"commandLine"), Narrow(Quoted(ProbePath()) + L" crowd " + std::to_wstring(i)));
        landed += ReportField(report, L"desktop") == Narrow(desktop) ? 1 : 0;
    }
    const ULONGLONG reported = GetTickCount64() - start;

    // The probes still hold it: one station of that name, with one desktop.
    EXPECT_EQ(CountOf(WindowStations(), station), 1);
    EXPECT_EQ(DesktopsOf(station), std::vector<std::wstring>{desktop});

    std::printf(
        "[ figures ] %d launchers at once: %d ended with 0, %d probes on %s; all launchers ended after %llu ms, "
        "all reports read after %llu ms; %s\n",
        kLaunchers, static_cast<int>(std::count(exitCodes.begin(), exitCodes.end(), std::optional<DWORD>(kExitDone))),
        landed, Narrow(full).c_str(), ended, reported, Described(crowd.startErrors).c_str());
}

// Wine creates a missing window station and desktop itself for a process
// that is started on them, so a probe that lands there does not show that the
// launcher made them. A launcher whose program cannot be started does show
// it: it holds what it opened or created while its failure message is up, and
// nothing else keeps the station in existence.
TEST(Crowd, TwentyFailingLaunchersAtOnceHoldTheOneStationAndDesktopTheyMade) {
    if (!MayNameNewStation()) {
        GTEST_SKIP() << kNeedsElevation;
    }
    const std::wstring station = UniqueName(L"E2eCrowdFail");
    const std::wstring desktop = L"Desk";
    ASSERT_EQ(CountOf(WindowStations(), station), 0) << "the station must be new";

    const TempDir dir;
    const ULONGLONG start = GetTickCount64();
    const Crowd crowd = StartCrowd(station + L"\\" + desktop, L"no-such-program-e2e.exe", dir);
    const std::vector<std::unique_ptr<LauncherRun>>& runs = crowd.runs;
    for (int i = 0; i < kLaunchers; ++i) {
        ASSERT_TRUE(runs[i]->started()) << "launcher " << i << ": error " << runs[i]->startError();
    }
    std::vector<HWND> boxes(kLaunchers);
    const bool allShown = WaitUntil(
        [&] {
            bool shown = true;
            for (int i = 0; i < kLaunchers; ++i) {
                if (boxes[i] == nullptr) {
                    const std::vector<HWND> windows = runs[i]->VisibleWindows();
                    boxes[i] = windows.empty() ? nullptr : windows.front();
                }
                shown = shown && boxes[i] != nullptr;
            }
            return shown;
        },
        60000);
    const ULONGLONG shown = GetTickCount64() - start;
    ASSERT_TRUE(allShown) << "not every launcher showed its message within a minute";

    const int stationsWhileUp = CountOf(WindowStations(), station);
    const std::vector<std::wstring> desktopsWhileUp = DesktopsOf(station);
    EXPECT_EQ(stationsWhileUp, 1);
    EXPECT_EQ(desktopsWhileUp, std::vector<std::wstring>{desktop});

    const std::wstring message = ExpectedLaunchFailure(ERROR_FILE_NOT_FOUND, SystemDescription(ERROR_FILE_NOT_FOUND));
    for (int i = 0; i < kLaunchers; ++i) {
        EXPECT_EQ(Narrow(MessageTextOf(boxes[i])), Narrow(message)) << "launcher " << i;
    }
    // Each holds the two for itself: with all but the last started one gone
    // (it most likely found them made already), they stay.
    const int last = kLaunchers - 1;
    for (int i = 0; i < last; ++i) {
        PressOk(boxes[i]);
    }
    for (int i = 0; i < last; ++i) {
        EXPECT_EQ(runs[i]->WaitForExit(), std::optional<DWORD>(kExitProcessNotCreated)) << "launcher " << i;
        EXPECT_EQ(runs[i]->ProcessesStarted(), 0u) << "launcher " << i;
    }
    // Wine removes a station's name about a second after its last user.
    Sleep(2500);
    EXPECT_EQ(CountOf(WindowStations(), station), 1) << "the last launcher does not hold the station";
    EXPECT_EQ(DesktopsOf(station), std::vector<std::wstring>{desktop}) << "the last launcher does not hold the desktop";
    PressOk(boxes[last]);
    EXPECT_EQ(runs[last]->WaitForExit(), std::optional<DWORD>(kExitProcessNotCreated));

    // Released by all of them, the station goes.
    EXPECT_TRUE(WaitUntil([&] { return CountOf(WindowStations(), station) == 0; }, 10000));
    std::printf(
        "[ figures ] %d failing launchers at once: all messages up after %llu ms; meanwhile %d station(s) of the name "
        "with %d desktop(s); %s\n",
        kLaunchers, shown, stationsWhileUp, static_cast<int>(desktopsWhileUp.size()),
        Described(crowd.startErrors).c_str());
}

}  // namespace
}  // namespace e2e
