#include "zentarisupport.h"
#include "zsGuarded.h"

#include <windows.h>

#include <new>
#include <string>
#include <utility>

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
