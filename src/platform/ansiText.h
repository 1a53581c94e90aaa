#pragma once
// The one place where wide text becomes text of the ANSI code page. The
// manifest makes that code page UTF-8, so no character is lost on the way.
#include <string>
#include <string_view>

std::string ToAnsi(std::wstring_view text);
