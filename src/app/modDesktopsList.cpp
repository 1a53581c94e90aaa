#include "modDesktopsList.h"

#include "ansiText.h"
#include "frmDesktops.h"
#include "modCommon.h"
#include "platform.h"
#include "texts.h"
#include "uniqueHandle.h"
#include "zentarisupport.h"

#include <cwchar>
#include <optional>
#include <string>
#include <utility>

namespace {

// Filled by the callbacks during one enumeration; the window system calls them
// synchronously on this thread, so one list at a time is all there is.
StringList EnumResults;

BOOL AppendEnumerated(LPSTR name) {
    if (name != nullptr) {
        std::wstring text;
        CheckStatus(zsGetStringFromPointerA(name, text), L"zsGetStringFromPointerA");
        EnumResults.push_back(std::move(text));
    }
    return TRUE;
}

// Moves out what the last enumeration delivered, leaving the list released.
StringList TakeEnumResults() { return std::exchange(EnumResults, StringList{}); }

}  // namespace

BOOL CALLBACK EnumWinStaProc(LPSTR name, LPARAM) { return AppendEnumerated(name); }

BOOL CALLBACK EnumDesktopProc(LPSTR name, LPARAM) { return AppendEnumerated(name); }

void FillDesktopsList(DesktopsListTarget& dialog) {
    EnumResults.clear();
    if (!platform().EnumWindowStationsA(EnumWinStaProc, 1)) {
        EnumResults.clear();
        ShowMessage(texts::kNoWindowStations, kErrorBox);
        return;
    }
    const StringList stationNames = TakeEnumResults();

    StringList displayRows;
    StringList fullNames;
    const size_t n = stationNames.size();
    for (size_t i = 0; i < n; ++i) {
        const std::wstring& station = stationNames[i];
        // The names came from the system in the ANSI code page, and go back in it.
        const std::optional<std::string> ansiStation = ToAnsi(station);
        const UniqueWinSta handle(
            ansiStation ? platform().OpenWindowStationA(ansiStation->c_str(), FALSE, kEnumWinStaAccess) : nullptr);
        if (!handle) {
            continue;
        }
        EnumResults.clear();
        const BOOL enumerated = platform().EnumDesktopsA(handle.get(), EnumDesktopProc, 2);
        const StringList desktops = TakeEnumResults();
        if (!enumerated || desktops.empty()) {
            continue;
        }
        displayRows.push_back(station);
        fullNames.emplace_back();
        for (const std::wstring& desktop : desktops) {
            displayRows.push_back(L"    " + desktop);
            fullNames.push_back(station + L"\\" + desktop);
        }
        // The separator depends only on the station's place in the
        // enumeration, not on whether a later station will be listed.
        if (i + 1 < n) {
            displayRows.emplace_back();
            fullNames.emplace_back();
        }
    }

    for (const std::wstring& row : displayRows) {
        dialog.AddDesktopsRow(row);
    }
    dialog.SetShadowDesktopNames(std::move(fullNames));
}

std::wstring AskForDesktop() {
    frmDesktops dialog;
    // Without a dialog there is no choice to read: reading the empty outcome
    // would pass for a cancel.
    if (!dialog.ShowModal()) {
        EndWithRunTimeError(std::wstring(texts::kFunctionLabel) + L"CreateDialogIndirectParamW");
    }
    std::wstring chosen = dialog.DesktopName;
    dialog.Unload();
    return chosen;
}
