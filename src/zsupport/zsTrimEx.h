#pragma once
// Trimming, kept apart from the rest of the support library so that it builds
// without the Windows headers (the argument-text fuzzer drives it natively).
#include "zsStatus.h"

#include <string>
#include <string_view>

// Yields the text without leading and trailing blanks (U+0020) and tabs
// (U+0009); inner characters stay, and a text of blanks and tabs only becomes
// empty. Fails only when the result cannot be allocated.
ZsStatus zsTrimEx(std::wstring_view text, std::wstring& trimmed);
