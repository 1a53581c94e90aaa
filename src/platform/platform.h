#pragma once
// The seam between the launcher and the system: every call of the window
// system, the process functions and the message box that the modules make goes
// through Platform, so that a test can stand in for the system, record the
// calls in order, and make any of them fail.
#include <windows.h>

#include <string>

class Platform {
public:
    Platform() = default;
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;
    virtual ~Platform() = default;

    // The process and its environment.
    // Where the system looks for the DLLs that it loads on the process's
    // behalf; FALSE where the system cannot narrow it (Windows 7 without
    // KB2533623).
    virtual BOOL SetDefaultDllDirectories(DWORD directories) = 0;
    virtual std::wstring CommandLine() = 0;
    virtual std::wstring ModuleFileName() = 0;
    virtual void InitCommonControls() = 0;
    virtual int ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT style) = 0;
    [[noreturn]] virtual void ExitProcess(UINT exitCode) = 0;

    // Window stations and desktops (user32, ANSI forms).
    virtual HWINSTA GetProcessWindowStation() = 0;
    virtual BOOL GetUserObjectInformationA(HANDLE object, int index, void* info, DWORD length, DWORD* needed) = 0;
    virtual HWINSTA OpenWindowStationA(const char* name, BOOL inherit, ACCESS_MASK access) = 0;
    virtual HWINSTA CreateWindowStationA(const char* name, DWORD flags, ACCESS_MASK access,
                                         SECURITY_ATTRIBUTES* attributes) = 0;
    virtual BOOL SetProcessWindowStation(HWINSTA station) = 0;
    virtual HDESK OpenDesktopA(const char* name, DWORD flags, BOOL inherit, ACCESS_MASK access) = 0;
    virtual HDESK CreateDesktopA(const char* name, const char* device, DEVMODEA* mode, DWORD flags, ACCESS_MASK access,
                                 SECURITY_ATTRIBUTES* attributes) = 0;
    virtual BOOL CloseWindowStation(HWINSTA station) = 0;
    virtual BOOL CloseDesktop(HDESK desktop) = 0;
    virtual BOOL EnumWindowStationsA(WINSTAENUMPROCA callback, LPARAM parameter) = 0;
    virtual BOOL EnumDesktopsA(HWINSTA station, DESKTOPENUMPROCA callback, LPARAM parameter) = 0;

    // Processes (kernel32, ANSI forms).
    virtual BOOL CreateProcessA(const char* applicationName, char* commandLine, SECURITY_ATTRIBUTES* processAttributes,
                                SECURITY_ATTRIBUTES* threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                                void* environment, const char* currentDirectory, STARTUPINFOA* startupInfo,
                                PROCESS_INFORMATION* processInformation) = 0;
    virtual DWORD GetLastError() = 0;
    virtual BOOL CloseHandle(HANDLE handle) = 0;
    virtual HANDLE GetCurrentProcess() = 0;
    virtual BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, HANDLE* target,
                                 DWORD access, BOOL inherit, DWORD options) = 0;

    // The process's token (advapi32).
    virtual BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) = 0;
    virtual BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, void* info, DWORD length,
                                     DWORD* needed) = 0;

    // The ANSI code page and the conversion into it (kernel32).
    virtual UINT GetACP() = 0;
    virtual int WideCharToMultiByte(UINT codePage, DWORD flags, const wchar_t* text, int length, char* bytes, int size,
                                    const char* defaultChar, BOOL* usedDefaultChar) = 0;

    // Dialogs (user32).
    virtual HWND CreateDialogIndirectParamW(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND owner,
                                            DLGPROC dialogProc, LPARAM initParam) = 0;
};

// The platform in force: the real system unless a PlatformOverride is alive.
Platform& platform();

// Puts another platform in force for its own lifetime (tests only).
class PlatformOverride {
public:
    explicit PlatformOverride(Platform& replacement);
    PlatformOverride(const PlatformOverride&) = delete;
    PlatformOverride& operator=(const PlatformOverride&) = delete;
    ~PlatformOverride();

private:
    Platform* previous_;
};
