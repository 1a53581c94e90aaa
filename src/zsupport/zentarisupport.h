#pragma once
// The support library: small services for the launcher, all declared here, its
// one header. Every function returns a status (ZsStatus::Ok on success) and
// delivers its value, if any, through its last parameter; on failure that
// parameter is left as it was.
//
// Trimming needs nothing of Windows, so that the argument-text fuzzer builds it
// natively; everything else is declared only where the Windows headers are.
#include "zsStatus.h"

#include <string>
#include <string_view>

// ---------------------------------------------------------------------------
// Trimming

// Yields the text without leading and trailing blanks (U+0020) and tabs
// (U+0009); inner characters stay, and a text of blanks and tabs only becomes
// empty. Fails only when the result cannot be allocated.
ZsStatus zsTrimEx(std::wstring_view text, std::wstring& trimmed);

#ifdef _WIN32
#include <windows.h>

// ---------------------------------------------------------------------------
// ANSI text

// Yields the NUL-terminated text of the ANSI code page at address as wide text.
ZsStatus zsGetStringFromPointerA(const char* address, std::wstring& text);

// ---------------------------------------------------------------------------
// Registration

// Records the executable's full path as its per-user "App Paths" entry (under
// HKEY_CURRENT_USER, the key
// Software\Microsoft\Windows\CurrentVersion\App Paths\<file name>), so that the
// Run box finds the launcher by name. It writes only when the entry differs,
// yields whether it wrote, and succeeds even when the registry refuses the
// write: registration is a convenience, never a reason to stop.
ZsStatus zsRegisterAppPath(bool& written);

// ---------------------------------------------------------------------------
// The environment

// Always false: the launcher only ever runs as a built program.
ZsStatus zsIsInIDE(bool& inIde);

// Yields no window (null): a hidden owner window would take the message boxes
// off the taskbar, so the launcher keeps none and skips the icon call for it.
ZsStatus zsGetThunderMainHandle(HWND& mainWindow);

ZsStatus zsIsHostWinNT(bool& isWinNT);

// ---------------------------------------------------------------------------
// Windows

ZsStatus zsSetWindowResIconAll(HWND window, const std::wstring& resourceName);

// Centres the window on the work area of the monitor that holds most of it,
// yielding whether it moved the window.
ZsStatus zsCenterFormEx(HWND window, bool& moved);

// Windows of this toolkit have nothing to repair: yields false.
ZsStatus zsFixUserControlsContainerWindow(bool& fixed);

// Paints the desktop background (wallpaper and pattern) with the system's
// PaintDesktop, yielding what it returned.
ZsStatus zsPaintDesktop(HDC deviceContext, bool& painted);

// ---------------------------------------------------------------------------
// The current directory

ZsStatus zsGetCurrentDirectory(std::wstring& directory);

// ---------------------------------------------------------------------------
// Error texts

// Writes the code in decimal and, in brackets, as eight hex digits:
// "2 (0x00000002)".
ZsStatus zsGetErrorNumber(DWORD errorCode, std::wstring& text);

// Yields the system's text for the code without its trailing line break, or a
// text that says there is none; an unknown code is no failure.
ZsStatus zsGetAPIErrorDescription(DWORD errorCode, std::wstring& description);
#endif
