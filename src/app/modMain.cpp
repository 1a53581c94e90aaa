#include "modMain.h"

#include "argumentText.h"
#include "modCommon.h"
#include "modDesktopsList.h"
#include "modProcessFlow.h"
#include "platform.h"
#include "zentarisupport.h"

namespace {

std::wstring TrimEx(std::wstring_view text) {
    std::wstring trimmed;
    CheckStatus(zsTrimEx(text, trimmed), L"zsTrimEx");
    return trimmed;
}

const wchar_t* ArgumentMessage(ArgumentError error) {
    switch (error) {
    case ArgumentError::None:
        break;
    case ArgumentError::NotQuoted:
        return L"Имя рабочего стола должно быть заключено в кавычки.";
    case ArgumentError::EmptyDesktopName:
        return L"Имя рабочего стола не может быть пустым.";
    case ArgumentError::NoWinStaName:
        return L"Имя оконной станции не указано, хотя обратный слэш присутствует.";
    case ArgumentError::NoDesktopName:
        return L"Имя рабочего стола не указано, хотя обратный слэш присутствует.";
    case ArgumentError::TooManyBackslashes:
        return L"Имя рабочего стола не может содержать больше одного обратного слэша.";
    case ArgumentError::EmptyCommandLine:
        return L"Командная строка не должна быть пустой!";
    }
    return L"";
}

}  // namespace

void Main() {
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
        ShowMessage(
            L"Эта программа может быть запущена только в Windows NT. Это связано с тем, что поддержка "
            L"нескольких рабочих столов реализована только в этой системе.",
            kErrorBox);
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
        ShowMessage(ArgumentMessage(parsed.error), kErrorBox);
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
    return GetAppHeader(appInfo) + L"\r\n\r\nИспользование:\r\n\r\n" + appInfo.exeName +
           L"[.EXE] \"DesktopName\" CommandLine\r\n\r\n"
           L"Запустить программу с параметрами, указанными в CommandLine на рабочем столе, указанном в параметре "
           L"DesktopName. Имя рабочего стола может также содержать имя оконной станции, в таком случае имя "
           L"рабочего стола и имя оконной станции должны разделяться обратным слэшем. Если здесь будет указан "
           L"вопросительный знак, программа запросит имя рабочего стола в специальном окне.";
}

void ShowUsage() { ShowMessage(UsageText(ApplicationInfo()), kInformationBox); }
