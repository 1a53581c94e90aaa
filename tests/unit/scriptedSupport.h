#pragma once
// A scripted stand-in for the support library, linked in its place by the
// start-up tests. Each function writes its name into the fake system's log
// (so that the order against the system's calls shows), returns the status
// that the script gives it (Ok when none), and on Ok yields the script's value.
// zsTrimEx is the real one.
#include "zentarisupport.h"

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

struct SupportScript {
    std::map<std::string, ZsStatus> statuses;
    bool inIde = false;
    HWND mainWindow = nullptr;
    bool isWinNT = true;
    std::wstring currentDirectory = L"C:\\Work";
    // What zsSetWindowResIconAll was given, one entry a call.
    std::vector<std::pair<HWND, std::wstring>> iconsSet;
};

// The script in force; tests reset it before each run.
SupportScript& supportScript();
