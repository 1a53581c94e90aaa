#include "argumentText.h"

#include <cstddef>

std::wstring_view ArgumentTextOf(std::wstring_view processCommandLine) {
    size_t end = 0;
    if (!processCommandLine.empty() && processCommandLine.front() == L'"') {
        const size_t closing = processCommandLine.find(L'"', 1);
        end = closing == std::wstring_view::npos ? processCommandLine.size() : closing + 1;
    } else {
        end = processCommandLine.find_first_of(L" \t");
        if (end == std::wstring_view::npos) {
            end = processCommandLine.size();
        }
    }
    return processCommandLine.substr(end);
}

ParsedArguments ParseArgumentText(std::wstring_view argumentText, TrimFunction trim) {
    ParsedArguments parsed;
    if (argumentText.empty() || argumentText.front() != L'"') {
        parsed.error = ArgumentError::NotQuoted;
        return parsed;
    }
    const size_t closing = argumentText.find(L'"', 1);
    if (closing == std::wstring_view::npos) {
        parsed.error = ArgumentError::NotQuoted;
        return parsed;
    }
    parsed.desktopName = trim(argumentText.substr(1, closing - 1));
    parsed.commandLine = trim(argumentText.substr(closing + 1));

    const std::wstring& name = parsed.desktopName;
    if (name.empty()) {
        parsed.error = ArgumentError::EmptyDesktopName;
        return parsed;
    }
    const size_t backslash = name.find(L'\\');
    if (backslash != std::wstring::npos) {
        if (backslash == 0) {
            parsed.error = ArgumentError::NoWinStaName;
            return parsed;
        }
        if (backslash == name.size() - 1) {
            parsed.error = ArgumentError::NoDesktopName;
            return parsed;
        }
        if (name.find(L'\\', backslash + 1) != std::wstring::npos) {
            parsed.error = ArgumentError::TooManyBackslashes;
            return parsed;
        }
    }
    if (parsed.commandLine.empty()) {
        parsed.error = ArgumentError::EmptyCommandLine;
    }
    return parsed;
}
