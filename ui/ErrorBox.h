// The program's one error box: a string of the table with the reason filled in.
#pragma once

#include <windows.h>

// Shows the string stringId, its %1 replaced by the system's text for
// errorCode (or the code's number when the system has none), captioned
// "Trovik", owned by owner. Returns the button pressed.
int ShowErrorBox(HWND owner, UINT stringId, UINT boxType, DWORD errorCode);
