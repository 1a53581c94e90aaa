#include "modProcessFlow.h"

#include "ansiText.h"
#include "modCommon.h"
#include "modWinStaAndDesktops.h"
#include "platform.h"
#include "texts.h"
#include "uniqueHandle.h"
#include "zentarisupport.h"

#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>

namespace {

inline constexpr DWORD kCreationFlags = CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS;

// The run's one failure message, and its exit code.
void ShowLaunchFailure(DWORD errorCode) {
    SetExitCode(ExitCode::ProcessNotCreated);
    std::wstring number;
    CheckStatus(zsGetErrorNumber(errorCode, number), L"zsGetErrorNumber");
    std::wstring description;
    CheckStatus(zsGetAPIErrorDescription(errorCode, description), L"zsGetAPIErrorDescription");
    ShowMessage(std::wstring(texts::kLaunchFailed) + L"\r\n\r\n" + texts::kErrorNumberLabel + number + L"\r\n" +
                    texts::kErrorDescriptionLabel + description,
                kErrorBox);
}

// Windows connects a new process to its window station and desktop only at
// its first call into USER32, by the name in lpDesktop, and destroys a window
// station or desktop as soon as its last handle closes. When this run created
// them, its own handles are the only ones, so the new process is given a
// reference of its own to each, before those handles close: the objects then
// live exactly as long as the process. The references carry no access right
// and are not inheritable, so they grant nothing and are never taken for the
// process's connection, which the system opens by name with the rights that
// the program is due. A refused hand-over (a protected process, say) does not
// undo the start.
void HandOverWinStaAndDesktop(const UniqueKernelHandle& process, HWINSTA winSta, HDESK desktop) {
    if (!process) {
        return;
    }
    const HANDLE self = platform().GetCurrentProcess();
    for (const HANDLE object : {static_cast<HANDLE>(winSta), static_cast<HANDLE>(desktop)}) {
        if (object != nullptr) {
            HANDLE reference = nullptr;
            platform().DuplicateHandle(self, object, process.get(), &reference, 0, FALSE, 0);
        }
    }
}

}  // namespace

void RunOnDesktop(const std::wstring& commandLine, std::wstring desktopName) {
    if (desktopName.find(L'\\') == std::wstring::npos) {
        desktopName = GetCurrentWinStaName() + L"\\" + desktopName;
    }

    // Text that the ANSI code page cannot carry whole would start another
    // program, or the same one on another desktop, than the one asked for:
    // nothing is started, and no object is made, with it.
    std::optional<std::string> desktopBytes = ToAnsi(desktopName);
    std::optional<std::string> ansiCommandLine = ToAnsi(commandLine);
    if (!desktopBytes || !ansiCommandLine) {
        ShowLaunchFailure(ERROR_NO_UNICODE_TRANSLATION);
        return;
    }

    // Both stay open across the creation of the process (and, on failure,
    // while its message is shown). A station or desktop that is not there and
    // could not be made ends the run here: Windows would still start the
    // program, which then dies while it starts, unseen by anyone who asked
    // for it. Any other outcome is left to CreateProcessA.
    UniqueWinSta winSta;
    UniqueDesktop desktop;
    if (const std::optional<DWORD> notMade = OpenOrCreateWinStaAndDesktop(desktopName, winSta, desktop)) {
        ShowLaunchFailure(*notMade);
        return;
    }

    STARTUPINFOA startupInfo{};
    startupInfo.cb = sizeof startupInfo;
    startupInfo.lpDesktop = desktopBytes->data();

    std::wstring currentDirectory;
    CheckStatus(zsGetCurrentDirectory(currentDirectory), L"zsGetCurrentDirectory");
    const std::optional<std::string> ansiDirectory = ToAnsi(currentDirectory);
    if (!ansiDirectory) {
        ShowLaunchFailure(ERROR_NO_UNICODE_TRANSLATION);
        return;
    }

    PROCESS_INFORMATION processInformation{};
    const BOOL created =
        platform().CreateProcessA(nullptr, ansiCommandLine->data(), nullptr, nullptr, FALSE, kCreationFlags, nullptr,
                                  ansiDirectory->c_str(), &startupInfo, &processInformation);
    const DWORD errorCode = platform().GetLastError();
    UniqueProcessInformation started(processInformation);

    if (created) {
        HandOverWinStaAndDesktop(started.process, winSta.get(), desktop.get());
    } else {
        ShowLaunchFailure(errorCode);
    }

    started.reset();
    desktop.reset();
    winSta.reset();
}
