// Runs the launcher where nobody sees the screen and tells what happened:
// each window that it shows is read from outside (a message box's icon and
// text, the chooser's list), printed, saved as a picture and closed; a
// program that it started is named and left running for a few seconds, then
// the whole screen is saved. Returns the launcher's exit code. tools/run uses
// it for `make run` without a display, tools/picture for the README's picture.
//
//   LAUNCHER_ARGS='"Work" notepad.exe' wine watchrun.exe Launcher.exe build/run [Desktop|Station\Desktop]...
//
// The names after the picture directory are desktops created and held while
// the launcher runs, so that the chooser has them in its list. Every wait is
// bounded, so the program ends whatever the launcher does; tools/run still
// cuts the whole run off after a time limit of its own.
//
// For the trace of the guard's targets (tests/resources/guard-trace), three
// settings in the environment: WATCHRUN_CHOOSE=1 answers the chooser with OK
// on the row that it selected itself, WATCHRUN_LAUNCHER_WINEDEBUG gives the
// launcher alone that WINEDEBUG, and WATCHRUN_HOLD_MS replaces the five
// seconds that a started program is left running.
#include "driver.h"
#include "text.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace harness;

namespace {

// Apart from the launcher's own exit codes.
constexpr int kExitBadArguments = 120;
constexpr int kExitNotStarted = 121;
constexpr int kExitNoEnd = 122;

constexpr int kMostWindows = 8;
constexpr DWORD kShowStartedMs = 5000;

void Print(const std::wstring& line) {
    const std::string bytes = Narrow(line + L"\n");
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void PrintIndented(const std::wstring& text) {
    for (const std::wstring& line : LinesOf(text)) {
        Print(L"    " + line);
    }
}

// The variable's value, removed from the environment that the launcher gets.
std::wstring TakeEnvironment(const wchar_t* name) {
    std::wstring value(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), 32768);
    value.resize(length < 32768 ? length : 0);
    SetEnvironmentVariableW(name, nullptr);
    return value;
}

// In front, so that the picture shows it whole and with its frame active.
void SavePicture(HWND window, const std::wstring& path) {
    BringToFront(window);
    Sleep(300);
    Print(SaveWindowPicture(window, path) ? L"  picture: " + path : L"  no picture could be taken of it");
}

// Closes a window of the launcher the way its user would; false when it stays.
bool Close(HWND window, WPARAM command) {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, static_cast<int>(command))));
    if (WaitUntilGone(window, 5000)) {
        return true;
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    return WaitUntilGone(window, 5000);
}

// Reads, prints, saves and closes one window; false when it would not close.
bool Answer(HWND window, int number, const std::wstring& pictures, bool choose) {
    const std::wstring picture = pictures + L"/window-" + std::to_wstring(number) + L".png";
    if (const std::optional<MessageBoxView> box = ReadMessageBox(window)) {
        Print(L"message box \"" + box->caption + L"\", icon: " + Widen(IconName(box->icon)));
        PrintIndented(box->text);
        SavePicture(window, picture);
        Print(L"  closed with OK");
        return Close(window, IDOK);
    }
    if (const HWND list = ChildWindow(window, L"ListBox")) {
        Print(L"dialog \"" + TextOf(window) + L"\", its list:");
        for (const std::wstring& row : ListBoxRows(list)) {
            Print(L"    " + row);
        }
        SavePicture(window, picture);
        Print(choose ? L"  answered with OK" : L"  closed with Cancel");
        return Close(window, choose ? IDOK : IDCANCEL);
    }
    Print(L"window " + ClassOf(window) + L" \"" + TextOf(window) + L"\"");
    SavePicture(window, picture);
    Print(L"  closed");
    return Close(window, IDCANCEL);
}

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};

std::wstring ImageName(DWORD pid) {
    const std::unique_ptr<void, HandleCloser> process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    std::wstring name(MAX_PATH, L'\0');
    DWORD size = MAX_PATH;
    if (process == nullptr || !QueryFullProcessImageNameW(process.get(), 0, name.data(), &size)) {
        return L"<a process>";
    }
    name.resize(size);
    return name;
}

struct Held {
    std::vector<std::unique_ptr<HeldStation>> stations;
    std::unique_ptr<HeldDesktops> own;
    bool ok = true;
};

// Each name as "Desktop" (in this process's window station) or
// "Station\Desktop".
Held Hold(const std::vector<std::wstring>& names) {
    Held held;
    std::vector<std::wstring> own;
    std::vector<std::pair<std::wstring, std::vector<std::wstring>>> stations;
    for (const std::wstring& name : names) {
        const size_t slash = name.find(L'\\');
        if (slash == std::wstring::npos) {
            own.push_back(name);
            continue;
        }
        const std::wstring station = name.substr(0, slash);
        auto found = std::find_if(stations.begin(), stations.end(), [&](const auto& s) { return s.first == station; });
        if (found == stations.end()) {
            stations.emplace_back(station, std::vector<std::wstring>{});
            found = stations.end() - 1;
        }
        found->second.push_back(name.substr(slash + 1));
    }
    held.own = std::make_unique<HeldDesktops>(own);
    held.ok = held.own->ok();
    for (const auto& [station, desktops] : stations) {
        held.stations.push_back(std::make_unique<HeldStation>(station, desktops));
        held.ok = held.ok && held.stations.back()->ok();
    }
    return held;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        Print(L"usage: watchrun.exe Launcher.exe picture-directory [desktop]...");
        return kExitBadArguments;
    }
    const std::wstring launcher = argv[1];
    const std::wstring pictures = argv[2];
    CreateDirectoryW(pictures.c_str(), nullptr);
    const Held held = Hold(std::vector<std::wstring>(argv + 3, argv + argc));
    if (!held.ok) {
        Print(L"watchrun: the desktops to list could not be created");
        return kExitBadArguments;
    }
    const WineDrawsFrames frames;
    // Wine starts the process behind the desktop (explorer.exe) for the first
    // window of a session; asked for here, it stays out of the launcher's job
    // and is not reported as a program that the launcher started.
    GetDesktopWindow();

    const std::wstring arguments = TakeEnvironment(L"LAUNCHER_ARGS");
    const bool choose = TakeEnvironment(L"WATCHRUN_CHOOSE") == L"1";
    const std::wstring winedebug = TakeEnvironment(L"WATCHRUN_LAUNCHER_WINEDEBUG");
    const std::wstring holdMs = TakeEnvironment(L"WATCHRUN_HOLD_MS");
    const DWORD hold = holdMs.empty() ? kShowStartedMs : static_cast<DWORD>(std::wcstoul(holdMs.c_str(), nullptr, 10));
    RunOptions options = RunOptions().Exe(launcher).Arguments(arguments.empty() ? L"" : L" " + arguments);
    if (!winedebug.empty()) {
        options.Env(L"WINEDEBUG", winedebug);
    }
    LauncherRun run(options);
    if (!run.started()) {
        Print(L"the launcher could not be started: " + SystemDescription(run.startError()));
        return kExitNotStarted;
    }
    for (int number = 1; number <= kMostWindows; ++number) {
        const HWND window = run.WaitForWindow();
        if (window == nullptr) {
            break;
        }
        if (!Answer(window, number, pictures, choose)) {
            Print(L"  it did not close");
            break;
        }
    }
    const std::optional<DWORD> exitCode = run.WaitForExit();
    if (!exitCode) {
        Print(L"the launcher did not end in time and was ended");
        return kExitNoEnd;
    }
    const std::vector<DWORD> started = run.RunningStarted();
    for (const DWORD pid : started) {
        Print(L"started: " + ImageName(pid) + L" (process " + std::to_wstring(pid) + L")");
    }
    if (!started.empty()) {
        Print(L"  left running for " + std::to_wstring(hold / 1000) + L" s, then ended with this run");
        Sleep(hold);
        const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        const std::wstring picture = pictures + L"/screen.png";
        Print(SaveScreenPicture(screen, picture) ? L"  the whole screen: " + picture
                                                 : L"  no picture could be taken of the screen");
    } else if (run.ProcessesStarted() > 0) {
        Print(L"started a process, which has ended already");
    }
    return static_cast<int>(*exitCode);
}
