#include "modCommon.h"

#include "base.h"
#include "platform.h"
#include "texts.h"
#include "version.h"

#include <cwchar>
#include <string_view>

namespace {

ExitCode exitCode = ExitCode::Done;

// Decimal digits of value, with leading zeros up to minDigits; a wider value
// keeps all of its digits.
std::wstring Padded(long value, size_t minDigits) {
    const bool negative = value < 0;
    const unsigned long magnitude =
        negative ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    const std::wstring digits = Digits(magnitude, 10, minDigits);
    return negative ? L"-" + digits : digits;
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
    std::wstring name(FileNameOf(path));
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

void EndWithRunTimeError(const std::wstring& detail) {
    ShowMessage(std::wstring(texts::kRunTimeError) + L"\r\n\r\n" + detail, kErrorBox);
    platform().ExitProcess(static_cast<UINT>(ExitCode::RunTimeError));
}

void CheckStatus(ZsStatus status, const wchar_t* function) {
    if (status == ZsStatus::Ok) {
        return;
    }
    EndWithRunTimeError(std::wstring(texts::kFunctionLabel) + function + L"\r\n" + texts::kStatusLabel +
                        Padded(static_cast<long>(status), 1) + L" (" + StatusName(status) + L")");
}

void EndWithUncaughtException() { EndWithRunTimeError(texts::kUncaughtException); }
