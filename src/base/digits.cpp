#include "base.h"

#include <cstddef>
#include <string>

std::wstring Digits(unsigned long value, unsigned radix, size_t minDigits) {
    std::wstring digits;
    do {
        digits.insert(digits.begin(), L"0123456789ABCDEF"[value % radix]);
        value /= radix;
    } while (value != 0);
    if (digits.size() < minDigits) {
        digits.insert(0, minDigits - digits.size(), L'0');
    }
    return digits;
}
