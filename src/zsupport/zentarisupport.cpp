#include "zentarisupport.h"

#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace {

// Runs a body that may allocate; an allocation failure becomes a status
// instead of an exception crossing the library's boundary.
template <typename Body>
ZsStatus Guarded(Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const std::bad_alloc&) {
        return ZsStatus::OutOfMemory;
    }
}

struct LocalFreeDeleter {
    void operator()(wchar_t* memory) const { LocalFree(memory); }
};

std::wstring ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring ReadDefaultValue(HKEY key) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
        return {};
    }
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS) {
        return {};
    }
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}

}  // namespace

ZsStatus zsRegisterAppPath(bool& written) {
    return Guarded([&] {
        const std::wstring path = ExecutablePath();
        const size_t slash = path.find_last_of(L"\\/");
        const std::wstring fileName = slash == std::wstring::npos ? path : path.substr(slash + 1);
        if (fileName.empty()) {
            written = false;
            return ZsStatus::Ok;
        }
        const std::wstring keyName = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + fileName;
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, keyName.c_str(), 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                            &key, nullptr) != ERROR_SUCCESS) {
            written = false;
            return ZsStatus::Ok;
        }
        bool wrote = false;
        if (ReadDefaultValue(key) != path) {
            const auto bytes = static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t));
            wrote = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()), bytes) ==
                    ERROR_SUCCESS;
        }
        RegCloseKey(key);
        written = wrote;
        return ZsStatus::Ok;
    });
}

ZsStatus zsIsInIDE(bool& inIde) {
    inIde = false;
    return ZsStatus::Ok;
}

ZsStatus zsGetThunderMainHandle(HWND& mainWindow) {
    mainWindow = nullptr;
    return ZsStatus::Ok;
}

ZsStatus zsSetWindowResIconAll(HWND window, const std::wstring& resourceName) {
    if (window == nullptr || !IsWindow(window)) {
        return ZsStatus::InvalidArgument;
    }
    const HINSTANCE module = GetModuleHandleW(nullptr);
    // LR_SHARED icons belong to the system and need no destroying.
    const auto load = [&](int width, int height) {
        return static_cast<HICON>(
            LoadImageW(module, resourceName.c_str(), IMAGE_ICON, width, height, LR_DEFAULTCOLOR | LR_SHARED));
    };
    const HICON bigIcon = load(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    const HICON smallIcon = load(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    if (bigIcon == nullptr || smallIcon == nullptr) {
        return ZsStatus::SystemCallFailed;
    }
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    return ZsStatus::Ok;
}

ZsStatus zsIsHostWinNT(bool& isWinNT) {
    OSVERSIONINFOEXW wanted{};
    wanted.dwOSVersionInfoSize = sizeof wanted;
    wanted.dwPlatformId = VER_PLATFORM_WIN32_NT;
    const ULONGLONG condition = VerSetConditionMask(0, VER_PLATFORMID, VER_EQUAL);
    isWinNT = VerifyVersionInfoW(&wanted, VER_PLATFORMID, condition) != FALSE;
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

ZsStatus zsGetStringFromPointerA(const char* address, std::wstring& text) {
    if (address == nullptr) {
        return ZsStatus::InvalidArgument;
    }
    return Guarded([&] {
        const size_t length = std::strlen(address);
        if (length == 0) {
            text.clear();
            return ZsStatus::Ok;
        }
        if (length > static_cast<size_t>(INT_MAX)) {
            return ZsStatus::InvalidArgument;
        }
        const int size = MultiByteToWideChar(CP_ACP, 0, address, static_cast<int>(length), nullptr, 0);
        if (size <= 0) {
            return ZsStatus::SystemCallFailed;
        }
        std::wstring converted(static_cast<size_t>(size), L'\0');
        MultiByteToWideChar(CP_ACP, 0, address, static_cast<int>(length), converted.data(), size);
        text = std::move(converted);
        return ZsStatus::Ok;
    });
}

ZsStatus zsGetCurrentDirectory(std::wstring& directory) {
    return Guarded([&] {
        std::wstring buffer(MAX_PATH, L'\0');
        for (;;) {
            const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
            if (length == 0) {
                return ZsStatus::SystemCallFailed;
            }
            if (length < buffer.size()) {
                buffer.resize(length);
                directory = std::move(buffer);
                return ZsStatus::Ok;
            }
            // Too small: length is the size needed, terminating NUL included.
            buffer.resize(length);
        }
    });
}

ZsStatus zsGetErrorNumber(DWORD errorCode, std::wstring& text) {
    return Guarded([&] {
        std::wstring decimal;
        DWORD rest = errorCode;
        do {
            decimal.insert(decimal.begin(), static_cast<wchar_t>(L'0' + rest % 10));
            rest /= 10;
        } while (rest != 0);
        std::wstring hex = L"0x00000000";
        for (size_t digit = 0; digit < 8; ++digit) {
            hex[9 - digit] = L"0123456789ABCDEF"[(errorCode >> (4 * digit)) & 0xF];
        }
        text = decimal + L" (" + hex + L")";
        return ZsStatus::Ok;
    });
}

ZsStatus zsGetAPIErrorDescription(DWORD errorCode, std::wstring& description) {
    return Guarded([&] {
        wchar_t* buffer = nullptr;
        const DWORD length =
            FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, errorCode, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
        const std::unique_ptr<wchar_t, LocalFreeDeleter> owned(buffer);
        std::wstring found;
        if (length != 0 && buffer != nullptr) {
            found.assign(buffer, length);
        }
        const size_t end = found.find_last_not_of(L"\r\n ");
        found.resize(end == std::wstring::npos ? 0 : end + 1);
        description = found.empty() ? std::wstring(L"Система не знает описания для этого кода.") : std::move(found);
        return ZsStatus::Ok;
    });
}
