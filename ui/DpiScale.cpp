// Scaling to the screen's resolution.
#include "ui/DpiScale.h"

// The program is aware of the system's resolution only (see the manifest),
// so this is the same for every window and for the whole run.
int ScaleToScreen(HWND window, int pixels)
{
    HDC dc = GetDC(window);
    const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
    if (dc != nullptr)
        ReleaseDC(window, dc);
    return dpi > 0 ? MulDiv(pixels, dpi, 96) : pixels;
}
