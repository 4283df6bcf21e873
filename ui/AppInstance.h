// The module whose resources the window's parts show, and a string of its table.
#pragma once

#include <windows.h>

// The program's own module: its dialog, strings, icon and bitmap are linked in.
HINSTANCE AppInstance();

// A string of instance's table; the given text when the table cannot give it.
void LoadText(HINSTANCE instance, UINT id, const char* fallback, char (&text)[256]);
