#pragma once
#include "modCommon.h"

#include <string>

// The whole run: prepares the process, refuses to run outside the Windows NT
// family, and hands the command line over.
void Main();

// Takes the argument text of the process and chooses between the usage message
// (no arguments) and ParseAndRun.
void RunFromCommandLine();

// Splits and validates a trimmed, non-empty argument text, asks for the
// desktop when its name is "?", and starts the command line there.
void ParseAndRun(const std::wstring& argumentText);

// The usage message, with the application header.
void ShowUsage();

// The text that ShowUsage shows.
std::wstring UsageText(const AppInfo& appInfo);
