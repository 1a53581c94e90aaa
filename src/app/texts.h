#pragma once
// Every text that the launcher shows the user: messages, captions and button
// texts, here and nowhere else. The application title and the copyright line,
// which the version resource carries too, come from the generated version.h.
#include "argumentText.h"

#include <array>

namespace texts {

inline constexpr const wchar_t* kNotWindowsNT =
    L"Эта программа может быть запущена только в Windows NT. Это связано с тем, что поддержка нескольких рабочих "
    L"столов реализована только в этой системе.";

// The message for each ArgumentError, in the order of its values.
inline constexpr std::array<const wchar_t*, 7> kArgumentMessages = {
    L"",
    L"Имя рабочего стола должно быть заключено в кавычки.",
    L"Имя рабочего стола не может быть пустым.",
    L"Имя оконной станции не указано, хотя обратный слэш присутствует.",
    L"Имя рабочего стола не указано, хотя обратный слэш присутствует.",
    L"Имя рабочего стола не может содержать больше одного обратного слэша.",
    L"Командная строка не должна быть пустой!",
};
static_assert(static_cast<size_t>(ArgumentError::EmptyCommandLine) + 1 == kArgumentMessages.size());

// The usage: header, kUsageHeading, the executable's name with kUsageSyntax,
// then kUsageDescription, one paragraph that the message box wraps.
inline constexpr const wchar_t* kUsageHeading = L"Использование:";
inline constexpr const wchar_t* kUsageSyntax = L"[.EXE] \"DesktopName\" CommandLine";
inline constexpr const wchar_t* kUsageDescription =
    L"Запустить программу с параметрами, указанными в CommandLine на рабочем столе, указанном в параметре "
    L"DesktopName. Имя рабочего стола может также содержать имя оконной станции, в таком случае имя рабочего стола "
    L"и имя оконной станции должны разделяться обратным слэшем. Если здесь будет указан вопросительный знак, "
    L"программа запросит имя рабочего стола в специальном окне.";

// A failed start: kLaunchFailed, a blank line, then the system's error.
inline constexpr const wchar_t* kLaunchFailed = L"Не удалось запустить программу.";
inline constexpr const wchar_t* kErrorNumberLabel = L"Win32 API error: ";
inline constexpr const wchar_t* kErrorDescriptionLabel = L"Description: ";

inline constexpr const wchar_t* kNoWindowStations = L"Не удаётся перечислить оконные станции.";

inline constexpr const wchar_t* kChooserCaption = L"Оконные станции и рабочие столы";
inline constexpr const wchar_t* kOkButton = L"Ok";
inline constexpr const wchar_t* kCancelButton = L"Отмена";

// The run-time error report: kRunTimeError, a blank line, then what failed.
inline constexpr const wchar_t* kRunTimeError = L"Ошибка времени выполнения.";
inline constexpr const wchar_t* kFunctionLabel = L"Функция: ";
inline constexpr const wchar_t* kStatusLabel = L"Состояние: ";
inline constexpr const wchar_t* kUncaughtException = L"Исключение C++ не обработано.";

}  // namespace texts
