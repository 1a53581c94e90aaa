#pragma once
// A recording stand-in for the system. It hands out numbered handles, writes
// every call into a log as readable text (names as the UTF-8 bytes that the
// ANSI calls carry, masks and flags in hex), can make any call fail, and keeps
// count of what is still open. Misuse that the real system would punish later,
// or never report at all (closing a handle twice, closing the process's own
// window station), is collected as a fault for the test to check.
#include "platform.h"
#include "text.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Thrown by ExitProcess, so that a test can watch a run end.
struct ExitProcessCalled {
    UINT code;
};

struct MessageBoxShown {
    std::wstring text;
    std::wstring caption;
    UINT style;
};

// What CreateProcessA received; the pointers that must be null are kept as
// flags, the texts as copies.
struct ProcessCreation {
    bool applicationNameNull;
    std::string commandLine;
    bool processAttributesNull;
    bool threadAttributesNull;
    BOOL inheritHandles;
    DWORD creationFlags;
    bool environmentNull;
    std::optional<std::string> currentDirectory;
    STARTUPINFOA startupInfo;
    std::optional<std::string> desktop;
};

// What CreateWindowStationA received as its security: whether attributes came
// at all, their fields, and the DACL of their descriptor as bytes (nullopt when
// the descriptor has none, or there is no descriptor).
struct StationSecurity {
    std::string name;
    bool attributesNull;
    DWORD length = 0;
    BOOL inherit = FALSE;
    std::optional<std::vector<BYTE>> dacl;
};

// One conversion into the ANSI code page: the code page asked for, the flags,
// and whether the caller asked if a default character was used.
struct AnsiConversion {
    UINT codePage;
    DWORD flags;
    bool asksUsedDefault;
};

// A name delivered by an enumeration; nullopt delivers a null address.
using EnumeratedName = std::optional<std::string>;

class FakePlatform final : public Platform {
public:
    FakePlatform();

    // --- What the fake system looks like -------------------------------
    // Only an elevated process may name a new window station: otherwise
    // CreateWindowStationA with a name fails with ERROR_ACCESS_DENIED.
    bool elevated = false;
    // The default DACL of the process's token, as GetTokenInformation gives
    // it (an ACL for SYSTEM and a user); nullopt for a token without one.
    std::optional<std::vector<BYTE>> tokenDefaultDacl;
    // The ANSI code page: what GetACP gives and what CP_ACP converts with
    // (through the real conversion tables of that code page).
    UINT codePage = CP_UTF8;
    std::wstring commandLine = L"Launcher.exe";
    std::wstring moduleFileName = L"C:\\Program Files\\Launcher\\Launcher.exe";
    std::string ownWinStaName = "WinSta0";
    // GetUserObjectInformationA counts and delivers names (of two bytes or
    // more) without their terminating NUL, as a name that fills the whole
    // buffer would arrive.
    bool namesWithoutNul = false;
    std::vector<EnumeratedName> windowStations;
    std::map<std::string, std::vector<EnumeratedName>> desktopsOf;
    // When set, a successful CreateProcessA hands out these two handles
    // (process, thread) instead of fresh ones; they are not counted as open.
    std::optional<std::pair<HANDLE, HANDLE>> processHandles;

    // Named window stations and desktops live as on Windows: an object exists
    // while some process holds a handle to it, and its name is free again once
    // the last one closes. Unless everyNameExists, only the process's own
    // window station and what Exists() names can be opened, and nothing is
    // created on demand. With everyNameExists (the default), opening an
    // unknown name finds an object that another process holds for good, for
    // the tests that are about the calls rather than about lifetimes.
    bool everyNameExists = true;
    // A window station, or a desktop in one, that another process holds.
    void Exists(const std::string& station, const std::string& desktop = {});
    // The same, but its security refuses this process: opening it, or
    // creating it, which opens an existing object, fails with
    // ERROR_ACCESS_DENIED. A started process still connects to it.
    void Protect(const std::string& station, const std::string& desktop = {});
    // What Windows refuses whatever exists (names in UTF-16 units): a desktop
    // name with a backslash in it, ERROR_BAD_PATHNAME, since a desktop's name
    // is the last part of its object path; a name longer than an object name
    // can be, ERROR_FILENAME_EXCED_RANGE; a desktop beyond what the desktop
    // heap holds, ERROR_NOT_ENOUGH_MEMORY. Only while !everyNameExists.
    size_t longestName = 32767;
    std::optional<int> desktopHeapRoom;  // desktops that can still be created
    bool IsAlive(const std::string& station, const std::string& desktop = {}) const;

    // The processes that CreateProcessA started. Windows connects a process
    // to its window station and desktop at its first call into USER32, by the
    // name in lpDesktop, long after CreateProcessA has returned; a name that
    // no living object bears ends the process while it starts, with
    // STATUS_DLL_INIT_FAILED. ConnectStartedProcesses() plays that part for
    // every process not connected yet; EndStartedProcesses() ends them all,
    // which closes every handle they held.
    void ConnectStartedProcesses();
    void EndStartedProcesses();
    // One entry per started process: "running on S\D", "ended 0xc0000142",
    // "ended", or "starting" before it has connected.
    std::vector<std::string> StartedProcesses() const;

    // Makes calls of `function` fail with lastError: every call, or only the
    // occurrence-th (counted from 1), and only calls about `subject` when
    // given (the object's name, the station enumerated, the command line).
    // A failing enumeration still calls back with its names first.
    void Fail(std::string function, DWORD lastError = ERROR_ACCESS_DENIED, int occurrence = 0,
              std::optional<std::string> subject = std::nullopt);

    // --- What happened ---------------------------------------------------
    const std::vector<std::string>& Calls() const { return calls_; }
    // The calls of the given functions only, or (among = false) of all others.
    std::vector<std::string> CallsOf(std::initializer_list<std::string_view> functions, bool among = true) const;
    std::vector<std::string> CallsExcept(std::initializer_list<std::string_view> functions) const {
        return CallsOf(functions, false);
    }
    void ClearCalls() { calls_.clear(); }
    // Writes a call made outside the seam (a stand-in for the support
    // library) into the same log, so that tests see one order of events.
    void Note(std::string call) { calls_.push_back(std::move(call)); }
    const std::vector<MessageBoxShown>& MessageBoxes() const { return messageBoxes_; }
    const std::vector<ProcessCreation>& ProcessCreations() const { return processCreations_; }
    const std::vector<StationSecurity>& StationCreations() const { return stationCreations_; }
    // Conversions are not written into the call log: they are no call of the
    // window system, and would only crowd its order.
    const std::vector<AnsiConversion>& AnsiConversions() const { return ansiConversions_; }
    const std::vector<std::string>& Faults() const { return faults_; }

    // Handles handed out and not yet closed; the process's own window
    // station is not among them.
    int OpenHandles() const { return static_cast<int>(open_.size()); }
    HWINSTA OwnWinSta() const { return own_; }
    HWINSTA CurrentWinSta() const { return current_; }
    // The label under which the log shows a handle ("own", "winsta3", ...).
    std::string Label(HANDLE handle) const;
    // The window station that was the process's when a desktop was obtained.
    std::string StationOfDesktop(HDESK desktop) const;

    // --- Platform ---------------------------------------------------------
    BOOL SetDefaultDllDirectories(DWORD directories) override;
    std::wstring CommandLine() override;
    std::wstring ModuleFileName() override;
    void InitCommonControls() override;
    int ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT style) override;
    [[noreturn]] void ExitProcess(UINT exitCode) override;
    HWINSTA GetProcessWindowStation() override;
    BOOL GetUserObjectInformationA(HANDLE object, int index, void* info, DWORD length, DWORD* needed) override;
    HWINSTA OpenWindowStationA(const char* name, BOOL inherit, ACCESS_MASK access) override;
    HWINSTA CreateWindowStationA(const char* name, DWORD flags, ACCESS_MASK access,
                                 SECURITY_ATTRIBUTES* attributes) override;
    BOOL SetProcessWindowStation(HWINSTA station) override;
    HDESK OpenDesktopA(const char* name, DWORD flags, BOOL inherit, ACCESS_MASK access) override;
    HDESK CreateDesktopA(const char* name, const char* device, DEVMODEA* mode, DWORD flags, ACCESS_MASK access,
                         SECURITY_ATTRIBUTES* attributes) override;
    BOOL CloseWindowStation(HWINSTA station) override;
    BOOL CloseDesktop(HDESK desktop) override;
    BOOL EnumWindowStationsA(WINSTAENUMPROCA callback, LPARAM parameter) override;
    BOOL EnumDesktopsA(HWINSTA station, DESKTOPENUMPROCA callback, LPARAM parameter) override;
    BOOL CreateProcessA(const char* applicationName, char* childCommandLine, SECURITY_ATTRIBUTES* processAttributes,
                        SECURITY_ATTRIBUTES* threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                        void* environment, const char* currentDirectory, STARTUPINFOA* startupInfo,
                        PROCESS_INFORMATION* processInformation) override;
    DWORD GetLastError() override;
    BOOL CloseHandle(HANDLE handle) override;
    HANDLE GetCurrentProcess() override;
    BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, HANDLE* target, DWORD access,
                         BOOL inherit, DWORD options) override;
    BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) override;
    // Only TokenDefaultDacl: a TOKEN_DEFAULT_DACL followed by the ACL it
    // points to, with the size asked for first as Windows does.
    BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, void* info, DWORD length,
                             DWORD* needed) override;
    UINT GetACP() override;
    int WideCharToMultiByte(UINT codePage, DWORD flags, const wchar_t* text, int length, char* bytes, int size,
                            const char* defaultChar, BOOL* usedDefaultChar) override;
    // Always fails: a real dialog needs a real window, which is the
    // end-to-end tests' business.
    HWND CreateDialogIndirectParamW(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND owner,
                                    DLGPROC dialogProc, LPARAM initParam) override;

private:
    enum class Kind { WinSta, Desktop, Kernel };
    struct Entry {
        Kind kind;
        std::string label;
        std::string name;     // window stations and desktops
        std::string station;  // desktops: the process's window station when obtained
        int object = -1;      // window stations and desktops: index into objects_
    };
    // A named window station or desktop, counted by the handles of every
    // process; once dead it stays dead, and a new object takes the name.
    struct Object {
        Kind kind;
        int in;  // desktops: the window station they are in; -1 for stations
        std::string name;
        int handles = 0;
        bool heldForGood = false;  // by another process
        bool refusesUs = false;
        bool alive() const { return heldForGood || handles > 0; }
    };
    struct StartedProcess {
        HANDLE handle;  // the launcher's handle to it
        std::string desktop;
        std::vector<int> held;  // objects it holds a handle to
        std::string state;
    };
    struct FailRule {
        std::string function;
        DWORD lastError;
        int occurrence;
        std::optional<std::string> subject;
    };

    // Logs the call and tells whether a rule makes it fail, setting the last
    // error either way.
    bool Call(const char* function, std::initializer_list<std::string> arguments, const std::string& subject = {});
    HANDLE Issue(Kind kind, const char* prefix, std::string name, int object = -1);
    // The living window station of that name, or the living desktop of that
    // name in the window station `in` (an index into objects_); -1 if none.
    int FindAlive(Kind kind, int in, const std::string& name) const;
    // The same, but the process's own window station always exists, and so
    // does any name while everyNameExists.
    int Find(Kind kind, int in, const std::string& name);
    int Make(Kind kind, int in, const std::string& name, bool heldForGood);
    void Release(int object);
    // The object behind the process's window station.
    int CurrentStation();
    // Opens the named object for the calling process: a new handle to a
    // living object, or null (ERROR_FILE_NOT_FOUND); create makes a missing
    // one. Windows' refusals come first.
    HANDLE OpenObject(Kind kind, const std::string& name, bool create);
    // The error with which Windows refuses the name itself, if it does.
    std::optional<DWORD> RefusedName(Kind kind, const std::string& name) const;
    // Whether handle is live and of the kind; records a fault if not.
    bool Expect(HANDLE handle, Kind kind, const char* function);
    BOOL Close(HANDLE handle, Kind kind, const char* function);
    std::string NameOf(HANDLE object) const;
    BOOL Enumerate(const std::vector<EnumeratedName>& names, NAMEENUMPROCA callback, LPARAM parameter, bool failing);

    std::vector<std::string> calls_;
    std::vector<MessageBoxShown> messageBoxes_;
    std::vector<ProcessCreation> processCreations_;
    std::vector<StationSecurity> stationCreations_;
    std::vector<AnsiConversion> ansiConversions_;
    std::vector<std::string> faults_;
    std::vector<FailRule> rules_;
    std::map<std::string, int> callCounts_;
    std::map<HANDLE, Entry> open_;
    std::map<HANDLE, std::string> closed_;
    std::vector<Object> objects_;
    std::vector<StartedProcess> started_;
    std::uintptr_t nextNumber_ = 1;
    HWINSTA own_;
    HWINSTA current_;
    DWORD lastError_ = 0;
};

// Hex as the log writes masks and flags: 0x109.
std::string Hex(std::uint64_t value);

// UTF-8 bytes of a wide text, whatever the active code page.
inline std::string Utf8(std::wstring_view text) { return harness::Narrow(text); }
