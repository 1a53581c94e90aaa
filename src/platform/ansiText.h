#pragma once
// The one place where wide text becomes text of the ANSI code page.
#include <optional>
#include <string>
#include <string_view>

// The text in the ANSI code page, or nothing when the code page cannot carry
// it whole. The manifest makes that code page UTF-8, which carries any text;
// Windows before 10 1903 ignores the manifest's choice and keeps the system's
// legacy code page, whose best-fit mapping would otherwise turn a character
// it lacks into a look-alike (a fullwidth backslash into a real one) or a
// question mark, and so name another object than the one checked and asked
// for. The empty text converts to the empty text.
std::optional<std::string> ToAnsi(std::wstring_view text);
