// Where a control lies in its parent's client area.
#pragma once

#include <windows.h>

// Maps a rectangle in screen coordinates to window's client coordinates.
void ScreenRectToClient(HWND window, RECT* rect);

// The control's window rectangle in parent's client coordinates; false,
// leaving rect as it was, when there is no such control.
bool ControlRect(HWND parent, HWND control, RECT* rect);
