#include "modProcessFlow.h"

#include "ansiText.h"
#include "modCommon.h"
#include "modWinStaAndDesktops.h"
#include "platform.h"
#include "uniqueHandle.h"
#include "zentarisupport.h"

namespace {

inline constexpr DWORD kCreationFlags = CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS;

void ShowLaunchFailure(DWORD errorCode) {
    std::wstring number;
    CheckStatus(zsGetErrorNumber(errorCode, number), L"zsGetErrorNumber");
    std::wstring description;
    CheckStatus(zsGetAPIErrorDescription(errorCode, description), L"zsGetAPIErrorDescription");
    ShowMessage(
        L"Не удалось запустить программу.\r\n\r\nWin32 API error: " + number + L"\r\nDescription: " + description,
        kErrorBox);
}

}  // namespace

void RunOnDesktop(const std::wstring& commandLine, std::wstring desktopName) {
    if (desktopName.find(L'\\') == std::wstring::npos) {
        desktopName = GetCurrentWinStaName() + L"\\" + desktopName;
    }

    // Both stay open across the creation of the process (and, on failure,
    // while its message is shown); whether they were obtained is not examined:
    // only CreateProcessA decides the outcome.
    UniqueWinSta winSta;
    UniqueDesktop desktop;
    OpenOrCreateWinStaAndDesktop(desktopName, winSta, desktop);

    std::string desktopBytes = ToAnsi(desktopName);
    STARTUPINFOA startupInfo{};
    startupInfo.cb = sizeof startupInfo;
    startupInfo.lpDesktop = desktopBytes.data();

    std::wstring currentDirectory;
    CheckStatus(zsGetCurrentDirectory(currentDirectory), L"zsGetCurrentDirectory");
    const std::string ansiDirectory = ToAnsi(currentDirectory);

    std::string ansiCommandLine = ToAnsi(commandLine);
    PROCESS_INFORMATION processInformation{};
    const BOOL created =
        platform().CreateProcessA(nullptr, ansiCommandLine.data(), nullptr, nullptr, FALSE, kCreationFlags, nullptr,
                                  ansiDirectory.c_str(), &startupInfo, &processInformation);
    const DWORD errorCode = platform().GetLastError();
    UniqueKernelHandle process(processInformation.hProcess);
    UniqueKernelHandle thread(processInformation.hThread);

    if (!created) {
        SetExitCode(ExitCode::ProcessNotCreated);
        ShowLaunchFailure(errorCode);
    }

    process.reset();
    thread.reset();
    desktop.reset();
    winSta.reset();
}
