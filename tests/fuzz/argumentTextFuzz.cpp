// Native libFuzzer target for the argument text: cutting it from the process
// command line, trimming, splitting and checking. Every two input bytes make
// one UTF-16 code unit, so lone surrogates and NULs are covered too.
#include "argumentText.h"
#include "zentarisupport.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::wstring Trim(std::wstring_view text) {
    std::wstring trimmed;
    if (zsTrimEx(text, trimmed) != ZsStatus::Ok) {
        std::abort();
    }
    return trimmed;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool IsTrimmed(const std::wstring& text) { return text.empty() || (!IsBlank(text.front()) && !IsBlank(text.back())); }

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring commandLine;
    for (size_t i = 0; i + 1 < size; i += 2) {
        commandLine.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8));
    }

    const std::wstring_view argumentsView = ArgumentTextOf(commandLine);
    Require(argumentsView.size() <= commandLine.size());
    Require(std::wstring_view(commandLine).substr(commandLine.size() - argumentsView.size()) == argumentsView);

    const std::wstring arguments = Trim(argumentsView);
    Require(IsTrimmed(arguments));
    Require(Trim(arguments) == arguments);
    if (arguments.empty()) {
        return 0;
    }

    const ParsedArguments parsed = ParseArgumentText(arguments, Trim);
    if (parsed.error == ArgumentError::NotQuoted) {
        return 0;
    }
    Require(arguments.front() == L'"');
    Require(IsTrimmed(parsed.desktopName) && IsTrimmed(parsed.commandLine));
    Require(parsed.desktopName.find(L'"') == std::wstring::npos);
    if (parsed.error != ArgumentError::None) {
        return 0;
    }
    const std::wstring& name = parsed.desktopName;
    Require(!name.empty() && !parsed.commandLine.empty());
    const size_t backslash = name.find(L'\\');
    if (backslash != std::wstring::npos) {
        Require(backslash > 0 && backslash + 1 < name.size());
        Require(name.find(L'\\', backslash + 1) == std::wstring::npos);
    }
    // The command line is what follows the closing quote, untouched but for
    // the trimming.
    Require(arguments.find(parsed.commandLine, name.size() + 2) != std::wstring::npos);
    return 0;
}
