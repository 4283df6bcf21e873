// Control rectangles in their parent's client coordinates.
#include "ui/ControlRect.h"

void ScreenRectToClient(HWND window, RECT* rect)
{
    ScreenToClient(window, reinterpret_cast<POINT*>(&rect->left));
    ScreenToClient(window, reinterpret_cast<POINT*>(&rect->right));
}

bool ControlRect(HWND parent, HWND control, RECT* rect)
{
    RECT screen;
    if (!control || !GetWindowRect(control, &screen))
        return false;
    ScreenRectToClient(parent, &screen);
    *rect = screen;
    return true;
}
