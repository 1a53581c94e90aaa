#pragma once
// What every module shares: the application information, message boxes, the
// run's exit code, and the handling of a failing support-library status.
#include "zentarisupport.h"

#include <windows.h>

#include <string>

// Fixed values of the build, plus the name under which the executable runs.
struct AppInfo {
    std::wstring title;
    std::wstring copyright;
    std::wstring exeName;
    short major = 0;
    short minor = 0;
    short revision = 0;
};

AppInfo ApplicationInfo();

// "C:\dir\Launcher.exe" gives "Launcher": no directory, no extension.
std::wstring ExeNameFromPath(const std::wstring& path);

std::wstring GetAppVersion(const AppInfo& appInfo);
std::wstring GetAppHeader(const AppInfo& appInfo);

inline constexpr UINT kErrorBox = MB_OK | MB_ICONERROR;
inline constexpr UINT kInformationBox = MB_OK | MB_ICONINFORMATION;

// A modal box with the application title as its caption; returns when closed.
void ShowMessage(const std::wstring& text, UINT style);

// How the run ended, for scripts; see README.md.
enum class ExitCode : int {
    Done = 0,
    ArgumentRejected = 1,
    ProcessNotCreated = 2,
    ChoiceCancelled = 3,
    NotWindowsNT = 4,
    RunTimeError = 5,
};

void SetExitCode(ExitCode code);
ExitCode GetExitCode();

// Ends the program with the run-time error report: a message box that says
// what failed, then exit code 5. Does not return.
void EndWithRunTimeError(const std::wstring& detail);

// A failing status of the support library is never handled: it ends the
// program with a run-time error report that names the function and the status.
void CheckStatus(ZsStatus status, const wchar_t* function);

// The terminate handler of the launcher: an exception that nobody caught is
// a run-time error like any other, not a silent abort (whose exit code, 3,
// would read as a cancelled choice).
void EndWithUncaughtException();
