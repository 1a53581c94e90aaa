#include "modCommon.h"

#include "platform.h"
#include "version.h"

#include <cwchar>

namespace {

ExitCode exitCode = ExitCode::Done;

// Decimal digits of value, with leading zeros up to minDigits; a wider value
// keeps all of its digits.
std::wstring Padded(short value, int minDigits) {
    wchar_t buffer[16];
    swprintf(buffer, sizeof buffer / sizeof buffer[0], L"%0*d", minDigits, static_cast<int>(value));
    return buffer;
}

const wchar_t* StatusName(ZsStatus status) {
    switch (status) {
    case ZsStatus::Ok:
        return L"Ok";
    case ZsStatus::InvalidArgument:
        return L"InvalidArgument";
    case ZsStatus::OutOfMemory:
        return L"OutOfMemory";
    case ZsStatus::SystemCallFailed:
        return L"SystemCallFailed";
    }
    return L"Unknown";
}

}  // namespace

AppInfo ApplicationInfo() {
    AppInfo info;
    info.title = L"" LAUNCHER_TITLE;
    info.copyright = L"" LAUNCHER_COPYRIGHT;
    info.exeName = ExeNameFromPath(platform().ModuleFileName());
    info.major = LAUNCHER_VERSION_MAJOR;
    info.minor = LAUNCHER_VERSION_MINOR;
    info.revision = LAUNCHER_VERSION_REVISION;
    return info;
}

std::wstring ExeNameFromPath(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot != 0) {
        name.resize(dot);
    }
    return name;
}

std::wstring GetAppVersion(const AppInfo& appInfo) {
    return Padded(appInfo.major, 1) + L"." + Padded(appInfo.minor, 2) + L"." + Padded(appInfo.revision, 4);
}

std::wstring GetAppHeader(const AppInfo& appInfo) {
    return appInfo.title + L" " + GetAppVersion(appInfo) + L"\r\n" + appInfo.copyright;
}

void ShowMessage(const std::wstring& text, UINT style) {
    platform().ShowMessageBox(text, ApplicationInfo().title, style);
}

void SetExitCode(ExitCode code) { exitCode = code; }

ExitCode GetExitCode() { return exitCode; }

void CheckStatus(ZsStatus status, const wchar_t* function) {
    if (status == ZsStatus::Ok) {
        return;
    }
    const std::wstring text = std::wstring(L"Ошибка времени выполнения.\r\n\r\nФункция: ") + function +
                              L"\r\nСостояние: " + std::to_wstring(static_cast<long>(status)) + L" (" +
                              StatusName(status) + L")";
    ShowMessage(text, kErrorBox);
    platform().ExitProcess(static_cast<UINT>(ExitCode::SupportFailure));
}
