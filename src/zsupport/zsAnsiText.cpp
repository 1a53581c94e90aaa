#include "zentarisupport.h"
#include "zsGuarded.h"

#include <windows.h>

#include <climits>
#include <cstring>
#include <new>
#include <string>
#include <utility>

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
