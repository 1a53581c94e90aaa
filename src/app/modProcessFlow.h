#pragma once
#include <string>

// Starts commandLine as a new process on the desktop desktopName, bare
// ("Work", placed in this process's window station) or full ("WinSta\Work"),
// opening or creating the window station and the desktop first. Does not wait
// for the process; reports a failed start in a message box.
void RunOnDesktop(const std::wstring& commandLine, std::wstring desktopName);
