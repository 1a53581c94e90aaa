#pragma once
// The support library: small services for the launcher. Every function returns
// a status (ZsStatus::Ok on success) and delivers its value, if any, through
// its last parameter; on failure that parameter is left as it was.
//
// Choices of this implementation:
// - zsTrimEx removes blanks and tabs (see zsTrimEx.h).
// - zsIsInIDE is always false: the launcher only ever runs as a built program.
// - zsGetThunderMainHandle yields no window (null): a hidden owner window would
//   take the message boxes off the taskbar, so the launcher keeps none and
//   skips the icon call for it.
// - zsRegisterAppPath records the executable's full path as its per-user
//   "App Paths" entry (under HKEY_CURRENT_USER, the key
//   Software\Microsoft\Windows\CurrentVersion\App Paths\<file name>), so that the Run box finds the launcher by name.
//   It writes only when the entry differs, yields whether it wrote, and succeeds even when the registry refuses the
//   write: registration is a convenience, never a reason to stop.
// - zsCenterFormEx centres the window on the work area of the monitor that
//   holds most of it, yielding whether it moved the window.
// - zsFixUserControlsContainerWindow has nothing to repair for windows of this
//   toolkit and yields false.
// - zsPaintDesktop paints the desktop background (wallpaper and pattern) with
//   the system's PaintDesktop, yielding what it returned.
// - zsGetErrorNumber writes the code in decimal and, in brackets, as eight hex
//   digits: "2 (0x00000002)".
// - zsGetAPIErrorDescription yields the system's text for the code without its
//   trailing line break, or a text that says there is none; an unknown code is
//   no failure.
#include "zsStatus.h"
#include "zsTrimEx.h"

#include <windows.h>

#include <string>

ZsStatus zsRegisterAppPath(bool& written);
ZsStatus zsIsInIDE(bool& inIde);
ZsStatus zsGetThunderMainHandle(HWND& mainWindow);
ZsStatus zsSetWindowResIconAll(HWND window, const std::wstring& resourceName);
ZsStatus zsIsHostWinNT(bool& isWinNT);
ZsStatus zsCenterFormEx(HWND window, bool& moved);
ZsStatus zsFixUserControlsContainerWindow(bool& fixed);
ZsStatus zsPaintDesktop(HDC deviceContext, bool& painted);
ZsStatus zsGetStringFromPointerA(const char* address, std::wstring& text);
ZsStatus zsGetCurrentDirectory(std::wstring& directory);
ZsStatus zsGetErrorNumber(DWORD errorCode, std::wstring& text);
ZsStatus zsGetAPIErrorDescription(DWORD errorCode, std::wstring& description);
