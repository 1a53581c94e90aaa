// A stand-in for the program that the launcher starts: it writes down where it
// landed and what it inherited, as UTF-8 "key=value" lines, into the file that
// PROBE_OUT names. PROBE_HOLD_MS keeps it alive afterwards for that many
// milliseconds, so that its desktop stays in use (and listed) meanwhile.
//
// GUI subsystem, so that no console window appears; it opens no window either.
#include <windows.h>

#include <string>

namespace {

std::wstring Environment(const wchar_t* name) {
    std::wstring value(32767, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    value.resize(length < value.size() ? length : 0);
    return value;
}

std::wstring ObjectName(HANDLE object) {
    if (object == nullptr) {
        return L"<none>";
    }
    DWORD needed = 0;
    GetUserObjectInformationW(object, UOI_NAME, nullptr, 0, &needed);
    std::wstring name(needed / sizeof(wchar_t) + 1, L'\0');
    if (!GetUserObjectInformationW(object, UOI_NAME, name.data(), static_cast<DWORD>(name.size() * sizeof(wchar_t)),
                                   &needed)) {
        return L"<unreadable>";
    }
    name.resize(wcsnlen(name.c_str(), name.size()));
    return name;
}

std::wstring CurrentDirectory() {
    std::wstring directory(GetCurrentDirectoryW(0, nullptr), L'\0');
    directory.resize(GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), directory.data()));
    return directory;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
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
    field(L"station", ObjectName(GetProcessWindowStation()));
    field(L"desktop", ObjectName(GetThreadDesktop(GetCurrentThreadId())));
    field(L"startupDesktop", startup.lpDesktop != nullptr ? startup.lpDesktop : L"<null>");
    field(L"currentDirectory", CurrentDirectory());
    field(L"mark", Environment(L"LAUNCHER_E2E_MARK"));
    field(L"commandLine", GetCommandLineW());

    // Written aside and renamed, so that a reader never sees half a report.
    const std::wstring partial = out + L".partial";
    const HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 3;
    }
    const std::string bytes = Utf8(report);
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || written != bytes.size() || !MoveFileExW(partial.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return 4;
    }

    const std::wstring hold = Environment(L"PROBE_HOLD_MS");
    if (!hold.empty()) {
        Sleep(static_cast<DWORD>(wcstoul(hold.c_str(), nullptr, 10)));
    }
    return 0;
}
