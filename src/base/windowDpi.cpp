#include "base.h"

#include <windows.h>

UINT WindowDpi(HWND window) {
    static const auto getDpiForWindow = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        return getDpiForWindow(window);
    }
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return static_cast<UINT>(dpi);
}

int WindowMetric(HWND window, int index) {
    static const auto getSystemMetricsForDpi = User32Function<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
    if (getSystemMetricsForDpi != nullptr) {
        if (const UINT dpi = WindowDpi(window); dpi != 0) {
            return getSystemMetricsForDpi(index, dpi);
        }
    }
    return GetSystemMetrics(index);
}
