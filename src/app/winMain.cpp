#include "modCommon.h"
#include "modMain.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    Main();
    return static_cast<int>(GetExitCode());
}
