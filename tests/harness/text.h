#pragma once
// Texts as the tests handle them: UTF-8 for readable failure messages, lines
// split where the launcher breaks them, the system's own error descriptions.
// Nothing here shows a window, so that unit tests can use it as well.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace harness {

std::string Narrow(std::wstring_view text);  // UTF-8
std::wstring Widen(std::string_view utf8);

// The lines of a text whose breaks are CR LF; a lone CR or LF stays inside
// its line, where a comparison finds it.
std::vector<std::wstring> LinesOf(std::wstring_view text);

// What the system says about the error, without the line break at its end;
// empty when it has nothing to say.
std::wstring SystemDescription(DWORD error);

// Names each case of a parameterised suite after the `name` of its row, so
// that a failure and --gtest_filter speak of the row, not of its index.
struct CaseName {
    template <class TestInfo>
    std::string operator()(const TestInfo& test) const {
        return std::string(test.param.name);
    }
};

}  // namespace harness
