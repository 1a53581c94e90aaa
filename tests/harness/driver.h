#pragma once
// Drives the real Launcher.exe from outside, as a person at the screen would:
// starts it with a raw command line, finds its windows, reads and answers its
// message boxes, types and clicks, and reads what the probe it started wrote.
//
// Every wait here is bounded; a fault in the launcher shows up as a failed
// expectation, never as a hung test run.
#include "text.h"

#include <windows.h>

#include <cwchar>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace harness {

// How a run of the launcher ends.
inline constexpr DWORD kExitDone = 0;  // started, or usage shown
inline constexpr DWORD kExitArgumentRejected = 1;
inline constexpr DWORD kExitProcessNotCreated = 2;
inline constexpr DWORD kExitCancelled = 3;

inline constexpr DWORD kWindowTimeoutMs = 15000;
inline constexpr DWORD kExitTimeoutMs = 15000;
inline constexpr DWORD kReportTimeoutMs = 15000;

// The longest command line, without its terminating NUL, that CreateProcessW
// hands to a new process whole. Wine cuts a longer one to this length without
// failing, so LauncherRun refuses to start the launcher with one: no test may
// work on a text that the launcher never saw.
inline constexpr size_t kLongestCommandLine = 32766;

// Polls every few milliseconds until done() holds or the time is up.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs);

std::optional<std::string> ReadWholeFile(const std::wstring& path);
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
// The name of a window station or desktop; empty when it cannot be read.
std::wstring UserObjectName(HANDLE object);
// The window station of this process, which a bare desktop name completes to.
std::wstring OwnStationName();
// Whether the tests run under Wine. Where Wine and Windows differ
// (docs/WINDOWS.md), a test holds Wine to what it is known to do and accepts
// what Windows does.
bool OnWine();
// A function of a system DLL already loaded, which older systems may lack:
// null then, so that the test executable still starts there.
template <typename Function>
Function LoadedFunction(const wchar_t* module, const char* name) {
    const HMODULE loaded = GetModuleHandleW(module);
    return loaded == nullptr ? nullptr
                             : reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(loaded, name)));
}
// The guard of an image's stack protection, the load configuration's
// SecurityCookie: where it is, relative to the image's base, its size (that
// of an address of the image), the value that the file holds there, and where
// in the file the load configuration names it.
struct ImageCookie {
    DWORD rva = 0;
    DWORD size = 0;
    unsigned long long fileValue = 0;
    size_t fieldOffset = 0;
};
// Read from the file; nothing where it has no load configuration or no cookie.
std::optional<ImageCookie> SecurityCookieOf(const std::wstring& imagePath);
// The cookie's value in a running process of that image, its first module.
std::optional<unsigned long long> RunningCookie(DWORD pid, const ImageCookie& cookie);
// The major number of Wine's version (at least 1 under Wine); 0 outside Wine.
int WineMajorVersion();
// Whether this process, and the launcher it starts, may name a new window
// station. Windows allows it only to members of Administrators, so to an
// elevated process (TokenElevation); Wine allows it to any.
bool MayNameNewStation();
// The reason a test that must make a window station of its own gives for
// being skipped where MayNameNewStation() does not hold.
inline constexpr const char* kNeedsElevation =
    "naming a new window station takes an elevated process on Windows (Run as administrator)";

// The full path of this program, however long.
std::wstring ModulePath();
// Where the test executable lies; Launcher.exe and probe.exe are built next to it.
std::wstring ExeDirectory();
// The Launcher.exe built next to the tests, or the one that the environment
// variable LAUNCHER_E2E_LAUNCHER names by its full path: the release is tested
// on Windows as packed, with tests that MSVC built.
std::wstring LauncherPath();
std::wstring ProbePath();

// A name nobody else uses: window stations and desktops outlive a test run
// for as long as a process or a handle keeps them.
std::wstring UniqueName(std::wstring_view stem);

// Every window station, and the desktops of one, in the order in which the
// system enumerates them; empty when they cannot be listed.
std::vector<std::wstring> WindowStations();
std::vector<std::wstring> DesktopsOf(const std::wstring& station);

// Creates a window station with desktops in it and holds them, so that they
// stay in existence (and listed) while a test uses them.
class HeldStation {
public:
    HeldStation(const std::wstring& name, const std::vector<std::wstring>& desktops);
    HeldStation(const HeldStation&) = delete;
    HeldStation& operator=(const HeldStation&) = delete;
    ~HeldStation();
    bool ok() const;

private:
    HWINSTA station_ = nullptr;
    std::vector<HDESK> desktops_;
};

// Creates desktops in the test's own window station and holds them.
class HeldDesktops {
public:
    explicit HeldDesktops(const std::vector<std::wstring>& names);
    HeldDesktops(const HeldDesktops&) = delete;
    HeldDesktops& operator=(const HeldDesktops&) = delete;
    ~HeldDesktops();
    bool ok() const;

private:
    std::vector<HDESK> desktops_;
};

// A fresh directory under the temporary directory, removed with what it holds.
class TempDir {
public:
    explicit TempDir(std::wstring_view leaf = L"e2e");
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::wstring& path() const { return path_; }
    std::wstring File(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

private:
    std::wstring path_;
};

// Sets a value under HKEY_CURRENT_USER for the processes started from now on,
// and puts the old one back at the end. Wine reads its screen resolution
// (Control Panel\Desktop, LogPixels) and whether the window manager or Wine
// itself draws the window frames (Software\Wine\X11 Driver, Decorated) from
// there when a process starts. Windows reads the resolution only when the user
// signs in, so there a dialog keeps the screen's.
class UserSetting {
public:
    UserSetting(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size);
    UserSetting(const UserSetting&) = delete;
    UserSetting& operator=(const UserSetting&) = delete;
    ~UserSetting();

private:
    HKEY key_ = nullptr;
    std::wstring name_;
    DWORD oldType_ = 0;
    std::vector<BYTE> old_;
    bool had_ = false;
};

class ScreenDpi : public UserSetting {
public:
    explicit ScreenDpi(DWORD dpi) : UserSetting(L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, sizeof dpi) {}
};

// Without a window manager nobody would draw the title bar and its close box:
// Wine draws them itself when told that the frames are its own business.
class WineDrawsFrames : public UserSetting {
public:
    WineDrawsFrames() : UserSetting(L"Software\\Wine\\X11 Driver", L"Decorated", REG_SZ, L"N", 2 * sizeof(wchar_t)) {}
};

// What probe.exe found out about itself: station, desktop, startupDesktop,
// currentDirectory, mark, commandLine.
using ProbeReport = std::map<std::wstring, std::wstring>;
std::optional<ProbeReport> WaitForReport(const std::wstring& path, DWORD timeoutMs = kReportTimeoutMs);

struct RunOptions {
    std::wstring exe = LauncherPath();
    // Goes after the quoted executable path exactly as given: nothing is
    // quoted, escaped or added, not even a separating blank.
    std::wstring rawArguments;
    std::wstring currentDirectory;                                // empty: the test's own
    std::vector<std::pair<std::wstring, std::wstring>> extraEnv;  // on top of the test's own
    std::wstring desktop;                                         // lpDesktop; empty: the test's own

    RunOptions& Exe(std::wstring path) {
        exe = std::move(path);
        return *this;
    }
    RunOptions& Arguments(std::wstring raw) {
        rawArguments = std::move(raw);
        return *this;
    }
    RunOptions& In(std::wstring directory) {
        currentDirectory = std::move(directory);
        return *this;
    }
    RunOptions& Env(std::wstring name, std::wstring value) {
        extraEnv.emplace_back(std::move(name), std::move(value));
        return *this;
    }
    RunOptions& OnDesktop(std::wstring fullName) {
        desktop = std::move(fullName);
        return *this;
    }
};

// The launcher's whole command line for these options: its quoted path, then
// the raw arguments.
std::wstring CommandLineOf(const RunOptions& options);

// One run of the launcher, inside a job object so that whatever it starts is
// counted, and killed when the run object goes.
class LauncherRun {
public:
    explicit LauncherRun(const RunOptions& options);
    LauncherRun(const LauncherRun&) = delete;
    LauncherRun& operator=(const LauncherRun&) = delete;
    ~LauncherRun();

    bool started() const { return process_ != nullptr; }
    // Why the launcher was not started: the system's error, or
    // ERROR_FILENAME_EXCED_RANGE for a command line over kLongestCommandLine.
    DWORD startError() const { return startError_; }
    DWORD pid() const { return pid_; }
    std::optional<DWORD> WaitForExit(DWORD timeoutMs = kExitTimeoutMs);
    // The first visible top-level window of the launcher; null when it ends
    // first or the time is up.
    HWND WaitForWindow(DWORD timeoutMs = kWindowTimeoutMs) const;
    std::vector<HWND> VisibleWindows() const;
    // Processes created inside the job besides the launcher itself.
    DWORD ProcessesStarted() const;
    // The ids of those of them that are still running.
    std::vector<DWORD> RunningStarted() const;
    // Waits until every process that the launcher started has ended, by the
    // ids of those still running: Wine's desktop process of a new station
    // stays in the job for as long as the station lives, and the job's count
    // of active processes cannot tell it from them.
    bool WaitForAllToEnd(DWORD timeoutMs);

private:
    // Reads the job's news of new processes, and sets Wine's desktop
    // processes apart: Wine 10 starts the one of a new station from inside the
    // first program that connects to it, so it joins the job without the
    // launcher having started it.
    void NoteNewProcesses() const;
    // The processes of the job now: the ids of those that the launcher
    // started, and how many are Wine's desktop processes.
    struct JobProcesses {
        std::vector<DWORD> started;
        DWORD wineDesktops = 0;
    };
    JobProcesses Running() const;
    // The job's counts of processes; nothing without a job.
    std::optional<JOBOBJECT_BASIC_ACCOUNTING_INFORMATION> Accounting() const;

    HANDLE job_ = nullptr;
    HANDLE port_ = nullptr;
    HANDLE process_ = nullptr;
    DWORD startError_ = ERROR_SUCCESS;
    DWORD pid_ = 0;
    mutable std::vector<DWORD> wineDesktopProcesses_;
};

enum class IconKind { Unknown, Error, Information };
const char* IconName(IconKind kind);
// An icon drawn through its handle into a bitmap of this process, on white,
// at its own size: 32-bit BGRA pixels, top row first; empty when the icon
// cannot be read, as under Wine from another process than the one that
// loaded it.
struct IconPicture {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;
};
IconPicture PictureOf(HICON icon);
// The error icon (a red disc), the information icon (a blue one), or neither.
IconKind IconKindOf(HICON icon);

struct MessageBoxView {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
    IconKind icon = IconKind::Unknown;
    std::vector<int> buttonIds;
};

inline std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// SendMessage to another process's window, bounded; -1 when it does not answer.
LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// Ask with lParam pointing at the data, held at one address in both
// processes. The system carries what lParam points at across processes for
// the messages that it knows to carry (WM_SETTEXT, WM_GETTEXT and the like)
// and, for the others, lets the receiver read the address in its own memory;
// whether WM_DPICHANGED is among the first on Windows is documented nowhere
// (Wine passes the address as it is). With the data at the same address here
// and there, the receiver reads the same either way. -1 when no such address
// can be found or the window does not answer.
LRESULT AskWithData(HWND window, UINT message, WPARAM wParam, const void* data, size_t size);
std::wstring ClassOf(HWND window);
std::wstring TextOf(HWND window);  // WM_GETTEXT, bounded
// Empty unless the window is a message box (a #32770 with the text static).
std::optional<MessageBoxView> ReadMessageBox(HWND window);
void PressOk(HWND box);
// Waits until the window is hidden or gone; false when the time is up first.
bool WaitUntilGone(HWND window, DWORD timeoutMs = kWindowTimeoutMs);
// The text of a message box, without looking at its icon: quick enough to
// read many boxes at once. Empty for a window that is no message box.
std::wstring MessageTextOf(HWND box);

// Runs the launcher to its end, answering each message box with OK, and lets
// whatever it started finish too.
struct Outcome {
    std::vector<MessageBoxView> boxes;
    std::optional<DWORD> exitCode;  // empty: it did not end in time
    DWORD processesStarted = 0;
    std::vector<std::wstring> otherWindows;  // captions of windows that were no message box
};
Outcome RunToEnd(const RunOptions& options);
// Whether a run ended as one on Windows does that must name a new window
// station without elevation: one failure message, for ERROR_ACCESS_DENIED,
// exit code 2, nothing started.
bool RefusedNewStation(const Outcome& outcome);

// A run that is to start the probe: the outcome, the probe's report when the
// launcher ended with kExitDone, and the mark that the launcher's environment
// carried, which the probe reports when it inherited that environment.
struct ProbeRun {
    Outcome outcome;
    std::optional<ProbeReport> report;
    std::wstring mark;
};
// Sets PROBE_OUT to reportPath and LAUNCHER_E2E_MARK to a fresh mark, and
// runs the launcher to its end.
ProbeRun RunProbe(RunOptions options, const std::wstring& reportPath);
// A field of the report as UTF-8; a text in angle brackets, which no real
// value of these tests is, when there is no report or no such field.
std::string ReportField(const std::optional<ProbeReport>& report, const wchar_t* key);

// The rows of a list box of another process, read with LB_GETTEXT.
std::vector<std::wstring> ListBoxRows(HWND list);
// The first child window of the class (compared without case) and, unless
// text is empty, with that text.
HWND ChildWindow(HWND parent, const std::wstring& className, const std::wstring& text = {});
// The width of the window's icon (ICON_SMALL or ICON_BIG), through the
// system's own handle; 0 when it has none, or when it cannot be read, as
// under Wine from another process than the one that loaded it.
int IconWidth(HWND window, WPARAM which);
// The name that Microsoft Active Accessibility gives the window's client
// object, as a screen reader asks for it; empty when there is none.
std::wstring AccessibleName(HWND window);

// Real input, through the system's input queue.
bool BringToFront(HWND window);
void TapKey(WORD key);
void Chord(WORD modifier, WORD key);
void MoveMouse(POINT screen);
void Click(POINT screen);
void DoubleClick(POINT screen);
POINT CentreOf(const RECT& screenRect);

// A rectangle of the screen as 32-bit BGRA pixels, top row first.
std::vector<DWORD> CaptureScreen(const RECT& rect);
// Writes what the screen shows in the rectangle, or under the window, as a
// PNG file.
bool SaveScreenPicture(const RECT& rect, const std::wstring& path);
bool SaveWindowPicture(HWND window, const std::wstring& path);

}  // namespace harness
