// The floors that the launcher's start is measured against. Built four ways
// from this one source:
//   floorBare        the CreateProcessA that the launcher ends with, and no
//                    more: lpDesktop WinSta0\<name>, the same flags, the
//                    current directory;
//   floorConformant  the same, after what the launcher cannot leave out before
//                    it: the common controls, the name of its own window
//                    station, opening or creating the station and the desktop;
//   floorManifest    floorConformant carrying the launcher's manifest;
//   floorSteps       floorManifest taking the time after each step. It loads
//                    its DLLs itself, so that loading each is a step of its
//                    own and not hidden in the process's start: advapi32 (which
//                    the launcher needs for its App Paths check), user32 and
//                    comctl32. (The App Paths check itself is timed by the
//                    driver: the support library would bring user32 in.)
// The argument text is the launcher's: "Name" CommandLine.
#include "benchShared.h"

#include <windows.h>

#include <cstring>
#include <string>

#ifdef FLOOR_CONFORMANT
#include <commctrl.h>
#endif

namespace {

#ifdef FLOOR_STEPS
LONGLONG marks[8];
void Mark(BenchMark mark) { marks[mark] = BenchNow(); }
#else
void Mark(BenchMark) {}
#endif

const char* SkipBlanks(const char* text) {
    while (*text == ' ' || *text == '\t') {
        ++text;
    }
    return text;
}

// Splits the argument text into the name between the quotes and what follows.
bool Split(std::string& name, std::string& commandLine) {
    const char* text = GetCommandLineA();
    if (*text == '"') {
        text = strchr(text + 1, '"');
        text = text == nullptr ? "" : text + 1;
    } else {
        while (*text != '\0' && *text != ' ' && *text != '\t') {
            ++text;
        }
    }
    text = SkipBlanks(text);
    if (*text != '"') {
        return false;
    }
    const char* close = strchr(text + 1, '"');
    if (close == nullptr) {
        return false;
    }
    name.assign(text + 1, close);
    commandLine = SkipBlanks(close + 1);
    return !name.empty() && !commandLine.empty();
}

#ifdef FLOOR_CONFORMANT
#define USER32_CALLS(X)          \
    X(GetProcessWindowStation)   \
    X(GetUserObjectInformationA) \
    X(OpenWindowStationA)        \
    X(CreateWindowStationA)      \
    X(SetProcessWindowStation) X(OpenDesktopA) X(CreateDesktopA) X(CloseDesktop) X(CloseWindowStation)

struct User32 {
#define DECLARE(name) decltype(&::name) name;  // NOLINT(bugprone-macro-parentheses): a declaration
    USER32_CALLS(DECLARE)
#undef DECLARE
};

#ifdef FLOOR_STEPS
template <typename Function>
Function Resolve(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

User32 LoadUser32() {
    const HMODULE module = LoadLibraryW(L"user32.dll");
    User32 api{};
#define RESOLVE(name) api.name = Resolve<decltype(&::name)>(module, #name);
    USER32_CALLS(RESOLVE)
#undef RESOLVE
    return api;
}

void InitCommonControlsOnce() {
    Resolve<decltype(&::InitCommonControls)>(LoadLibraryW(L"comctl32.dll"), "InitCommonControls")();
}
#else
User32 LoadUser32() {
#define TAKE(name) &::name,
    return User32{USER32_CALLS(TAKE)};
#undef TAKE
}

void InitCommonControlsOnce() { InitCommonControls(); }
#endif

std::string OwnStationName(const User32& api) {
    const HWINSTA own = api.GetProcessWindowStation();
    DWORD needed = 0;
    char probe = '\0';
    api.GetUserObjectInformationA(own, UOI_NAME, &probe, 1, &needed);
    std::string name(needed + 1, '\0');
    if (needed == 0 || !api.GetUserObjectInformationA(own, UOI_NAME, name.data(), needed, &needed)) {
        return {};
    }
    name.resize(strlen(name.c_str()));
    return name;
}
#endif

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Mark(kEntry);
#ifdef FLOOR_STEPS
    LoadLibraryW(L"advapi32.dll");
#endif
    Mark(kAdvapi32);
#ifdef FLOOR_CONFORMANT
    const User32 api = LoadUser32();
    Mark(kUser32);
    InitCommonControlsOnce();
#endif
    Mark(kCommonControls);

    std::string name;
    std::string commandLine;
    if (!Split(name, commandLine)) {
        return 1;
    }
#ifdef FLOOR_CONFORMANT
    const std::string stationName = OwnStationName(api);
    Mark(kStationName);
    const HWINSTA saved = api.GetProcessWindowStation();
    HWINSTA station = api.OpenWindowStationA(const_cast<char*>(stationName.c_str()), FALSE, 0x109);
    if (station == nullptr) {
        station = api.CreateWindowStationA(stationName.c_str(), 0, 0x109, nullptr);
    }
    HDESK desktop = nullptr;
    if (station != nullptr && api.SetProcessWindowStation(station)) {
        desktop = api.OpenDesktopA(name.c_str(), 0, FALSE, 0x142);
        if (desktop == nullptr) {
            desktop = api.CreateDesktopA(name.c_str(), nullptr, nullptr, 0, 0x142, nullptr);
        }
        api.SetProcessWindowStation(saved);
    }
    std::string fullName = stationName + "\\" + name;
#else
    std::string fullName = "WinSta0\\" + name;
#endif
    Mark(kOpened);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = fullName.data();
    char directory[MAX_PATH + 1] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    PROCESS_INFORMATION process{};
    const BOOL created =
        CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                       CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, nullptr, directory, &startup, &process);
    Mark(kCreated);
    if (created) {
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
#ifdef FLOOR_CONFORMANT
    if (desktop != nullptr) {
        api.CloseDesktop(desktop);
    }
    if (station != nullptr) {
        api.CloseWindowStation(station);
    }
#endif
#ifdef FLOOR_STEPS
    if (BenchShared* shared = OpenBenchShared()) {
        for (int mark = kEntry; mark <= kCreated; ++mark) {
            shared->marks[mark] = marks[mark];
        }
        UnmapViewOfFile(shared);
    }
#endif
    return created ? 0 : 2;
}
