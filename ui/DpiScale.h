// Lengths at 96 DPI scaled to the screen's resolution.
#pragma once

#include <windows.h>

// A length in pixels at 96 DPI, scaled to the screen resolution of window.
int ScaleToScreen(HWND window, int pixels);
