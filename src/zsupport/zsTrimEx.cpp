#include "zentarisupport.h"
#include "zsGuarded.h"

#include <cstddef>
#include <new>
#include <string>
#include <string_view>

ZsStatus zsTrimEx(std::wstring_view text, std::wstring& trimmed) {
    return Guarded([&] {
        constexpr std::wstring_view blanks = L" \t";
        const size_t first = text.find_first_not_of(blanks);
        if (first == std::wstring_view::npos) {
            trimmed.clear();
        } else {
            const size_t last = text.find_last_not_of(blanks);
            trimmed.assign(text.substr(first, last - first + 1));
        }
        return ZsStatus::Ok;
    });
}
