#include "modMain.h"

#include "argumentText.h"
#include "modCommon.h"
#include "modDesktopsList.h"
#include "modProcessFlow.h"
#include "platform.h"
#include "texts.h"
#include "zentarisupport.h"

#include <windows.h>

#include <array>
#include <cwchar>
#include <string_view>
#include <utility>

namespace {

std::wstring TrimEx(std::wstring_view text) {
    std::wstring trimmed;
    CheckStatus(zsTrimEx(text, trimmed), L"zsTrimEx");
    return trimmed;
}

}  // namespace

void Main() {
    // Before anything can load a DLL: the DLLs that Windows loads on the
    // launcher's behalf come from System32 only, never from the folder the
    // launcher was unpacked into (often Downloads). Where the system cannot
    // narrow the search, it keeps its own.
    platform().SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    bool registered = false;
    CheckStatus(zsRegisterAppPath(registered), L"zsRegisterAppPath");
    platform().InitCommonControls();

    bool inIde = false;
    CheckStatus(zsIsInIDE(inIde), L"zsIsInIDE");
    if (!inIde) {
        HWND mainWindow = nullptr;
        CheckStatus(zsGetThunderMainHandle(mainWindow), L"zsGetThunderMainHandle");
        // This toolkit keeps no hidden main window, so there is nothing to
        // put the icon on.
        if (mainWindow != nullptr) {
            CheckStatus(zsSetWindowResIconAll(mainWindow, L"A_MAIN"), L"zsSetWindowResIconAll");
        }
    }

    bool isWinNT = false;
    CheckStatus(zsIsHostWinNT(isWinNT), L"zsIsHostWinNT");
    if (!isWinNT) {
        SetExitCode(ExitCode::NotWindowsNT);
        ShowMessage(texts::kNotWindowsNT, kErrorBox);
        return;
    }
    RunFromCommandLine();
}

void RunFromCommandLine() {
    const std::wstring commandLine = platform().CommandLine();
    const std::wstring argumentText = TrimEx(ArgumentTextOf(commandLine));
    if (argumentText.empty()) {
        ShowUsage();
    } else {
        ParseAndRun(argumentText);
    }
}

void ParseAndRun(const std::wstring& argumentText) {
    ParsedArguments parsed = ParseArgumentText(argumentText, TrimEx);
    if (parsed.error != ArgumentError::None) {
        SetExitCode(ExitCode::ArgumentRejected);
        ShowMessage(texts::kArgumentMessages[static_cast<size_t>(parsed.error)], kErrorBox);
        return;
    }
    if (parsed.desktopName == L"?") {
        std::wstring chosen = AskForDesktop();
        if (chosen.empty()) {
            SetExitCode(ExitCode::ChoiceCancelled);
            return;
        }
        parsed.desktopName = std::move(chosen);
    }
    RunOnDesktop(parsed.commandLine, std::move(parsed.desktopName));
}

std::wstring UsageText(const AppInfo& appInfo) {
    return GetAppHeader(appInfo) + L"\r\n\r\n" + texts::kUsageHeading + L"\r\n\r\n" + appInfo.exeName +
           texts::kUsageSyntax + L"\r\n\r\n" + texts::kUsageDescription;
}

void ShowUsage() { ShowMessage(UsageText(ApplicationInfo()), kInformationBox); }
