// Names of window stations and desktops, and command lines, in one script
// after another, including characters outside the Basic Multilingual Plane
// (two UTF-16 units, four UTF-8 bytes): each must come out exactly as it went
// in, in the started process and in the chooser's rows. The launcher hands
// every text to the system through its ANSI calls, in UTF-8, so each text
// makes the round trip wide -> UTF-8 -> wide at least once.
#include "driver.h"
#include "expectedTexts.h"
#include "text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>
#include <string_view>

namespace e2e {
using namespace harness;
namespace {

struct Script {
    const char* name;
    std::wstring station;  // stem: each test makes it unique
    std::wstring desktop;
    std::wstring words;  // for the command line
};

void PrintTo(const Script& script, std::ostream* out) { *out << script.name; }

const Script kScripts[] = {
    {"Cyrillic", L"Станция", L"Рабочий стол Ёё", L"Привет, мир! «ёлка»"},
    {"Greek", L"Σταθμός", L"Επιφάνεια ΑΩ", L"Γειά σου κόσμε ςσ"},
    {"Cjk", L"工作站", L"桌面デスク책상", L"你好世界 こんにちは 안녕하세요"},
    // Mathematical script S, a rocket, a grinning face, CJK Extension B and a
    // musical G clef: none of them in the Basic Multilingual Plane.
    {"BeyondBmp", L"\U0001D4E2\U0001F680", L"\U0001F600\U00020000", L"\U0001F384 \U0001D11E \U00020BB7"},
    {"Mixed", L"Ж\U0001F30Dσ漢", L"Ω 桌 \U0001F600 д", L"a\U0001F600b Жσ漢"},
};

std::string Joined(const std::vector<std::wstring>& rows) {
    std::string joined;
    for (const std::wstring& row : rows) {
        joined += '[';
        joined += Narrow(row);
        joined += ']';
    }
    return joined;
}

void ExpectLandedOn(const ProbeRun& run, const std::wstring& station, const std::wstring& desktop,
                    const std::wstring& commandLine) {
    EXPECT_TRUE(run.outcome.boxes.empty()) << Narrow(run.outcome.boxes.empty() ? L"" : run.outcome.boxes[0].text);
    EXPECT_EQ(run.outcome.exitCode, std::optional<DWORD>(kExitDone));
    ASSERT_TRUE(run.report.has_value()) << "the probe wrote no report";
    EXPECT_EQ(ReportField(run.report, L"station"), Narrow(station));
    EXPECT_EQ(ReportField(run.report, L"desktop"), Narrow(desktop));
    EXPECT_EQ(ReportField(run.report, L"startupDesktop"), Narrow(station + L"\\" + desktop));
    EXPECT_EQ(ReportField(run.report, L"commandLine"), Narrow(commandLine));
}

class UnicodeLaunch : public ::testing::TestWithParam<Script> {};

TEST_P(UnicodeLaunch, FullAndBareNamesAndTheCommandLineArriveIntact) {
    const Script& script = GetParam();
    const TempDir dir;
    const std::wstring commandLine = Quoted(ProbePath()) + L" " + script.words + L" \"" + script.words + L"\"";

    // A new window station and desktop, both named in the script.
    const std::wstring station = UniqueName(script.station);
    const std::wstring desktop = UniqueName(script.desktop);
    const ProbeRun full = RunProbe(RunOptions().Arguments(L" \"" + station + L"\\" + desktop + L"\" " + commandLine),
                                   dir.File(L"full.txt"));
    if (MayNameNewStation()) {
        ExpectLandedOn(full, station, desktop, commandLine);
    } else {
        EXPECT_TRUE(RefusedNewStation(full.outcome)) << "unelevated, Windows refuses to name a new station";
    }

    // A new desktop in the launcher's own station.
    const std::wstring bare = UniqueName(script.desktop);
    const ProbeRun own = RunProbe(RunOptions().Arguments(L" \"" + bare + L"\" " + commandLine), dir.File(L"bare.txt"));
    ExpectLandedOn(own, OwnStationName(), bare, commandLine);
}

// Wine makes a missing station and desktop itself for a process started on
// them, so the landings above do not show that the launcher named them right
// when it made them. A launcher whose program does not exist holds what it
// made while its failure message is up, and nothing else makes them.
TEST_P(UnicodeLaunch, StationAndDesktopThatTheLauncherMakesBearTheNames) {
    if (!MayNameNewStation()) {
        GTEST_SKIP() << kNeedsElevation;
    }
    const Script& script = GetParam();
    const std::wstring station = UniqueName(script.station);
    const std::wstring desktop = UniqueName(script.desktop);
    LauncherRun run(RunOptions().Arguments(L" \"" + station + L"\\" + desktop + L"\" no-such-program-e2e.exe"));
    ASSERT_TRUE(run.started());
    const HWND box = run.WaitForWindow();
    ASSERT_NE(box, nullptr) << "no failure message";
    EXPECT_TRUE(MessageTextOf(box).starts_with(kExpectedLaunchFailureHead)) << Narrow(MessageTextOf(box));

    const std::vector<std::wstring> stations = WindowStations();
    EXPECT_NE(std::find(stations.begin(), stations.end(), station), stations.end())
        << "no window station " << Narrow(station);
    EXPECT_EQ(Joined(DesktopsOf(station)), Joined({desktop}));

    PressOk(box);
    EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(kExitProcessNotCreated));
}

INSTANTIATE_TEST_SUITE_P(Scripts, UnicodeLaunch, ::testing::ValuesIn(kScripts), harness::CaseName{});

// The chooser lists a station and desktops named in the script, and Enter on
// one of them starts the command line on exactly that desktop.
class UnicodeChooser : public ::testing::TestWithParam<Script> {
protected:
    int Selected() const { return static_cast<int>(Ask(list_, LB_GETCURSEL)); }

    // Walks with the arrow keys, one row at a time, to the target row.
    ::testing::AssertionResult WalkTo(int target) const {
        while (Selected() != target) {
            const int next = Selected() + (target > Selected() ? 1 : -1);
            if (!BringToFront(dialog_)) {
                return ::testing::AssertionFailure() << "the dialog could not be brought to the front";
            }
            TapKey(target > Selected() ? VK_DOWN : VK_UP);
            if (!WaitUntil([&] { return Selected() == next; }, 3000)) {
                return ::testing::AssertionFailure() << "stuck on row " << Selected() << " on the way to " << target;
            }
        }
        return ::testing::AssertionSuccess();
    }

    HWND dialog_ = nullptr;
    HWND list_ = nullptr;
};

TEST_P(UnicodeChooser, RowsShowTheNamesAndEnterLandsOnTheChosenOne) {
    if (!MayNameNewStation()) {
        GTEST_SKIP() << kNeedsElevation;
    }
    const Script& script = GetParam();
    const std::wstring station = UniqueName(script.station);
    const std::wstring first = script.desktop + L" 1";
    const std::wstring second = script.desktop + L" 2";
    const HeldStation held(station, {first, second});
    const std::wstring ownDesktop = UniqueName(script.desktop);
    const HeldDesktops own({ownDesktop});
    ASSERT_TRUE(held.ok() && own.ok());

    const TempDir dir;
    const std::wstring report = dir.File(L"report.txt");
    const std::wstring commandLine = Quoted(ProbePath()) + L" " + script.words;
    LauncherRun run(RunOptions().Arguments(L" \"?\" " + commandLine).Env(L"PROBE_OUT", report));
    ASSERT_TRUE(run.started());
    dialog_ = run.WaitForWindow();
    ASSERT_NE(dialog_, nullptr) << "no dialog appeared";
    list_ = ChildWindow(dialog_, L"ListBox");
    ASSERT_NE(list_, nullptr);
    const std::vector<std::wstring> rows = ListBoxRows(list_);

    // A station row is the bare name; each desktop row below it is four
    // blanks and the bare desktop name.
    const auto rowOf = [&](const std::wstring& text, size_t from) {
        const auto found =
            std::find(rows.begin() + static_cast<std::ptrdiff_t>(std::min(from, rows.size())), rows.end(), text);
        return found == rows.end() ? -1 : static_cast<int>(found - rows.begin());
    };
    const int stationRow = rowOf(station, 0);
    ASSERT_GE(stationRow, 0) << "no row reads " << Narrow(station);
    std::vector<std::wstring> group;
    for (size_t row = static_cast<size_t>(stationRow) + 1; row < rows.size() && !rows[row].empty(); ++row) {
        group.push_back(rows[row]);
    }
    std::vector<std::wstring> expected{L"    " + first, L"    " + second};
    std::sort(group.begin(), group.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Joined(group), Joined(expected));
    const int ownRow = rowOf(OwnStationName(), 0);
    ASSERT_GE(ownRow, 0);
    EXPECT_GT(rowOf(L"    " + ownDesktop, static_cast<size_t>(ownRow)), ownRow)
        << "the desktop of the own station is listed under it";

    const int target = rowOf(L"    " + second, static_cast<size_t>(stationRow));
    ASSERT_GT(target, stationRow) << "no row reads four blanks and " << Narrow(second);
    ASSERT_TRUE(WalkTo(target));
    TapKey(VK_RETURN);

    EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(kExitDone));
    const std::optional<ProbeReport> found = WaitForReport(report);
    ASSERT_TRUE(found.has_value()) << "the probe wrote no report";
    EXPECT_EQ(ReportField(found, L"station"), Narrow(station));
    EXPECT_EQ(ReportField(found, L"desktop"), Narrow(second));
    EXPECT_EQ(ReportField(found, L"startupDesktop"), Narrow(station + L"\\" + second));
    EXPECT_EQ(ReportField(found, L"commandLine"), Narrow(commandLine));
}

INSTANTIATE_TEST_SUITE_P(Scripts, UnicodeChooser, ::testing::ValuesIn(kScripts), harness::CaseName{});

// Windows before 10 1903 ignores the manifest's UTF-8 code page and keeps the
// system's legacy one. A copy of the launcher whose manifest element is
// renamed (to a name of the same length) shows Wine doing the same, under the
// code page of the locale that the test runs in: Wine takes it from LANG and
// LC_ALL of each process's Linux environment, which the test groups
// e2e.unicode_cp1251 and e2e.unicode_cp932 set (tools/install-deps generates
// the locales) along with LAUNCHER_E2E_CODE_PAGE. Whatever that code page
// cannot carry whole must stop the run with ERROR_NO_UNICODE_TRANSLATION
// instead of landing under another name.
struct LegacyCase {
    const char* name;
    UINT codePage;
    std::wstring desktop;  // stem of a bare desktop name
    bool fits;
};

void PrintTo(const LegacyCase& row, std::ostream* out) { *out << row.name; }

class LegacyCodePage : public ::testing::TestWithParam<LegacyCase> {
protected:
    void SetUp() override {
        if (!OnWine()) {
            GTEST_SKIP() << "the code page of Windows is the system's; only Wine takes it from each process's locale";
        }
        wchar_t wanted[16] = {};
        if (GetEnvironmentVariableW(L"LAUNCHER_E2E_CODE_PAGE", wanted, 16) == 0) {
            GTEST_SKIP() << "runs in the groups e2e.unicode_cp1251 and e2e.unicode_cp932, under a locale of its own";
        }
        wchar_t system[16] = {};
        GetLocaleInfoW(GetSystemDefaultLCID(), LOCALE_IDEFAULTANSICODEPAGE, system, 16);
        ASSERT_EQ(std::to_wstring(GetParam().codePage), wanted) << "a row of the other group";
        ASSERT_EQ(Narrow(system), Narrow(wanted))
            << "the system's code page is not the locale's: is the locale generated (tools/install-deps)?";

        std::optional<std::string> bytes = ReadWholeFile(LauncherPath());
        ASSERT_TRUE(bytes.has_value());
        const std::string element = "activeCodePage";
        size_t renamed = 0;
        for (size_t at = bytes->find(element); at != std::string::npos; at = bytes->find(element, at)) {
            bytes->replace(at, element.size(), "ignoredCodePag");
            ++renamed;
        }
        ASSERT_EQ(renamed, 2u) << "the manifest's element, opened and closed";
        ASSERT_TRUE(WriteWholeFile(legacy_, *bytes));
    }

    RunOptions Options(const std::wstring& arguments) const { return RunOptions().Exe(legacy_).Arguments(arguments); }

    const TempDir dir_{L"legacy"};
    const std::wstring legacy_ = dir_.File(L"Launcher.exe");
};

TEST_P(LegacyCodePage, ANameLandsWholeOrNothingStarts) {
    const LegacyCase& row = GetParam();
    const std::wstring desktop = UniqueName(row.desktop);
    const std::wstring commandLine = Quoted(ProbePath()) + L" legacy";
    const ProbeRun run = RunProbe(Options(L" \"" + desktop + L"\" " + commandLine), dir_.File(L"report.txt"));
    if (row.fits) {
        ExpectLandedOn(run, OwnStationName(), desktop, commandLine);
        return;
    }
    ASSERT_EQ(run.outcome.boxes.size(), 1u) << "the run did not stop at the text";
    // The description is the system's, in the language of the locale.
    const std::wstring head = ExpectedLaunchFailure(ERROR_NO_UNICODE_TRANSLATION, L"");
    EXPECT_EQ(Narrow(run.outcome.boxes[0].text.substr(0, head.size())), Narrow(head));
    EXPECT_EQ(run.outcome.boxes[0].icon, IconKind::Error);
    EXPECT_EQ(run.outcome.exitCode, std::optional<DWORD>(kExitProcessNotCreated));
    EXPECT_EQ(run.outcome.processesStarted, 0u);
    // Under whatever name the code page would have made of it.
    const std::wstring unique = desktop.substr(row.desktop.size());
    for (const std::wstring& made : DesktopsOf(OwnStationName())) {
        EXPECT_FALSE(made.ends_with(unique)) << "a desktop was made: " << Narrow(made);
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, LegacyCodePage,
                         ::testing::Values(LegacyCase{"Cp1251Cyrillic", 1251, L"legacy-Стол", true},
                                           LegacyCase{"Cp1251Cjk", 1251, L"legacy-桌面", false},
                                           // Best fit would turn it into a real backslash.
                                           LegacyCase{"Cp1251FullwidthBackslash", 1251, L"legacy-A\uFF3CB", false},
                                           LegacyCase{"Cp932Cjk", 932, L"legacy-日本", true},
                                           LegacyCase{"Cp932Cyrillic", 932, L"legacy-Стол", true},
                                           LegacyCase{"Cp932Yen", 932, L"legacy-A\u00A5B", false}),
                         harness::CaseName{});

}  // namespace
}  // namespace e2e
