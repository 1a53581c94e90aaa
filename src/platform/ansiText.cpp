#include "ansiText.h"

#include "platform.h"

#include <windows.h>

#include <climits>
#include <cstddef>

std::optional<std::string> ToAnsi(std::wstring_view text) {
    if (text.empty()) {
        return std::string();
    }
    if (text.size() > static_cast<size_t>(INT_MAX)) {
        return std::nullopt;
    }
    // UTF-8 takes neither the flag nor the question whether a default
    // character was used (the call fails with them), and needs neither.
    const bool legacy = platform().GetACP() != CP_UTF8;
    const DWORD flags = legacy ? WC_NO_BEST_FIT_CHARS : 0;
    const int length = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    const int size = platform().WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr,
                                                    legacy ? &usedDefault : nullptr);
    if (size <= 0 || usedDefault) {
        return std::nullopt;
    }
    std::string result(static_cast<size_t>(size), '\0');
    BOOL usedDefaultAgain = FALSE;
    if (platform().WideCharToMultiByte(CP_ACP, flags, text.data(), length, result.data(), size, nullptr,
                                       legacy ? &usedDefaultAgain : nullptr) != size ||
        usedDefaultAgain) {
        return std::nullopt;
    }
    return result;
}
