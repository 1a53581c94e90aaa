#pragma once
// What the tests expect the launcher to show, written down once for the unit,
// end-to-end and resource tests. They are the tests' own copy, kept apart from
// the launcher's: a test that compared the launcher with its own texts would
// pass whatever they said.
#include <cwchar>
#include <string>
#include <vector>

// The caption of every message box.
inline const std::wstring kExpectedTitle = L"Launcher";

// The version: as the file version of the resource, and as the launcher and
// the version strings of its resource write it.
inline const std::wstring kExpectedFileVersion = L"1.2.0.18";
inline const std::wstring kExpectedVersionText = L"1.02.0018";

// The refusals of the argument text.
inline const std::wstring kExpectedNotQuoted = L"Имя рабочего стола должно быть заключено в кавычки.";
inline const std::wstring kExpectedEmptyDesktopName = L"Имя рабочего стола не может быть пустым.";
inline const std::wstring kExpectedNoWinStaName = L"Имя оконной станции не указано, хотя обратный слэш присутствует.";
inline const std::wstring kExpectedNoDesktopName = L"Имя рабочего стола не указано, хотя обратный слэш присутствует.";
inline const std::wstring kExpectedTooManyBackslashes =
    L"Имя рабочего стола не может содержать больше одного обратного слэша.";
inline const std::wstring kExpectedEmptyCommandLine = L"Командная строка не должна быть пустой!";

// The usage: a heading, the syntax line after the executable's name, and the
// paragraph that describes it.
inline const std::wstring kExpectedUsageHeading = L"Использование:";
inline const std::wstring kExpectedUsageSyntax = L"[.EXE] \"DesktopName\" CommandLine";
inline const std::wstring kExpectedUsageDescription =
    L"Запустить программу с параметрами, указанными в CommandLine на рабочем столе, указанном в параметре "
    L"DesktopName. Имя рабочего стола может также содержать имя оконной станции, в таком случае имя рабочего стола и "
    L"имя оконной станции должны разделяться обратным слэшем. Если здесь будет указан вопросительный знак, программа "
    L"запросит имя рабочего стола в специальном окне.";

// The refusal on a system outside the Windows NT family.
inline const std::wstring kExpectedNotWindowsNt =
    L"Эта программа может быть запущена только в Windows NT. Это связано с тем, что поддержка нескольких рабочих "
    L"столов реализована только в этой системе.";

// The message of a program that could not be started: this head, then the
// system's error and its description.
inline const std::wstring kExpectedLaunchFailureHead = L"Не удалось запустить программу.";
inline const std::wstring kExpectedErrorLabel = L"Win32 API error: ";
inline const std::wstring kExpectedDescriptionLabel = L"Description: ";
// What stands in for the description of an error that the system does not know.
inline const std::wstring kExpectedUnknownErrorDescription = L"Система не знает описания для этого кода.";

// The message when the window stations cannot be listed.
inline const std::wstring kExpectedEnumerationFailure = L"Не удаётся перечислить оконные станции.";

// The chooser dialog.
inline const std::wstring kExpectedChooserCaption = L"Оконные станции и рабочие столы";
inline const std::wstring kExpectedOkButton = L"Ok";
inline const std::wstring kExpectedCancelButton = L"Отмена";

// The head of the report of an internal error that ends the program.
inline const std::wstring kExpectedRunTimeErrorHead = L"Ошибка времени выполнения.";

// The eight lines of the usage message of an executable of that name (without
// its extension); the copyright is the one that its version resource states.
inline std::vector<std::wstring> ExpectedUsageLines(const std::wstring& exeName, const std::wstring& copyright) {
    return {kExpectedTitle + L" " + kExpectedVersionText,
            copyright,
            L"",
            kExpectedUsageHeading,
            L"",
            exeName + kExpectedUsageSyntax,
            L"",
            kExpectedUsageDescription};
}

// The same lines as the message box shows them: joined by CR LF, none at the end.
inline std::wstring ExpectedUsageText(const std::wstring& exeName, const std::wstring& copyright) {
    const std::vector<std::wstring> lines = ExpectedUsageLines(exeName, copyright);
    std::wstring text = lines.front();
    for (size_t line = 1; line < lines.size(); ++line) {
        text += L"\r\n" + lines[line];
    }
    return text;
}

// The whole message of a launch that failed with the error, which the system
// describes as given.
inline std::wstring ExpectedLaunchFailure(unsigned long error, const std::wstring& description) {
    wchar_t hex[16];
    std::swprintf(hex, 16, L"0x%08lX", error);
    return kExpectedLaunchFailureHead + L"\r\n\r\n" + kExpectedErrorLabel + std::to_wstring(error) + L" (" + hex +
           L")\r\n" + kExpectedDescriptionLabel + description;
}
