#pragma once
// The argument text: how it is cut from the process command line, and how it
// splits into a desktop name and a command line. Free of the Windows headers,
// so that a native fuzzer can drive it.
#include <string>
#include <string_view>

// The text after the program's own name: a quoted name ends at its closing
// quote (or the end of the text), an unquoted one at the first blank or tab.
// Nothing else is removed, interpreted or re-joined.
std::wstring_view ArgumentTextOf(std::wstring_view processCommandLine);

// The checks of the argument text, in the order in which they run; the first
// that fails decides the message.
enum class ArgumentError {
    None,
    NotQuoted,           // no opening quote, or no closing one
    EmptyDesktopName,    // nothing between the quotes but blanks
    NoWinStaName,        // the backslash is the first character
    NoDesktopName,       // the backslash is the last character
    TooManyBackslashes,  // a second backslash follows the first
    EmptyCommandLine,    // nothing after the closing quote but blanks
};

struct ParsedArguments {
    ArgumentError error = ArgumentError::None;
    std::wstring desktopName;
    std::wstring commandLine;
};

// Trims a text; the caller decides how a failure to trim is dealt with.
using TrimFunction = std::wstring (*)(std::wstring_view text);

// Splits and validates a trimmed, non-empty argument text of the form
// `"DesktopName" CommandLine`. The desktop name is trimmed first, then the
// command line. On an error the two texts are those found so far.
ParsedArguments ParseArgumentText(std::wstring_view argumentText, TrimFunction trim);
