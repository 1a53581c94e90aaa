#pragma once
// The catalogue of window stations and their desktops, and the question for a
// desktop that the chooser dialog puts to the user.
#include <windows.h>

#include <string>
#include <vector>

using StringList = std::vector<std::wstring>;

// What the catalogue needs of the dialog that it fills.
class DesktopsListTarget {
public:
    // Appends a row at the end of the list, leaving the selection alone.
    virtual void AddDesktopsRow(const std::wstring& text) = 0;
    // Hands over the full desktop name behind each row ("" for rows that
    // cannot be chosen).
    virtual void SetShadowDesktopNames(StringList fullNames) = 0;

protected:
    ~DesktopsListTarget() = default;
};

inline constexpr ACCESS_MASK kEnumWinStaAccess = WINSTA_ENUMERATE | WINSTA_ENUMDESKTOPS;

// Lists every window station that can be opened for enumeration, each followed
// by its desktops ("    " + name, full name "Station\Desktop"), with an empty
// separator row after every station but the last one enumerated. A station
// that cannot be opened, fails to enumerate, or has no desktop is left out.
void FillDesktopsList(DesktopsListTarget& dialog);

// The enumeration callbacks: append the name to the list being enumerated.
BOOL CALLBACK EnumWinStaProc(LPSTR name, LPARAM parameter);
BOOL CALLBACK EnumDesktopProc(LPSTR name, LPARAM parameter);

// Shows the chooser dialog and returns the chosen full desktop name, or the
// empty text when the user cancelled or closed it.
std::wstring AskForDesktop();
