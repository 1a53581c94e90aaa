#pragma once
// Below src/app, src/platform and src/zsupport alike: the pieces they share, so that none depends on another for them.
#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

// A function of a system DLL already loaded that older systems (and Wine)
// may lack: null then, and the executable still starts everywhere.
template <typename Function>
Function SystemFunction(const wchar_t* module, const char* name) {
    const HMODULE loaded = GetModuleHandleW(module);
    return loaded == nullptr ? nullptr
                             : reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(loaded, name)));
}

template <typename Function>
Function User32Function(const char* name) {
    return SystemFunction<Function>(L"user32.dll", name);
}

// The resolution of the window: GetDpiForWindow where the system has it
// (Windows 10 1607 and later), else the screen's.
UINT WindowDpi(HWND window);

// A system metric at the window's own resolution. In a process that is aware
// of each monitor's resolution, GetSystemMetrics gives the sizes of the
// system's resolution, which need not be the window's; GetSystemMetricsForDpi
// (Windows 10 1607 and later) gives them at any resolution. Without it, the
// system's sizes are the window's too.
int WindowMetric(HWND window, int index);

// The full path of the running executable, however long; empty when the
// system cannot give it.
std::wstring ExecutablePath();

// The last part of a path: what follows its last backslash or slash, or the
// whole text when it has neither.
std::wstring_view FileNameOf(std::wstring_view path);

// value in the given radix (2 to 16, upper-case letters), with leading zeros up
// to minDigits; a wider value keeps all of its digits. (No printf family: it
// would double the size of the executable.)
std::wstring Digits(unsigned long value, unsigned radix, size_t minDigits);
