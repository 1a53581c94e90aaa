// The argument text: cutting it from the process command line, splitting and
// validating it, and what ParseAndRun makes of each outcome.
#include "argumentText.h"
#include "expectedTexts.h"
#include "fakePlatform.h"
#include "modCommon.h"
#include "modMain.h"
#include "seamTest.h"
#include "text.h"
#include "zentarisupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

std::wstring Trim(std::wstring_view text) {
    std::wstring trimmed;
    EXPECT_EQ(zsTrimEx(text, trimmed), ZsStatus::Ok);
    return trimmed;
}

// ---------------------------------------------------------------------------
// ArgumentTextOf

struct CommandLineCase {
    const char* name;
    const wchar_t* processCommandLine;
    const wchar_t* argumentText;
};

void PrintTo(const CommandLineCase& row, std::ostream* out) { *out << row.name; }

class ArgumentTextOfTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(ArgumentTextOfTest, KeepsEverythingAfterTheProgramName) {
    EXPECT_EQ(std::wstring(ArgumentTextOf(GetParam().processCommandLine)), GetParam().argumentText);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ArgumentTextOfTest,
    testing::Values(CommandLineCase{"QuotedName", LR"("C:\Program Files\Launcher.exe" "Work" notepad.exe)",
                                    LR"( "Work" notepad.exe)"},
                    CommandLineCase{"UnquotedName", LR"(Launcher.exe "Work" notepad.exe)", LR"( "Work" notepad.exe)"},
                    CommandLineCase{"TabEndsUnquotedName", L"Launcher.exe\t\"Work\"\tnotepad.exe",
                                    L"\t\"Work\"\tnotepad.exe"},
                    CommandLineCase{"BlanksKeptForTheTrimmer", LR"(Launcher.exe   "Work"  notepad.exe  )",
                                    LR"(   "Work"  notepad.exe  )"},
                    CommandLineCase{"QuotedNameRightBeforeArgument", LR"("Launcher.exe""Work" x)", LR"("Work" x)"},
                    CommandLineCase{"NameOnly", L"Launcher.exe", L""},
                    CommandLineCase{"QuotedNameOnly", LR"("C:\Program Files\Launcher.exe")", L""},
                    CommandLineCase{"QuotedNameNotClosed", LR"("C:\Program Files\Launcher.exe Work x)", L""},
                    CommandLineCase{"Empty", L"", L""}),
    harness::CaseName{});

// ---------------------------------------------------------------------------
// ParseArgumentText and ParseAndRun over one table of argument texts, each
// already trimmed as RunFromCommandLine passes it on.

struct ArgumentCase {
    const char* name;
    const wchar_t* argumentText;
    ArgumentError error;
    const wchar_t* desktopName = L"";
    const wchar_t* commandLine = L"";
    bool opensChooser = false;
};

void PrintTo(const ArgumentCase& row, std::ostream* out) { *out << row.name; }

constexpr ArgumentError kNone = ArgumentError::None;

const ArgumentCase kArgumentCases[] = {
    {"NoOpeningQuote", LR"(Work notepad.exe)", ArgumentError::NotQuoted},
    {"NoClosingQuote", LR"("Work notepad.exe)", ArgumentError::NotQuoted},
    {"LoneQuote", LR"(")", ArgumentError::NotQuoted},
    {"TypographicQuotes", L"\u201CWork\u201D notepad.exe", ArgumentError::NotQuoted},
    {"EmptyQuotes", LR"("")", ArgumentError::EmptyDesktopName},
    {"EmptyNameWithCommand", LR"("" notepad.exe)", ArgumentError::EmptyDesktopName},
    {"BlankName", LR"("   " notepad.exe)", ArgumentError::EmptyDesktopName},
    {"LeadingBackslash", LR"("\Work" notepad.exe)", ArgumentError::NoWinStaName},
    {"LoneBackslash", LR"("\" notepad.exe)", ArgumentError::NoWinStaName},
    {"LoneBackslashNoCommand", LR"("\")", ArgumentError::NoWinStaName},
    {"TrailingBackslash", LR"("WinSta0\" notepad.exe)", ArgumentError::NoDesktopName},
    {"TwoBackslashes", LR"("A\B\C" notepad.exe)", ArgumentError::TooManyBackslashes},
    {"DoubledBackslash", LR"("A\\B" notepad.exe)", ArgumentError::TooManyBackslashes},
    {"SecondBackslashLast", LR"("A\B\" notepad.exe)", ArgumentError::TooManyBackslashes},
    {"BareNameNoCommand", LR"("Work")", ArgumentError::EmptyCommandLine},
    {"FullNameNoCommand", LR"("WinSta0\Work")", ArgumentError::EmptyCommandLine},
    {"ChooserNoCommand", LR"("?")", ArgumentError::EmptyCommandLine},
    {"BlankCommand", L"\"Work\" \t ", ArgumentError::EmptyCommandLine},
    {"BareName", LR"("Work" notepad.exe)", kNone, L"Work", L"notepad.exe"},
    {"NoBlankAfterQuote", LR"(" Work "notepad.exe)", kNone, L"Work", L"notepad.exe"},
    {"InnerBlankKept", LR"("My Desk" notepad.exe)", kNone, L"My Desk", L"notepad.exe"},
    {"FullName", LR"("WinSta0\Work" cmd /k dir)", kNone, LR"(WinSta0\Work)", L"cmd /k dir"},
    {"QuotedProgram", LR"("Work" "C:\Program Files\App\app.exe" -x)", kNone, L"Work",
     LR"("C:\Program Files\App\app.exe" -x)"},
    {"InnerBlanksOfCommandKept", LR"("Work" cmd  /c   "a  b")", kNone, L"Work", LR"(cmd  /c   "a  b")"},
    {"TabAfterQuote", L"\"Work\"\tnotepad.exe", kNone, L"Work", L"notepad.exe"},
    {"Chooser", LR"("?" notepad.exe)", kNone, L"?", L"notepad.exe", true},
    {"ChooserTrimmed", LR"(" ? " notepad.exe)", kNone, L"?", L"notepad.exe", true},
    {"QuestionMarkWithText", LR"("?x" notepad.exe)", kNone, L"?x", L"notepad.exe"},
    {"CaseKept", LR"("work" notepad.exe)", kNone, L"work", L"notepad.exe"},
    {"ForwardSlashIsOrdinary", LR"("WinSta0/Work" notepad.exe)", kNone, L"WinSta0/Work", L"notepad.exe"},
    {"Cyrillic", L"\"Станция\\Стол 1\" блокнот.exe", kNone, L"Станция\\Стол 1", L"блокнот.exe"},
};

class ParseArgumentTextTest : public testing::TestWithParam<ArgumentCase> {};

TEST_P(ParseArgumentTextTest, SplitsAndValidates) {
    const ArgumentCase& row = GetParam();
    const ParsedArguments parsed = ParseArgumentText(row.argumentText, Trim);
    EXPECT_EQ(parsed.error, row.error);
    if (row.error == kNone) {
        EXPECT_EQ(parsed.desktopName, row.desktopName);
        EXPECT_EQ(parsed.commandLine, row.commandLine);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ParseArgumentTextTest, testing::ValuesIn(kArgumentCases), harness::CaseName{});

std::vector<std::wstring> trimmedTexts;

std::wstring RecordingTrim(std::wstring_view text) {
    trimmedTexts.emplace_back(text);
    return Trim(text);
}

TEST(ParseArgumentTextTrimming, TrimsTheDesktopNameFirstThenTheCommandLine) {
    trimmedTexts.clear();
    ParseArgumentText(LR"(" Work "  notepad.exe)", RecordingTrim);
    EXPECT_THAT(trimmedTexts, ElementsAre(L" Work ", L"  notepad.exe"));
}

TEST(ParseArgumentTextTrimming, TrimsNothingWithoutAClosingQuote) {
    trimmedTexts.clear();
    EXPECT_EQ(ParseArgumentText(LR"("Work notepad.exe)", RecordingTrim).error, ArgumentError::NotQuoted);
    EXPECT_THAT(trimmedTexts, IsEmpty());
}

// ParseAndRun shows the message of the first failing check and stops before
// anything is opened; otherwise it asks the chooser for a question mark, or
// launches on the named desktop.
const std::map<ArgumentError, std::wstring> kMessages = {
    {ArgumentError::NotQuoted, kExpectedNotQuoted},
    {ArgumentError::EmptyDesktopName, kExpectedEmptyDesktopName},
    {ArgumentError::NoWinStaName, kExpectedNoWinStaName},
    {ArgumentError::NoDesktopName, kExpectedNoDesktopName},
    {ArgumentError::TooManyBackslashes, kExpectedTooManyBackslashes},
    {ArgumentError::EmptyCommandLine, kExpectedEmptyCommandLine},
};

using ParseAndRunTest = SeamTestWithParam<ArgumentCase>;

TEST_P(ParseAndRunTest, ReportsTheFirstFailedCheckAsksOrLaunches) {
    const ArgumentCase& row = GetParam();
    if (row.opensChooser) {
        // The chooser is asked before anything is opened. The fake system
        // makes no dialog, so the run ends there; choosing in a real one is
        // for the end-to-end tests.
        EXPECT_THROW(ParseAndRun(row.argumentText), ExitProcessCalled);
        EXPECT_THAT(fake.CallsExcept({"ModuleFileName"}),
                    ElementsAre("CreateDialogIndirectParamW(NULL)", "ShowMessageBox(0x10)", "ExitProcess(5)"));
        return;
    }
    ParseAndRun(row.argumentText);

    if (row.error != kNone) {
        const MessageBoxShown box = OnlyMessageBox();
        EXPECT_EQ(box.text, kMessages.at(row.error));
        EXPECT_EQ(box.caption, kExpectedTitle);
        EXPECT_EQ(box.style, 0x10u);
        EXPECT_EQ(GetExitCode(), ExitCode::ArgumentRejected);
        // Nothing looked up, opened, created or started before or after it.
        EXPECT_THAT(fake.CallsExcept({"ModuleFileName"}), ElementsAre("ShowMessageBox(0x10)"));
        return;
    }
    EXPECT_THAT(fake.MessageBoxes(), IsEmpty());
    EXPECT_EQ(GetExitCode(), ExitCode::Done);
    ASSERT_EQ(fake.ProcessCreations().size(), 1u);
    const ProcessCreation& creation = fake.ProcessCreations().front();
    EXPECT_EQ(creation.commandLine, Utf8(row.commandLine));
    const std::wstring name = row.desktopName;
    const std::wstring fullName = name.find(L'\\') == std::wstring::npos ? L"WinSta0\\" + name : name;
    EXPECT_EQ(creation.desktop, Utf8(fullName));
    EXPECT_EQ(fake.OpenHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, ParseAndRunTest, testing::ValuesIn(kArgumentCases), harness::CaseName{});

}  // namespace
