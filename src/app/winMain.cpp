#include "modCommon.h"
#include "modMain.h"

#include <windows.h>

#include <exception>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::set_terminate(EndWithUncaughtException);
    Main();
    return static_cast<int>(GetExitCode());
}
