#include "scriptedSupport.h"

#include "fakePlatform.h"
#include "platform.h"

namespace {

// Logs the call and gives the status the script holds for it; the second
// form also yields the value when the status is Ok.
ZsStatus Scripted(const char* function) {
    if (auto* fake = dynamic_cast<FakePlatform*>(&platform())) {
        fake->Note(function);
    }
    const auto found = supportScript().statuses.find(function);
    return found == supportScript().statuses.end() ? ZsStatus::Ok : found->second;
}

template <typename Value>
ZsStatus Scripted(const char* function, Value& out, const Value& value) {
    const ZsStatus status = Scripted(function);
    if (status == ZsStatus::Ok) {
        out = value;
    }
    return status;
}

}  // namespace

SupportScript& supportScript() {
    static SupportScript script;
    return script;
}

ZsStatus zsRegisterAppPath(bool& written) { return Scripted("zsRegisterAppPath", written, false); }

ZsStatus zsIsInIDE(bool& inIde) { return Scripted("zsIsInIDE", inIde, supportScript().inIde); }

ZsStatus zsGetThunderMainHandle(HWND& mainWindow) {
    return Scripted("zsGetThunderMainHandle", mainWindow, supportScript().mainWindow);
}

ZsStatus zsSetWindowResIconAll(HWND window, const std::wstring& resourceName) {
    supportScript().iconsSet.emplace_back(window, resourceName);
    return Scripted("zsSetWindowResIconAll");
}

ZsStatus zsIsHostWinNT(bool& isWinNT) { return Scripted("zsIsHostWinNT", isWinNT, supportScript().isWinNT); }

ZsStatus zsCenterFormEx(HWND, bool& moved) { return Scripted("zsCenterFormEx", moved, true); }

ZsStatus zsFixUserControlsContainerWindow(bool& fixed) {
    return Scripted("zsFixUserControlsContainerWindow", fixed, false);
}

ZsStatus zsPaintDesktop(HDC, bool& painted) { return Scripted("zsPaintDesktop", painted, true); }

// The start-up tests use ASCII names only: each byte becomes one character.
ZsStatus zsGetStringFromPointerA(const char* address, std::wstring& text) {
    std::wstring converted;
    for (const char* p = address; p != nullptr && *p != '\0'; ++p) {
        converted.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
    }
    return Scripted("zsGetStringFromPointerA", text, converted);
}

ZsStatus zsGetCurrentDirectory(std::wstring& directory) {
    return Scripted("zsGetCurrentDirectory", directory, supportScript().currentDirectory);
}

ZsStatus zsGetErrorNumber(DWORD errorCode, std::wstring& text) {
    return Scripted("zsGetErrorNumber", text, std::to_wstring(errorCode));
}

ZsStatus zsGetAPIErrorDescription(DWORD, std::wstring& description) {
    return Scripted("zsGetAPIErrorDescription", description, std::wstring(L"Scripted description."));
}
