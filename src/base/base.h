#pragma once
// Below src/app, src/platform and src/zsupport alike: the pieces they share, so that none depends on another for them.
#include <cstddef>
#include <string>
#include <string_view>

// The full path of the running executable, however long; empty when the
// system cannot give it.
std::wstring ExecutablePath();

// The last part of a path: what follows its last backslash or slash, or the
// whole text when it has neither.
std::wstring_view FileNameOf(std::wstring_view path);

// value in the given radix (2 to 16, upper-case letters), with leading zeros up
// to minDigits; a wider value keeps all of its digits. (No printf family: it
// would double the size of the executable.)
std::wstring Digits(unsigned long value, unsigned radix, size_t minDigits);
