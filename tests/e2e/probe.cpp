// A stand-in for the program that the launcher starts: it writes down where it
// landed and what it inherited, as UTF-8 "key=value" lines, into the file that
// PROBE_OUT names. PROBE_HOLD_MS keeps it alive afterwards for that many
// milliseconds, so that its desktop stays in use (and listed) meanwhile.
//
// GUI subsystem, so that no console window appears; it opens no window either.
#include "driver.h"
#include "text.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

std::wstring Environment(const wchar_t* name) {
    std::wstring value(32767, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    value.resize(length < value.size() ? length : 0);
    return value;
}

// A name that cannot be read is marked, so that a failing test shows why.
std::wstring NameOf(HANDLE object) {
    const std::wstring name = harness::UserObjectName(object);
    return name.empty() ? L"<unreadable>" : name;
}

std::wstring CurrentDirectory() {
    std::wstring directory(GetCurrentDirectoryW(0, nullptr), L'\0');
    directory.resize(GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), directory.data()));
    return directory;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring out = Environment(L"PROBE_OUT");
    if (out.empty()) {
        return 2;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);

    std::wstring report;
    const auto field = [&report](const wchar_t* key, const std::wstring& value) {
        report += key;
        report += L'=';
        report += value;
        report += L'\n';
    };
    field(L"station", NameOf(GetProcessWindowStation()));
    field(L"desktop", NameOf(GetThreadDesktop(GetCurrentThreadId())));
    field(L"startupDesktop", startup.lpDesktop != nullptr ? startup.lpDesktop : L"<null>");
    field(L"currentDirectory", CurrentDirectory());
    field(L"mark", Environment(L"LAUNCHER_E2E_MARK"));
    field(L"commandLine", GetCommandLineW());

    // Written aside and renamed, so that a reader never sees half a report.
    const std::wstring partial = out + L".partial";
    if (!harness::WriteWholeFile(partial, harness::Narrow(report))) {
        return 3;
    }
    if (!MoveFileExW(partial.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return 4;
    }

    const std::wstring hold = Environment(L"PROBE_HOLD_MS");
    if (!hold.empty()) {
        Sleep(static_cast<DWORD>(wcstoul(hold.c_str(), nullptr, 10)));
    }
    return 0;
}
