#include "base.h"
#include "zentarisupport.h"
#include "zsGuarded.h"

#include <windows.h>

#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <cwchar>

namespace {

struct LocalFreeDeleter {
    void operator()(wchar_t* memory) const { LocalFree(memory); }
};

}  // namespace

ZsStatus zsGetErrorNumber(DWORD errorCode, std::wstring& text) {
    return Guarded([&] {
        text = Digits(errorCode, 10, 1) + L" (0x" + Digits(errorCode, 16, 8) + L")";
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
