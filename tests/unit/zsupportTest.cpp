// The support library, and the pieces that it shares with the launcher,
// against the real system (under the UTF-8 code page that the embedded
// manifest selects).
#include "ansiText.h"
#include "base.h"
#include "driver.h"
#include "expectedTexts.h"
#include "fakePlatform.h"
#include "seamTest.h"
#include "text.h"
#include "zentarisupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using testing::HasSubstr;
using testing::Not;

// ---------------------------------------------------------------------------
// zsTrimEx

struct TrimCase {
    const wchar_t* text;
    const wchar_t* trimmed;
};

class ZsTrimExTest : public testing::TestWithParam<TrimCase> {};

TEST_P(ZsTrimExTest, RemovesOuterBlanksAndTabsOnly) {
    std::wstring trimmed = L"previous";
    ASSERT_EQ(zsTrimEx(GetParam().text, trimmed), ZsStatus::Ok);
    EXPECT_EQ(trimmed, GetParam().trimmed);
}

INSTANTIATE_TEST_SUITE_P(Texts, ZsTrimExTest,
                         testing::Values(TrimCase{L"Work", L"Work"}, TrimCase{L"  Work  ", L"Work"},
                                         TrimCase{L"\t Work \t", L"Work"}, TrimCase{L" My  Desk ", L"My  Desk"},
                                         TrimCase{L"a\tb", L"a\tb"}, TrimCase{L"   ", L""}, TrimCase{L" \t \t", L""},
                                         TrimCase{L"", L""}, TrimCase{L"\r\nx\r\n", L"\r\nx\r\n"},
                                         TrimCase{L"\u00A0x\u00A0", L"\u00A0x\u00A0"}));

// ---------------------------------------------------------------------------
// zsGetStringFromPointerA and the ANSI code page

TEST(AnsiCodePageTest, IsUtf8) { EXPECT_EQ(GetACP(), 65001u); }

TEST(ZsGetStringFromPointerATest, RefusesANullAddressAndLeavesTheTextAlone) {
    std::wstring text = L"unchanged";
    EXPECT_EQ(zsGetStringFromPointerA(nullptr, text), ZsStatus::InvalidArgument);
    EXPECT_EQ(text, L"unchanged");
}

TEST(ZsGetStringFromPointerATest, StopsAtTheFirstNul) {
    const char bytes[] = {'W', 'o', 'r', 'k', '\0', 'X', '\0'};
    std::wstring text;
    ASSERT_EQ(zsGetStringFromPointerA(bytes, text), ZsStatus::Ok);
    EXPECT_EQ(text, L"Work");
}

class RoundTripTest : public testing::TestWithParam<const wchar_t*> {};

TEST_P(RoundTripTest, IsLossless) {
    const std::wstring original = GetParam();
    const std::optional<std::string> ansi = ToAnsi(original);
    ASSERT_TRUE(ansi.has_value());
    std::wstring back;
    ASSERT_EQ(zsGetStringFromPointerA(ansi->c_str(), back), ZsStatus::Ok);
    EXPECT_EQ(back, original);
}

INSTANTIATE_TEST_SUITE_P(Texts, RoundTripTest,
                         testing::Values(L"WinSta0\\Default", L"Рабочий стол", L"桌面 デスクトップ",
                                         L"\U0001F600 emoji", L"Ünïcödé ©"));

TEST(ToAnsiTest, WritesUtf8Bytes) {
    EXPECT_EQ(ToAnsi(L"Стол"), "\xD0\xA1\xD1\x82\xD0\xBE\xD0\xBB");
    EXPECT_EQ(ToAnsi(L"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(ToAnsi(L""), "");
}

// Under a legacy code page, as on Windows before 10 1903, a text converts
// whole or not at all: never to a best-fit look-alike, never with a question
// mark in place of what the code page lacks. Under UTF-8 the conversion takes
// no flag, as Windows requires there.
struct CodePageCase {
    UINT codePage;
    const wchar_t* text;
    std::optional<std::string> bytes;
};

void PrintTo(const CodePageCase& row, std::ostream* out) { *out << row.codePage << " " << harness::Narrow(row.text); }

class ToAnsiCodePageTest : public SeamTestWithParam<CodePageCase> {};

TEST_P(ToAnsiCodePageTest, ConvertsWholeOrNotAtAll) {
    fake.codePage = GetParam().codePage;
    EXPECT_EQ(ToAnsi(GetParam().text), GetParam().bytes);
    const bool legacy = GetParam().codePage != CP_UTF8;
    ASSERT_FALSE(fake.AnsiConversions().empty());
    for (const AnsiConversion& conversion : fake.AnsiConversions()) {
        EXPECT_EQ(conversion.codePage, static_cast<UINT>(CP_ACP));
        EXPECT_EQ(conversion.flags, legacy ? static_cast<DWORD>(WC_NO_BEST_FIT_CHARS) : 0u);
        EXPECT_EQ(conversion.asksUsedDefault, legacy);
    }
}

INSTANTIATE_TEST_SUITE_P(CodePages, ToAnsiCodePageTest,
                         testing::Values(CodePageCase{CP_UTF8, L"\u65E5\u672C", "\xE6\x97\xA5\xE6\x9C\xAC"},
                                         CodePageCase{CP_UTF8, L"\uFF3C\u00A5", "\xEF\xBC\xBC\xC2\xA5"},
                                         CodePageCase{1251, L"Стол", "\xD1\xF2\xEE\xEB"},
                                         CodePageCase{1251, L"\u65E5\u672C", std::nullopt},
                                         // Best fit would make a real backslash of the fullwidth one.
                                         CodePageCase{1251, L"A\uFF3CB", std::nullopt},
                                         CodePageCase{1251, L"Work\u00A0Desk",
                                                      "Work\xA0"
                                                      "Desk"},
                                         CodePageCase{932, L"\u65E5\u672C", "\x93\xFA\x96\x7B"},
                                         // Best fit would make a backslash of the yen sign.
                                         CodePageCase{932, L"A\u00A5B", std::nullopt},
                                         CodePageCase{932, L"\u0416", "\x84\x47"},
                                         CodePageCase{932, L"\u0490", std::nullopt}));

// ---------------------------------------------------------------------------
// Error texts

struct ErrorNumberCase {
    DWORD code;
    const wchar_t* text;
};

class ZsGetErrorNumberTest : public testing::TestWithParam<ErrorNumberCase> {};

TEST_P(ZsGetErrorNumberTest, WritesDecimalAndHex) {
    std::wstring text;
    ASSERT_EQ(zsGetErrorNumber(GetParam().code, text), ZsStatus::Ok);
    EXPECT_EQ(text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Codes, ZsGetErrorNumberTest,
                         testing::Values(ErrorNumberCase{0, L"0 (0x00000000)"}, ErrorNumberCase{2, L"2 (0x00000002)"},
                                         ErrorNumberCase{1314, L"1314 (0x00000522)"},
                                         ErrorNumberCase{0xFFFFFFFF, L"4294967295 (0xFFFFFFFF)"}));

TEST(ZsGetAPIErrorDescriptionTest, GivesTheSystemTextWithoutItsLineBreak) {
    std::wstring description;
    ASSERT_EQ(zsGetAPIErrorDescription(ERROR_FILE_NOT_FOUND, description), ZsStatus::Ok);
    ASSERT_FALSE(description.empty());
    EXPECT_NE(description.back(), L'\n');
    EXPECT_NE(description.back(), L'\r');
    EXPECT_NE(description.back(), L' ');
    EXPECT_THAT(description, Not(HasSubstr(kExpectedUnknownErrorDescription)));
}

TEST(ZsGetAPIErrorDescriptionTest, AnUnknownCodeGivesTheFallbackText) {
    std::wstring description;
    ASSERT_EQ(zsGetAPIErrorDescription(0x2000BEEF, description), ZsStatus::Ok);
    EXPECT_EQ(description, kExpectedUnknownErrorDescription);
}

// ---------------------------------------------------------------------------
// Shared pieces: digits, file names, the executable's path

struct DigitsCase {
    unsigned long value;
    unsigned radix;
    size_t minDigits;
    const wchar_t* text;
};

class DigitsTest : public testing::TestWithParam<DigitsCase> {};

TEST_P(DigitsTest, WritesEveryDigitAfterZerosUpToTheMinimum) {
    EXPECT_EQ(Digits(GetParam().value, GetParam().radix, GetParam().minDigits), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values, DigitsTest,
                         testing::Values(DigitsCase{0, 10, 0, L"0"}, DigitsCase{0, 10, 3, L"000"},
                                         DigitsCase{7, 10, 4, L"0007"}, DigitsCase{12345, 10, 4, L"12345"},
                                         DigitsCase{4294967295, 10, 1, L"4294967295"},
                                         DigitsCase{0xBEEF, 16, 8, L"0000BEEF"}, DigitsCase{0xA5, 16, 1, L"A5"},
                                         DigitsCase{5, 2, 1, L"101"}, DigitsCase{8, 8, 1, L"10"}));

struct FileNameCase {
    const wchar_t* path;
    const wchar_t* fileName;
};

class FileNameOfTest : public testing::TestWithParam<FileNameCase> {};

TEST_P(FileNameOfTest, KeepsWhatFollowsTheLastSeparator) {
    EXPECT_EQ(std::wstring(FileNameOf(GetParam().path)), GetParam().fileName);
}

INSTANTIATE_TEST_SUITE_P(Paths, FileNameOfTest,
                         testing::Values(FileNameCase{LR"(C:\Program Files\Launcher.exe)", L"Launcher.exe"},
                                         FileNameCase{L"C:/tools/Start.EXE", L"Start.EXE"},
                                         FileNameCase{LR"(C:\a/b\c.d)", L"c.d"}, FileNameCase{L"Launcher", L"Launcher"},
                                         FileNameCase{LR"(C:\tools\)", L""}, FileNameCase{L"", L""}));

TEST(ExecutablePathTest, IsTheFullPathOfThisProgram) {
    const std::wstring path = ExecutablePath();
    EXPECT_EQ(std::wstring(FileNameOf(path)), L"launcher_unit_tests.exe");
    const DWORD attributes = GetFileAttributesW(path.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

// ---------------------------------------------------------------------------
// zsSetWindowResIconAll

// The icons are those of the window's own resolution, which in a process
// that is aware of each monitor's resolution need not be the system's.
TEST(ZsSetWindowResIconAllTest, PutsTheIconsOfTheWindowsResolutionOnIt) {
    const HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(zsSetWindowResIconAll(window, L"A_MAIN"), ZsStatus::Ok);
    const UINT dpi = WindowDpi(window);
    ASSERT_NE(dpi, 0u);
    EXPECT_EQ(harness::IconWidth(window, ICON_SMALL), WindowMetric(window, SM_CXSMICON));
    EXPECT_EQ(harness::IconWidth(window, ICON_BIG), WindowMetric(window, SM_CXICON));
    // At the window's resolution: in proportion to 16 and 32 at 96 dots per
    // inch, give or take the steps that the system rounds icon sizes to.
    EXPECT_NEAR(harness::IconWidth(window, ICON_SMALL), MulDiv(16, static_cast<int>(dpi), 96), 4);
    EXPECT_NEAR(harness::IconWidth(window, ICON_BIG), MulDiv(32, static_cast<int>(dpi), 96), 8);
    DestroyWindow(window);
}

TEST(ZsSetWindowResIconAllTest, RefusesAWindowThatIsNotThere) {
    EXPECT_EQ(zsSetWindowResIconAll(nullptr, L"A_MAIN"), ZsStatus::InvalidArgument);
}

// ---------------------------------------------------------------------------
// zsGetCurrentDirectory

class ZsGetCurrentDirectoryTest : public testing::Test {
protected:
    void SetUp() override {
        wchar_t previous[MAX_PATH];
        ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
        previous_ = previous;
    }
    void TearDown() override {
        SetCurrentDirectoryW(previous_.c_str());
        if (!created_.empty()) {
            RemoveDirectoryW(created_.c_str());
        }
    }

    std::wstring previous_;
    std::wstring created_;
};

TEST_F(ZsGetCurrentDirectoryTest, FollowsTheProcessDirectory) {
    wchar_t temp[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    created_ = std::wstring(temp) + L"каталог \U0001F600 " + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(created_.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryW(created_.c_str()));

    std::wstring directory;
    ASSERT_EQ(zsGetCurrentDirectory(directory), ZsStatus::Ok);
    wchar_t expected[MAX_PATH];
    ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, expected), 0u);
    EXPECT_EQ(directory, expected);
    EXPECT_THAT(directory, HasSubstr(L"каталог \U0001F600"));
}

}  // namespace
