#include "base.h"
#include "platform.h"

#include <windows.h>

#include <commctrl.h>
#include <string>

namespace {

class RealPlatform final : public Platform {
public:
    // Looked up, not imported, so that the launcher still starts on a
    // Windows 7 that lacks it.
    BOOL SetDefaultDllDirectories(DWORD directories) override {
        static const auto function = SystemFunction<BOOL(WINAPI*)(DWORD)>(L"kernel32.dll", "SetDefaultDllDirectories");
        return function != nullptr && function(directories);
    }

    std::wstring CommandLine() override { return ::GetCommandLineW(); }

    std::wstring ModuleFileName() override { return ExecutablePath(); }

    void InitCommonControls() override { ::InitCommonControls(); }

    int ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT style) override {
        return ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), style);
    }

    [[noreturn]] void ExitProcess(UINT exitCode) override { ::ExitProcess(exitCode); }

    HWINSTA GetProcessWindowStation() override { return ::GetProcessWindowStation(); }

    BOOL GetUserObjectInformationA(HANDLE object, int index, void* info, DWORD length, DWORD* needed) override {
        return ::GetUserObjectInformationA(object, index, info, length, needed);
    }

    HWINSTA OpenWindowStationA(const char* name, BOOL inherit, ACCESS_MASK access) override {
        return ::OpenWindowStationA(const_cast<char*>(name), inherit, access);
    }

    HWINSTA CreateWindowStationA(const char* name, DWORD flags, ACCESS_MASK access,
                                 SECURITY_ATTRIBUTES* attributes) override {
        return ::CreateWindowStationA(name, flags, access, attributes);
    }

    BOOL SetProcessWindowStation(HWINSTA station) override { return ::SetProcessWindowStation(station); }

    HDESK OpenDesktopA(const char* name, DWORD flags, BOOL inherit, ACCESS_MASK access) override {
        return ::OpenDesktopA(name, flags, inherit, access);
    }

    HDESK CreateDesktopA(const char* name, const char* device, DEVMODEA* mode, DWORD flags, ACCESS_MASK access,
                         SECURITY_ATTRIBUTES* attributes) override {
        return ::CreateDesktopA(name, device, mode, flags, access, attributes);
    }

    BOOL CloseWindowStation(HWINSTA station) override { return ::CloseWindowStation(station); }

    BOOL CloseDesktop(HDESK desktop) override { return ::CloseDesktop(desktop); }

    BOOL EnumWindowStationsA(WINSTAENUMPROCA callback, LPARAM parameter) override {
        return ::EnumWindowStationsA(callback, parameter);
    }

    BOOL EnumDesktopsA(HWINSTA station, DESKTOPENUMPROCA callback, LPARAM parameter) override {
        return ::EnumDesktopsA(station, callback, parameter);
    }

    BOOL CreateProcessA(const char* applicationName, char* commandLine, SECURITY_ATTRIBUTES* processAttributes,
                        SECURITY_ATTRIBUTES* threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                        void* environment, const char* currentDirectory, STARTUPINFOA* startupInfo,
                        PROCESS_INFORMATION* processInformation) override {
        return ::CreateProcessA(applicationName, commandLine, processAttributes, threadAttributes, inheritHandles,
                                creationFlags, environment, currentDirectory, startupInfo, processInformation);
    }

    DWORD GetLastError() override { return ::GetLastError(); }

    BOOL CloseHandle(HANDLE handle) override { return ::CloseHandle(handle); }

    HANDLE GetCurrentProcess() override { return ::GetCurrentProcess(); }

    BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, HANDLE* target, DWORD access,
                         BOOL inherit, DWORD options) override {
        return ::DuplicateHandle(sourceProcess, source, targetProcess, target, access, inherit, options);
    }

    BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) override {
        return ::OpenProcessToken(process, access, token);
    }

    BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, void* info, DWORD length,
                             DWORD* needed) override {
        return ::GetTokenInformation(token, infoClass, info, length, needed);
    }

    UINT GetACP() override { return ::GetACP(); }

    int WideCharToMultiByte(UINT codePage, DWORD flags, const wchar_t* text, int length, char* bytes, int size,
                            const char* defaultChar, BOOL* usedDefaultChar) override {
        return ::WideCharToMultiByte(codePage, flags, text, length, bytes, size, defaultChar, usedDefaultChar);
    }

    HWND CreateDialogIndirectParamW(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND owner,
                                    DLGPROC dialogProc, LPARAM initParam) override {
        return ::CreateDialogIndirectParamW(instance, dialogTemplate, owner, dialogProc, initParam);
    }
};

RealPlatform realPlatform;
Platform* current = &realPlatform;

}  // namespace

Platform& platform() { return *current; }

PlatformOverride::PlatformOverride(Platform& replacement) : previous_(current) { current = &replacement; }

PlatformOverride::~PlatformOverride() { current = previous_; }
