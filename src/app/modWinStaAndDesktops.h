#pragma once
// Names of window stations and desktops, and opening or creating the target
// window station and desktop of a launch.
#include "uniqueHandle.h"

#include <windows.h>

#include <optional>
#include <string>

// The name of the window station or desktop behind handle, or the empty text
// when it cannot be read. The handle is neither duplicated nor closed.
std::wstring GetUserObjectName(HANDLE object);

// The name of this process's window station, or the empty text.
std::wstring GetCurrentWinStaName();

inline constexpr ACCESS_MASK kWinStaAccess = WINSTA_ENUMERATE | WINSTA_CREATEDESKTOP | WINSTA_ENUMDESKTOPS;
inline constexpr ACCESS_MASK kDesktopAccess = DESKTOP_SWITCHDESKTOP | DESKTOP_ENUMERATE | DESKTOP_CREATEWINDOW;

// Opens, or where that fails creates, the window station and the desktop of
// fullDesktopName ("WinSta\Desktop"; an empty station half means this
// process's own). The caller passes both handles empty and owns what comes
// back: a null handle means the object was not obtained. An empty desktop half
// writes neither. The process's own window station is the same on return.
//
// The result is the system's error of the failed creation when an object is
// known to be missing and could not be made: its open failed for a reason
// other than a refused access, and so did its creation. No program can run
// there then. Nothing comes back when both were obtained, or where the object
// may exist out of this process's reach (a refused open, a refused switch of
// window station): a program, which the system connects with the rights that
// it is due, may still run there. A name that the ANSI code page cannot carry
// whole gives ERROR_NO_UNICODE_TRANSLATION before any object is touched. A new
// window station gets the DACL of this process's token (never the one that
// Windows gives a station created without a descriptor, open to all users);
// when that DACL cannot be read, the station is not created, and the error of
// the read counts as the creation's.
[[nodiscard]] std::optional<DWORD> OpenOrCreateWinStaAndDesktop(const std::wstring& fullDesktopName,
                                                                UniqueWinSta& winSta, UniqueDesktop& desktop);
