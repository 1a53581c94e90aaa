#include "zsTrimEx.h"

#include <new>

ZsStatus zsTrimEx(std::wstring_view text, std::wstring& trimmed) {
    constexpr std::wstring_view blanks = L" \t";
    const size_t first = text.find_first_not_of(blanks);
    try {
        if (first == std::wstring_view::npos) {
            trimmed.clear();
        } else {
            const size_t last = text.find_last_not_of(blanks);
            trimmed.assign(text.substr(first, last - first + 1));
        }
    } catch (const std::bad_alloc&) {
        return ZsStatus::OutOfMemory;
    }
    return ZsStatus::Ok;
}
