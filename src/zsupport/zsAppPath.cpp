#include "base.h"
#include "zentarisupport.h"
#include "zsGuarded.h"

#include <windows.h>

#include <cwchar>
#include <new>
#include <string>
#include <string_view>

namespace {

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
        const std::wstring_view fileName = FileNameOf(path);
        if (fileName.empty()) {
            written = false;
            return ZsStatus::Ok;
        }
        std::wstring keyName = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
        keyName += fileName;
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
