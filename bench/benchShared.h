#pragma once
// How the benchmark's helper programs report back to the driver: a named file
// mapping, whose name the driver puts in BENCH_SHARED, and a named event per
// kind of report. Only kernel32, so that a helper's own start stays as small
// as it can be.
#include <windows.h>

struct BenchShared {
    LONGLONG probeEntry;  // QueryPerformanceCounter at the probe's entry
    LONGLONG marks[8];    // the same clock after each start-up step of a floor
    LONG rows;            // rows that the enumeration floor would list
};

// What each mark of floorSteps and floorEnum stands for.
enum BenchMark { kEntry, kAdvapi32, kUser32, kCommonControls, kStationName, kOpened, kCreated, kEnumerated };

inline LONGLONG BenchNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

inline BenchShared* OpenBenchShared() {
    char name[128];
    const DWORD length = GetEnvironmentVariableA("BENCH_SHARED", name, sizeof name);
    if (length == 0 || length >= sizeof name) {
        return nullptr;
    }
    const HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (mapping == nullptr) {
        return nullptr;
    }
    // The view outlives the handle; the driver holds the mapping itself.
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(BenchShared));
    CloseHandle(mapping);
    return static_cast<BenchShared*>(view);
}

// The event is the mapping's name with a suffix: "-probe" or "-floor".
inline bool SignalBench(const char* suffix) {
    char name[160];
    const DWORD length = GetEnvironmentVariableA("BENCH_SHARED", name, 128);
    if (length == 0 || length >= 128) {
        return false;
    }
    lstrcatA(name, suffix);
    const HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
    if (event == nullptr) {
        return false;
    }
    const bool set = SetEvent(event) != FALSE;
    CloseHandle(event);
    return set;
}
