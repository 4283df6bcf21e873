// The program's module and its string table.
#include "ui/AppInstance.h"

#include <cstdio>

HINSTANCE AppInstance()
{
    return GetModuleHandleA(nullptr);
}

void LoadText(HINSTANCE instance, UINT id, const char* fallback, char (&text)[256])
{
    if (LoadStringA(instance, id, text, sizeof text) <= 0)
        std::snprintf(text, sizeof text, "%s", fallback);
}
