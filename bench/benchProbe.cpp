// What the launcher and the floors start: it takes the time first thing,
// hands it to the driver and ends. It opens no window and imports nothing
// beyond kernel32, so that it costs the same after every starter.
#include "benchShared.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const LONGLONG entry = BenchNow();
    BenchShared* shared = OpenBenchShared();
    if (shared == nullptr) {
        return 2;
    }
    shared->probeEntry = entry;
    UnmapViewOfFile(shared);
    return SignalBench("-probe") ? 0 : 3;
}
