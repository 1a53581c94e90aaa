// The launcher at the edges of what the system takes: the longest command
// lines, desktop and window-station names far beyond what the system can
// create, and names made of characters that are easy to mishandle (forward
// slashes, tabs, control characters). Whatever the system does with them, the
// launcher must end by itself with one of its documented outcomes: started
// quietly (exit 0), or the failure message with the system's error (exit 2).
//
// The figures that these cases establish under Wine are printed on lines that
// begin with "[ figures ]".
#include "driver.h"
#include "expectedTexts.h"
#include "text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace e2e {
using namespace harness;
namespace {

void Figure(const std::string& text) { std::printf("[ figures ] %s\n", text.c_str()); }

// Where two long texts part, for a failure message that stays readable.
std::string Difference(const std::string& actual, const std::string& expected) {
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) {
        ++at;
    }
    return "lengths " + std::to_string(actual.size()) + " and " + std::to_string(expected.size()) +
           " (bytes), first difference at byte " + std::to_string(at);
}

// Padding that shows a lost, doubled or moved stretch: the ten digits, then
// the letters, over and over.
std::wstring Pattern(size_t length) {
    const std::wstring unit = L"0123456789abcdefghijklmnopqrstuvwxyz";
    std::wstring text;
    while (text.size() < length) {
        text += unit;
    }
    text.resize(length);
    return text;
}

void ExpectQuietStart(const ProbeRun& run) {
    EXPECT_TRUE(run.outcome.boxes.empty()) << Narrow(run.outcome.boxes.empty() ? L"" : run.outcome.boxes[0].text);
    EXPECT_TRUE(run.outcome.otherWindows.empty());
    EXPECT_EQ(run.outcome.exitCode, std::optional<DWORD>(kExitDone));
    EXPECT_EQ(run.outcome.processesStarted, 1u);
}

void ExpectCommandLineArrivedWhole(const ProbeRun& run, const std::wstring& commandLine) {
    const std::string arrived = ReportField(run.report, L"commandLine");
    const std::string expected = Narrow(commandLine);
    EXPECT_TRUE(arrived == expected) << Difference(arrived, expected);
}

// The launcher's own command line can hold at most kLongestCommandLine
// characters, and the command line that it passes on is a part of it; the
// longest that it can pass is what is left after its own path and the quoted
// desktop name.
TEST(Limits, LongestLauncherCommandLineReachesTheProbeWhole) {
    const TempDir dir;
    const std::wstring desktop = UniqueName(L"E2eLong");
    RunOptions options;
    options.rawArguments = L" \"" + desktop + L"\" ";
    const std::wstring head = Quoted(ProbePath()) + L" ";
    const size_t room = kLongestCommandLine - CommandLineOf(options).size() - head.size();
    const std::wstring commandLine = head + Pattern(room);
    options.rawArguments += commandLine;
    ASSERT_EQ(CommandLineOf(options).size(), kLongestCommandLine);

    const ProbeRun run = RunProbe(options, dir.File(L"report.txt"));
    ExpectQuietStart(run);
    ExpectCommandLineArrivedWhole(run, commandLine);
    EXPECT_EQ(ReportField(run.report, L"desktop"), Narrow(desktop));
    Figure("longest launcher command line: " + std::to_string(kLongestCommandLine) +
           " characters; the command line passed on: " + std::to_string(commandLine.size()) + " characters");
}

// The launcher hands the command line to CreateProcessA in its ANSI code page,
// UTF-8. Its character limit (32767 with the NUL) is out of reach, see above;
// its limit on the ANSI text, 65535 bytes, is not: a CJK character is one
// UTF-16 unit and three UTF-8 bytes, so the command line grows threefold on
// its way to the system. These two build command lines of exactly 65535 and
// 65536 UTF-8 bytes from such characters.
std::wstring CommandLineOfBytes(size_t bytes) {
    std::wstring commandLine = Quoted(ProbePath()) + L" ";
    while (Narrow(commandLine).size() + 3 <= bytes) {
        commandLine += L'中';
    }
    commandLine += Pattern(bytes - Narrow(commandLine).size());
    return commandLine;
}

// The error that the system itself gives for this command line, asked the
// same way as the launcher asks: CreateProcessA with the text in UTF-8.
DWORD SystemErrorFor(const std::wstring& commandLine) {
    std::string ansi = Narrow(commandLine);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (CreateProcessA(nullptr, ansi.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                       &info)) {
        TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        return ERROR_SUCCESS;
    }
    return GetLastError();
}

// What the launcher must do with a command line that the system refuses with
// the given error: its failure message with the system's description of that
// error, exit 2, nothing started.
void ExpectTheSystemsRefusal(const ProbeRun& run, DWORD error, const std::wstring& report) {
    EXPECT_EQ(run.outcome.exitCode, std::optional<DWORD>(kExitProcessNotCreated));
    EXPECT_EQ(run.outcome.processesStarted, 0u);
    EXPECT_EQ(GetFileAttributesW(report.c_str()), INVALID_FILE_ATTRIBUTES) << "something was started";
    ASSERT_EQ(run.outcome.boxes.size(), 1u);
    const MessageBoxView& box = run.outcome.boxes[0];
    EXPECT_STREQ(IconName(box.icon), IconName(IconKind::Error));
    EXPECT_EQ(box.buttonIds, std::vector<int>{IDOK});
    EXPECT_EQ(Narrow(box.text), Narrow(ExpectedLaunchFailure(error, SystemDescription(error))));
}

// Wine takes these 65535 bytes. Windows keeps an ANSI text to 65534 bytes
// (RtlInitAnsiStringEx, as ReactOS has it) and may refuse them: then the
// launcher must report the system's own error, as one byte more does below.
TEST(Limits, LongestAnsiCommandLineReachesTheProbeWhole) {
    const TempDir dir;
    const std::wstring commandLine = CommandLineOfBytes(65535);
    ASSERT_EQ(Narrow(commandLine).size(), 65535u);
    const DWORD refusal = SystemErrorFor(commandLine);
    const ProbeRun run = RunProbe(RunOptions().Arguments(L" \"" + UniqueName(L"E2eAnsi") + L"\" " + commandLine),
                                  dir.File(L"report.txt"));
    if (refusal != ERROR_SUCCESS) {
        EXPECT_FALSE(OnWine()) << "Wine refused 65535 bytes with error " << refusal;
        ExpectTheSystemsRefusal(run, refusal, dir.File(L"report.txt"));
        Figure("longest ANSI (UTF-8) command line: 65535 bytes refused by the system, Win32 error " +
               std::to_string(refusal));
        return;
    }
    ExpectQuietStart(run);
    ExpectCommandLineArrivedWhole(run, commandLine);
    Figure("longest ANSI (UTF-8) command line: 65535 bytes, " + std::to_string(commandLine.size()) + " characters");
}

// One byte more. Wine keeps the length of the ANSI text in 16 bits and so
// cuts these 65536 bytes down to none: it finds no program and says so. The
// test does not count on that error; it asks the system itself about the
// same text and expects the launcher to report exactly that error, with the
// system's description of it, and to start nothing.
TEST(Limits, OnePastTheAnsiLimitReportsTheSystemErrorAndEndsWithTwo) {
    const TempDir dir;
    const std::wstring report = dir.File(L"report.txt");
    const std::wstring commandLine = CommandLineOfBytes(65536);
    ASSERT_EQ(Narrow(commandLine).size(), 65536u);
    const DWORD expected = SystemErrorFor(commandLine);
    ASSERT_NE(expected, static_cast<DWORD>(ERROR_SUCCESS)) << "the system takes 65536 bytes";
    const std::wstring description = SystemDescription(expected);
    ASSERT_FALSE(description.empty()) << "the system describes error " << expected;

    const ProbeRun run =
        RunProbe(RunOptions().Arguments(L" \"" + UniqueName(L"E2eAnsi") + L"\" " + commandLine), report);
    ExpectTheSystemsRefusal(run, expected, report);
    Figure("one past: 65536 bytes (" + std::to_string(commandLine.size()) + " characters) gives Win32 error " +
           std::to_string(expected) + ": " + Narrow(description));
}

// Desktop and window-station names of a given length, in the launcher's own
// station (bare) or in a station of their own (full).
struct LongName {
    const char* name;
    size_t stationLength;  // 0: a bare desktop name
    size_t desktopLength;  // 0: an ordinary desktop name
    bool systemCreatesIt;  // what Wine does with a name of this length
};

void PrintTo(const LongName& name, std::ostream* out) { *out << name.name; }

// A name of exactly the length, unique among the runs.
std::wstring NameOfLength(wchar_t letter, size_t length) {
    std::wstring name = UniqueName(L"E2e") + L"_";
    name.resize(length, letter);
    return name;
}

class LongNames : public ::testing::TestWithParam<LongName> {};

TEST_P(LongNames, EndInADocumentedOutcome) {
    const LongName& param = GetParam();
    const TempDir dir;
    const std::wstring station = param.stationLength == 0 ? OwnStationName() : NameOfLength(L'S', param.stationLength);
    const std::wstring desktop =
        param.desktopLength == 0 ? UniqueName(L"E2eDesk") : NameOfLength(L'D', param.desktopLength);
    const std::wstring full = station + L"\\" + desktop;
    const std::wstring field = param.stationLength == 0 ? desktop : full;
    const std::wstring report = dir.File(L"report.txt");
    const ProbeRun run =
        RunProbe(RunOptions().Arguments(L" \"" + field + L"\" " + Quoted(ProbePath()) + L" long"), report);

    ASSERT_TRUE(run.outcome.exitCode.has_value()) << "the launcher did not end";
    EXPECT_TRUE(run.outcome.otherWindows.empty());
    // Wine refuses to open or make a station or desktop whose name has
    // MAX_PATH characters or more; Windows may take such a name, or refuse it
    // with an error of its own. Either way the program runs where it was
    // asked to, or nowhere: a name that is not made is reported, with the
    // error of its creation, and nothing is started.
    const bool made = param.systemCreatesIt || (!OnWine() && run.outcome.exitCode == kExitDone);
    if (made) {
        ExpectQuietStart(run);
        EXPECT_EQ(ReportField(run.report, L"station"), Narrow(station));
        EXPECT_EQ(ReportField(run.report, L"desktop"), Narrow(desktop));
        EXPECT_EQ(ReportField(run.report, L"startupDesktop"), Narrow(full));
        return;
    }
    if (OnWine()) {
        ExpectTheSystemsRefusal(run, ERROR_FILENAME_EXCED_RANGE, report);
    } else {
        EXPECT_EQ(run.outcome.exitCode, std::optional<DWORD>(kExitProcessNotCreated));
        EXPECT_EQ(run.outcome.processesStarted, 0u);
    }
    ASSERT_EQ(run.outcome.boxes.size(), 1u);
    EXPECT_TRUE(run.outcome.boxes[0].text.starts_with(kExpectedLaunchFailureHead + L"\r\n\r\n" + kExpectedErrorLabel))
        << Narrow(run.outcome.boxes[0].text);
    Figure(std::string(param.name) + ": not made, reported: " + Narrow(run.outcome.boxes[0].text));
}

INSTANTIATE_TEST_SUITE_P(Limits, LongNames,
                         ::testing::Values(LongName{"Desktop259", 0, 259, true}, LongName{"Desktop260", 0, 260, false},
                                           LongName{"Desktop5000", 0, 5000, false},
                                           LongName{"Station259", 259, 0, true}, LongName{"Station260", 260, 0, false},
                                           LongName{"Station5000", 5000, 0, false}),
                         harness::CaseName{});

// Characters that are ordinary to the launcher but easy to mishandle: they
// must reach the system, and the process, unchanged.
struct OddName {
    const char* name;
    std::wstring field;    // between the quotes; %U stands for a unique part
    std::wstring station;  // where the probe must land; empty: the launcher's own station
    std::wstring desktop;
    std::wstring separator;  // between the closing quote and the command line
    std::wstring tail;       // after the quoted probe path; the probe must see exactly this
    std::wstring trailing;   // after the tail: blanks and tabs that must go
};

void PrintTo(const OddName& name, std::ostream* out) { *out << name.name; }

std::wstring WithUnique(std::wstring text, const std::wstring& unique) {
    for (size_t at; (at = text.find(L"%U")) != std::wstring::npos;) {
        text.replace(at, 2, unique);
    }
    return text;
}

class OddNames : public ::testing::TestWithParam<OddName> {};

TEST_P(OddNames, ArriveUnchanged) {
    const OddName& param = GetParam();
    const TempDir dir;
    const std::wstring unique = UniqueName(L"");
    const std::wstring station = param.station.empty() ? OwnStationName() : WithUnique(param.station, unique);
    const std::wstring desktop = WithUnique(param.desktop, unique);
    const ProbeRun run =
        RunProbe(RunOptions().Arguments(L" \"" + WithUnique(param.field, unique) + L"\"" + param.separator +
                                        Quoted(ProbePath()) + param.tail + param.trailing),
                 dir.File(L"report.txt"));
    ExpectQuietStart(run);
    EXPECT_EQ(ReportField(run.report, L"station"), Narrow(station));
    EXPECT_EQ(ReportField(run.report, L"desktop"), Narrow(desktop));
    EXPECT_EQ(ReportField(run.report, L"startupDesktop"), Narrow(station + L"\\" + desktop));
    EXPECT_EQ(ReportField(run.report, L"commandLine"), Narrow(Quoted(ProbePath()) + param.tail));
}

INSTANTIATE_TEST_SUITE_P(
    Limits, OddNames,
    ::testing::Values(
        OddName{"ForwardSlashes", L"E2e/Slash/%U", L"", L"E2e/Slash/%U", L" ", L" a/b", L""},
        OddName{"TabsInside", L"E2e\tTab\t%U", L"", L"E2e\tTab\t%U", L" ", L" x", L""},
        OddName{"ControlCharacters", L"E2e\x01 Ctl\x1F%U\x7F", L"", L"E2e\x01 Ctl\x1F%U\x7F", L" ", L" \x01\x1F", L""},
        // Blanks and tabs around the name go, as around the command line.
        OddName{"TabsAroundTheName", L"\t \tE2eTrim%U\t \t", L"", L"E2eTrim%U", L" ", L" y", L""},
        OddName{"OddCharactersInBothHalves", L"E2e/\t\x01Sta%U\\De/\t\x1F%U", L"E2e/\t\x01Sta%U", L"De/\t\x1F%U", L" ",
                L"", L""},
        OddName{"TabAfterTheClosingQuote", L"E2eTab%U", L"", L"E2eTab%U", L"\t", L"\tone\ttwo", L""},
        OddName{"TabsAndBlanksAroundTheCommandLine", L"E2eTabs%U", L"", L"E2eTabs%U", L"\t \t\t", L" z", L"\t \t"}),
    harness::CaseName{});

}  // namespace
}  // namespace e2e
