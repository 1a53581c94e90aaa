#include "zentarisupport.h"

#include <windows.h>

ZsStatus zsIsInIDE(bool& inIde) {
    inIde = false;
    return ZsStatus::Ok;
}

ZsStatus zsGetThunderMainHandle(HWND& mainWindow) {
    mainWindow = nullptr;
    return ZsStatus::Ok;
}

ZsStatus zsIsHostWinNT(bool& isWinNT) {
    OSVERSIONINFOEXW wanted{};
    wanted.dwOSVersionInfoSize = sizeof wanted;
    wanted.dwPlatformId = VER_PLATFORM_WIN32_NT;
    const ULONGLONG condition = VerSetConditionMask(0, VER_PLATFORMID, VER_EQUAL);
    isWinNT = VerifyVersionInfoW(&wanted, VER_PLATFORMID, condition) != FALSE;
    return ZsStatus::Ok;
}
