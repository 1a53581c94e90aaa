// Starts a program with exactly the argument text that the environment
// variable LAUNCHER_ARGS holds, waits for it and returns its exit code. Wine
// rebuilds a Windows command line from Unix arguments and escapes every quote
// on the way, so a text such as "Work" notepad.exe needs this to arrive raw.
//
//   LAUNCHER_ARGS='"Work" notepad.exe' wine rawrun.exe Launcher.exe
#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        return 120;
    }
    std::wstring arguments(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"LAUNCHER_ARGS", arguments.data(), 32768);
    arguments.resize(length < 32768 ? length : 0);
    std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    SetEnvironmentVariableW(L"LAUNCHER_ARGS", nullptr);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return 121;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}
