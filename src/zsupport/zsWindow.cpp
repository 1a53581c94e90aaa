#include "zentarisupport.h"

#include "base.h"

#include <windows.h>

#include <string>

ZsStatus zsSetWindowResIconAll(HWND window, const std::wstring& resourceName) {
    if (window == nullptr || !IsWindow(window)) {
        return ZsStatus::InvalidArgument;
    }
    const HINSTANCE module = GetModuleHandleW(nullptr);
    // Not shared: a shared load finds the first image of the resource that
    // was loaded, whatever size is asked for, so the small icon would be the
    // large one scaled down at every paint. The window keeps both for as
    // long as it lives (destroying it leaves them to the end of the process,
    // which comes soon after for each of the launcher's two windows).
    const auto load = [&](int width, int height) {
        return static_cast<HICON>(LoadImageW(module, resourceName.c_str(), IMAGE_ICON, width, height, LR_DEFAULTCOLOR));
    };
    // At the window's own resolution, which may differ from the system's.
    const HICON bigIcon = load(WindowMetric(window, SM_CXICON), WindowMetric(window, SM_CYICON));
    const HICON smallIcon = load(WindowMetric(window, SM_CXSMICON), WindowMetric(window, SM_CYSMICON));
    if (bigIcon == nullptr || smallIcon == nullptr) {
        return ZsStatus::SystemCallFailed;
    }
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    return ZsStatus::Ok;
}

ZsStatus zsCenterFormEx(HWND window, bool& moved) {
    RECT frame{};
    if (window == nullptr || !GetWindowRect(window, &frame)) {
        return ZsStatus::InvalidArgument;
    }
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return ZsStatus::SystemCallFailed;
    }
    const RECT& area = monitor.rcWork;
    const LONG width = frame.right - frame.left;
    const LONG height = frame.bottom - frame.top;
    const LONG left = area.left + (area.right - area.left - width) / 2;
    const LONG top = area.top + (area.bottom - area.top - height) / 2;
    moved = SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
    return ZsStatus::Ok;
}

ZsStatus zsFixUserControlsContainerWindow(bool& fixed) {
    fixed = false;
    return ZsStatus::Ok;
}

ZsStatus zsPaintDesktop(HDC deviceContext, bool& painted) {
    if (deviceContext == nullptr) {
        return ZsStatus::InvalidArgument;
    }
    painted = PaintDesktop(deviceContext) != FALSE;
    return ZsStatus::Ok;
}
