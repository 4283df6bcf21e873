// What the program's command line asks for: a folder for the Search in box,
// or the usage.
#pragma once

#include <windows.h>

#include <string>

struct CommandLine {
    bool usage = false;   // "/?" or "-?": the usage box instead of the window
    std::wstring folder;  // the folder's full path, for the Search in box; empty for none
};

// Reads the text GetCommandLineW gives: the program, then one folder, quoted
// or not (an unquoted one may hold spaces), relative to the current directory.
CommandLine ReadCommandLine(const WCHAR* commandLine);

// The usage in a box captioned "Trovik".
void ShowUsage();
