// The error box: the table's text with the system's reason in it.
#include "ui/ErrorBox.h"

#include <cstdio>

#include "ui/AppInstance.h"

namespace {

const char ErrorCaption[] = "Trovik";

}  // namespace

int ShowErrorBox(HWND owner, UINT stringId, UINT boxType, DWORD errorCode)
{
    char* systemText = nullptr;
    char number[16];
    const char* reason = number;
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, errorCode, 0, reinterpret_cast<char*>(&systemText), 0, nullptr) != 0 &&
        systemText != nullptr)
        reason = systemText;
    else
        std::snprintf(number, sizeof number, "%lu", static_cast<unsigned long>(errorCode));

    char format[256];
    LoadText(AppInstance(), stringId, "%1", format);
    char* text = nullptr;
    DWORD_PTR arguments[1] = {reinterpret_cast<DWORD_PTR>(reason)};
    if (FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                       format, 0, 0, reinterpret_cast<char*>(&text), 0,
                       reinterpret_cast<va_list*>(arguments)) == 0)
        text = nullptr;

    const int result = MessageBoxA(owner, text != nullptr ? text : reason, ErrorCaption, boxType);
    LocalFree(text);
    LocalFree(systemText);
    return result;
}
