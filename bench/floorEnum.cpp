// The floors of the chooser, built two ways from this one source:
//   floorEnum  the enumeration that the chooser's list is made of
//              (EnumWindowStationsA, then OpenWindowStationA and EnumDesktopsA
//              for each station) and nothing else;
//   floorList  the same with what no chooser can leave out around it: the
//              common controls, and a visible window holding the rows (a bare
//              list box, no dialog).
#include "benchShared.h"

#include <windows.h>

#include <string>
#include <vector>

#ifdef FLOOR_LIST
#include <commctrl.h>
#endif

namespace {

BOOL CALLBACK Collect(LPSTR name, LPARAM list) {
    reinterpret_cast<std::vector<std::string>*>(list)->emplace_back(name);
    return TRUE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
#ifdef FLOOR_LIST
    InitCommonControls();
#endif
    std::vector<std::string> stations;
    if (!EnumWindowStationsA(Collect, reinterpret_cast<LPARAM>(&stations))) {
        return 2;
    }
    std::vector<std::string> rows;
    for (const std::string& station : stations) {
        const HWINSTA handle = OpenWindowStationA(const_cast<char*>(station.c_str()), FALSE, 0x101);
        if (handle == nullptr) {
            continue;
        }
        std::vector<std::string> desktops;
        if (EnumDesktopsA(handle, Collect, reinterpret_cast<LPARAM>(&desktops)) && !desktops.empty()) {
            rows.push_back(station);
            for (const std::string& desktop : desktops) {
                rows.push_back("    " + desktop);
            }
            rows.emplace_back();
        }
        CloseWindowStation(handle);
    }
#ifdef FLOOR_LIST
    const HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "floorList",
                                      WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 100, 100,
                                      441, 281, nullptr, nullptr, nullptr, nullptr);
    for (const std::string& row : rows) {
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
    }
    ShowWindow(list, SW_SHOW);
    // Until the driver closes it.
    MSG message;
    while (IsWindow(list) && GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    return 0;
#else
    const LONGLONG done = BenchNow();
    BenchShared* shared = OpenBenchShared();
    if (shared == nullptr) {
        return 3;
    }
    shared->marks[kEnumerated] = done;
    shared->rows = static_cast<LONG>(rows.size());
    UnmapViewOfFile(shared);
    return SignalBench("-floor") ? 0 : 4;
#endif
}
