// The launcher run without a request (usage message) and with argument texts
// that it must refuse, watched from outside through its message boxes, its
// exit code and the processes that it starts; and the mitigations that Windows
// applies to it while its usage is up.
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

// A string entry of the executable's version resource, in its first language.
std::wstring VersionString(const std::wstring& exe, const std::wstring& entry) {
    DWORD ignored = 0;
    std::vector<BYTE> data(GetFileVersionInfoSizeW(exe.c_str(), &ignored));
    if (data.empty() || !GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(data.size()), data.data())) {
        return {};
    }
    void* found = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &found, &size) || size < 4) {
        return {};
    }
    const auto* translation = static_cast<const WORD*>(found);
    wchar_t key[128];
    swprintf(key, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translation[0], translation[1], entry.c_str());
    if (!VerQueryValueW(data.data(), key, &found, &size) || found == nullptr) {
        return {};
    }
    return static_cast<const wchar_t*>(found);
}

// Checks one run that must show exactly one box with the given look and end.
void ExpectSingleBox(const Outcome& outcome, IconKind icon, DWORD exitCode) {
    EXPECT_TRUE(outcome.otherWindows.empty()) << Narrow(outcome.otherWindows.empty() ? L"" : outcome.otherWindows[0]);
    ASSERT_EQ(outcome.boxes.size(), 1u);
    const MessageBoxView& box = outcome.boxes[0];
    EXPECT_EQ(Narrow(box.caption), Narrow(kExpectedTitle));
    EXPECT_EQ(box.buttonIds, std::vector<int>{IDOK}) << "one OK button and nothing else";
    EXPECT_STREQ(IconName(box.icon), IconName(icon));
    EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(exitCode));
}

class Usage : public ::testing::TestWithParam<const wchar_t*> {};

void ExpectUsageText(const std::wstring& text, const std::wstring& exeName) {
    for (size_t at = 0; at < text.size(); ++at) {
        const bool pairedCr = text[at] == L'\r' && at + 1 < text.size() && text[at + 1] == L'\n';
        const bool pairedLf = text[at] == L'\n' && at > 0 && text[at - 1] == L'\r';
        ASSERT_TRUE((text[at] != L'\r' && text[at] != L'\n') || pairedCr || pairedLf)
            << "every line break is CR LF; a lone one at " << at;
    }
    // Read from Launcher.exe even for a copy: Wine answers version queries on
    // a file named Start.exe from its own built-in program of that name.
    const std::wstring copyright = VersionString(LauncherPath(), L"LegalCopyright");
    EXPECT_FALSE(copyright.empty()) << "the version resource names a copyright";
    const std::vector<std::wstring> lines = LinesOf(text);
    const std::vector<std::wstring> expected = ExpectedUsageLines(exeName, copyright);
    ASSERT_EQ(lines.size(), expected.size()) << Narrow(text);
    for (size_t line = 0; line < lines.size(); ++line) {
        EXPECT_EQ(Narrow(lines[line]), Narrow(expected[line])) << "line " << line;
    }
}

TEST_P(Usage, ShowsEightLineInformationBoxAndEndsWithZero) {
    const Outcome outcome = RunToEnd(RunOptions().Arguments(GetParam()));
    ExpectSingleBox(outcome, IconKind::Information, kExitDone);
    ASSERT_EQ(outcome.boxes.size(), 1u);
    ExpectUsageText(outcome.boxes[0].text, L"Launcher");
    EXPECT_EQ(outcome.processesStarted, 0u);
}

INSTANTIATE_TEST_SUITE_P(NothingOrBlanks, Usage, ::testing::Values(L"", L" ", L"      "));

TEST(UsageUnderAnotherName, CopyNamedStartShowsStartOnTheSyntaxLine) {
    const TempDir dir;
    const std::wstring copy = dir.File(L"Start.exe");
    ASSERT_TRUE(CopyFileW(LauncherPath().c_str(), copy.c_str(), FALSE));
    const Outcome outcome = RunToEnd(RunOptions().Exe(copy));
    ExpectSingleBox(outcome, IconKind::Information, kExitDone);
    ASSERT_EQ(outcome.boxes.size(), 1u);
    ExpectUsageText(outcome.boxes[0].text, L"Start");

    // The launcher records where it runs from, under the name it runs as; the
    // entry goes again with the copy.
    const std::wstring appPath = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Start.exe";
    wchar_t recorded[MAX_PATH * 2] = {};
    DWORD size = sizeof recorded;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, appPath.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, recorded, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(Narrow(recorded), Narrow(copy));
    RegDeleteKeyW(HKEY_CURRENT_USER, appPath.c_str());
}

// Looked up rather than imported: Windows 7 has no such function, and the
// test executable would not start there at all.
using MitigationQuery = decltype(&GetProcessMitigationPolicy);

// The error of the query; ERROR_SUCCESS when the policy was read.
template <typename Policy>
DWORD ReadPolicy(MitigationQuery query, HANDLE process, PROCESS_MITIGATION_POLICY which, Policy& policy) {
    return query(process, which, &policy, sizeof policy) ? ERROR_SUCCESS : GetLastError();
}

// The kernel's own version: GetVersionExW gives the newest Windows that the
// test's manifest names, and it names none.
RTL_OSVERSIONINFOW KernelVersion() {
    RTL_OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    const auto get = LoadedFunction<LONG(WINAPI*)(RTL_OSVERSIONINFOW*)>(L"ntdll.dll", "RtlGetVersion");
    if (get != nullptr) {
        get(&version);
    }
    return version;
}

const char* OnOff(DWORD bit) { return bit != 0 ? "on" : "off"; }

// The stack protection's guard is the SecurityCookie, whose default value in
// the file the loader (or else the first TLS callback) replaces before the
// launcher's code runs (src/image/loadConfig.S): no run reads the file's
// value, and the runs do not all read one value. Wine's loader draws the value
// from RtlRandom's table of 128 entries, seeded with the tick count and the
// process id, so two runs there read the same value about once in 20 (x86)
// or 100 (x64) pairs: the runs go on until two differ, at most kCookieRuns,
// which leaves one chance in a million of five equal values from Wine.
TEST(UsageMitigations, RunningLauncherHasARandomStackCookie) {
    constexpr size_t kCookieRuns = 5;
    const std::optional<ImageCookie> cookie = SecurityCookieOf(LauncherPath());
    ASSERT_TRUE(cookie.has_value()) << "no SecurityCookie in the load configuration of " << Narrow(LauncherPath());
    std::vector<unsigned long long> running;
    while (running.size() < 2 || (running.back() == running.front() && running.size() < kCookieRuns)) {
        LauncherRun launcher{RunOptions()};
        ASSERT_TRUE(launcher.started()) << "error " << launcher.startError();
        const HWND box = launcher.WaitForWindow();
        ASSERT_NE(box, nullptr) << "the usage did not show";
        const std::optional<unsigned long long> value = RunningCookie(launcher.pid(), *cookie);
        PressOk(box);
        EXPECT_TRUE(WaitUntilGone(box));
        EXPECT_EQ(launcher.WaitForExit(), std::optional<DWORD>(kExitDone));
        ASSERT_TRUE(value.has_value()) << "the running launcher's cookie could not be read (error " << GetLastError()
                                       << ")";
        EXPECT_NE(*value, cookie->fileValue) << "the file's cookie was left in place";
        running.push_back(*value);
    }
    std::printf("[ figures ] stack cookie of %s: 0x%llX in the file, running", Narrow(LauncherPath()).c_str(),
                cookie->fileValue);
    for (const unsigned long long value : running) {
        std::printf(" 0x%llX", value);
    }
    std::printf("\n");
    EXPECT_NE(running.back(), running.front()) << running.size() << " runs had the same cookie";
}

// The image asks for Control Flow Guard (CMakeLists.txt), but Windows turns it
// on for the process only when the image also carries the guard's load
// configuration and table: only the running launcher can tell. The shadow
// stack takes a processor with CET and Windows 10 2004 or later besides, so it
// is reported, not required.
TEST(UsageMitigations, RunningLauncherHasControlFlowGuard) {
    if (OnWine()) {
        GTEST_SKIP()
            << "Wine enforces no Control Flow Guard, and its GetProcessMitigationPolicy reports no real policy";
    }
    const auto query = LoadedFunction<MitigationQuery>(L"kernel32.dll", "GetProcessMitigationPolicy");
    if (query == nullptr) {
        GTEST_SKIP() << "this Windows has no GetProcessMitigationPolicy (Windows 8 brought it), nor Control Flow Guard";
    }
    LauncherRun run{RunOptions()};
    ASSERT_TRUE(run.started()) << "error " << run.startError();
    const HWND box = run.WaitForWindow();
    ASSERT_NE(box, nullptr) << "the usage did not show";
    const std::optional<MessageBoxView> usage = ReadMessageBox(box);
    ASSERT_TRUE(usage.has_value()) << "not a message box: " << Narrow(ClassOf(box));
    ExpectUsageText(usage->text, L"Launcher");

    // The access that the documentation of GetProcessMitigationPolicy names.
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, run.pid());
    const DWORD openError = process == nullptr ? GetLastError() : ERROR_SUCCESS;
    PROCESS_MITIGATION_CONTROL_FLOW_GUARD_POLICY guard{};
    PROCESS_MITIGATION_USER_SHADOW_STACK_POLICY shadowStack{};
    DWORD guardError = openError;
    DWORD shadowStackError = openError;
    if (process != nullptr) {
        guardError = ReadPolicy(query, process, ProcessControlFlowGuardPolicy, guard);
        shadowStackError = ReadPolicy(query, process, ProcessUserShadowStackPolicy, shadowStack);
        CloseHandle(process);
    }

    PressOk(box);
    EXPECT_TRUE(WaitUntilGone(box));
    EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(kExitDone));
    ASSERT_EQ(openError, static_cast<DWORD>(ERROR_SUCCESS)) << "OpenProcess with PROCESS_QUERY_INFORMATION";

    const std::string guardText = guardError == ERROR_SUCCESS
                                      ? std::string("Control Flow Guard ") + OnOff(guard.EnableControlFlowGuard) +
                                            " (export suppression " + OnOff(guard.EnableExportSuppression) +
                                            ", strict mode " + OnOff(guard.StrictMode) + ")"
                                      : "Control Flow Guard not reported (error " + std::to_string(guardError) + ")";
    const std::string shadowStackText =
        shadowStackError == ERROR_SUCCESS
            ? std::string("user shadow stack ") + OnOff(shadowStack.EnableUserShadowStack) + " (strict mode " +
                  OnOff(shadowStack.EnableUserShadowStackStrictMode) + ")"
            : "user shadow stack not reported by this Windows (error " + std::to_string(shadowStackError) + ")";
    // What was proven where: a reader of the job's log sees the Windows build
    // beside the policy that it gave.
    const RTL_OSVERSIONINFOW version = KernelVersion();
    std::printf("[ figures ] Windows %lu.%lu.%lu, the running %s: %s; %s\n", version.dwMajorVersion,
                version.dwMinorVersion, version.dwBuildNumber, Narrow(LauncherPath()).c_str(), guardText.c_str(),
                shadowStackText.c_str());

    if (guardError != ERROR_SUCCESS && version.dwMajorVersion < 10) {
        GTEST_SKIP() << "Windows " << version.dwMajorVersion << "." << version.dwMinorVersion
                     << " does not report Control Flow Guard (error " << guardError
                     << "); it came with Windows 10 and an update of 8.1";
    }
    ASSERT_EQ(guardError, static_cast<DWORD>(ERROR_SUCCESS))
        << "GetProcessMitigationPolicy(ProcessControlFlowGuardPolicy)";
    EXPECT_EQ(static_cast<DWORD>(guard.EnableControlFlowGuard), 1u)
        << "Windows runs the launcher without Control Flow Guard";
}

struct Refusal {
    const char* name;
    std::wstring arguments;  // "%P" stands for the quoted probe path, "%U" for the unquoted one
    std::wstring message;
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

class RefusedArguments : public ::testing::TestWithParam<Refusal> {};

TEST_P(RefusedArguments, ShowExactErrorAndStartNothing) {
    std::wstring arguments = GetParam().arguments;
    if (const size_t at = arguments.find(L"%P"); at != std::wstring::npos) {
        arguments.replace(at, 2, Quoted(ProbePath()));
    }
    if (const size_t at = arguments.find(L"%U"); at != std::wstring::npos) {
        arguments.replace(at, 2, ProbePath());
    }
    const TempDir dir;
    const std::wstring report = dir.File(L"report.txt");
    const Outcome outcome = RunToEnd(RunOptions().Arguments(L" " + arguments).Env(L"PROBE_OUT", report));

    ExpectSingleBox(outcome, IconKind::Error, kExitArgumentRejected);
    ASSERT_EQ(outcome.boxes.size(), 1u);
    EXPECT_EQ(Narrow(outcome.boxes[0].text), Narrow(GetParam().message));
    EXPECT_EQ(outcome.processesStarted, 0u);
    EXPECT_EQ(GetFileAttributesW(report.c_str()), INVALID_FILE_ATTRIBUTES) << "the probe ran";
}

INSTANTIATE_TEST_SUITE_P(
    ArgumentText, RefusedArguments,
    ::testing::Values(Refusal{"NotQuoted_NoOpeningQuote", L"E2eWork %P", kExpectedNotQuoted},
                      Refusal{"NotQuoted_NoClosingQuote", L"\"E2eWork %U", kExpectedNotQuoted},
                      Refusal{"NotQuoted_LoneQuote", L"\"", kExpectedNotQuoted},
                      Refusal{"NotQuoted_BlanksBeforeUnquotedName", L"    E2eWork %P   ", kExpectedNotQuoted},
                      Refusal{"NotQuoted_TypographicQuotes", L"\u201CE2eWork\u201D %P", kExpectedNotQuoted},
                      Refusal{"EmptyDesktopName_TwoQuotes", L"\"\"", kExpectedEmptyDesktopName},
                      Refusal{"EmptyDesktopName_EmptyName", L"\"\" %P", kExpectedEmptyDesktopName},
                      Refusal{"EmptyDesktopName_BlankName", L"\"   \" %P", kExpectedEmptyDesktopName},
                      Refusal{"NoWinStaName_LeadingBackslash", L"\"\\E2eWork\" %P", kExpectedNoWinStaName},
                      Refusal{"NoWinStaName_LoneBackslash", L"\"\\\" %P", kExpectedNoWinStaName},
                      Refusal{"NoWinStaName_LoneBackslashNoCommand", L"\"\\\"", kExpectedNoWinStaName},
                      Refusal{"NoDesktopName_TrailingBackslash", L"\"WinSta0\\\" %P", kExpectedNoDesktopName},
                      Refusal{"TooManyBackslashes_TwoBackslashes", L"\"A\\B\\C\" %P", kExpectedTooManyBackslashes},
                      Refusal{"TooManyBackslashes_DoubledBackslash", L"\"A\\\\B\" %P", kExpectedTooManyBackslashes},
                      Refusal{"TooManyBackslashes_SecondBackslashLast", L"\"A\\B\\\" %P", kExpectedTooManyBackslashes},
                      Refusal{"EmptyCommandLine_BareNameOnly", L"\"E2eWork\"", kExpectedEmptyCommandLine},
                      Refusal{"EmptyCommandLine_FullNameOnly", L"\"WinSta0\\E2eWork\"   ", kExpectedEmptyCommandLine},
                      Refusal{"EmptyCommandLine_QuestionMarkOnly", L"\"?\"", kExpectedEmptyCommandLine}),
    harness::CaseName{});

}  // namespace
}  // namespace e2e
