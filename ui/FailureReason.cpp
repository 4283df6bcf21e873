// Turns the walk's reason for a failed file into the text the user reads:
// the system's description of its error code, or one of the program's own.
#include "ui/FailureReason.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "res/resource.h"
#include "search/SearchRequest.h"
#include "ui/AppInstance.h"

namespace FailureReason {

namespace {

// The system's text ends in a line break, which a tooltip or a cell must not show.
void TrimEnd(char* text)
{
    size_t length = std::strlen(text);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' '))
        text[--length] = 0;
}

// "<the system's text> (error <code>)"; only the number when the system has no text.
void SystemErrorText(DWORD error, char* buffer, size_t size)
{
    char description[512] = "";
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, description,
                       sizeof description, nullptr) == 0)
        description[0] = 0;
    TrimEnd(description);
    char format[256];
    if (LoadStringA(AppInstance(), IDS_REASON_SYSTEM_ERROR, format, sizeof format) <= 0)
        std::snprintf(format, sizeof format, "%%1 (error %%2!lu!)");
    DWORD_PTR arguments[2] = {reinterpret_cast<DWORD_PTR>(description), static_cast<DWORD_PTR>(error)};
    char text[768];
    if (FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, format, 0, 0, text, sizeof text,
                       reinterpret_cast<va_list*>(arguments)) == 0)
        std::snprintf(text, sizeof text, "%s (error %lu)", description, static_cast<unsigned long>(error));
    char* start = text;
    while (*start == ' ')  // no description: the number alone
        ++start;
    std::snprintf(buffer, size, "%s", start);
}

}  // namespace

void Text(const FoundFile& record, char* buffer, size_t size)
{
    if (buffer == nullptr || size == 0)
        return;
    buffer[0] = 0;
    if (record.openStatus != -1 || record.openError == 0)
        return;
    UINT own = 0;
    switch (record.openError) {
    case FailureNameNotSpelled: own = IDS_REASON_NAME_NOT_SPELLED; break;
    case FailureDeviceName: own = IDS_REASON_DEVICE_NAME; break;
    case FailureNotDiskFile: own = IDS_REASON_NOT_DISK_FILE; break;
    case FailureNameNotOwn: own = IDS_REASON_NAME_NOT_OWN; break;
    default: break;
    }
    if (own == 0) {
        SystemErrorText(record.openError, buffer, size);
        return;
    }
    const int limit = size < 1024 ? static_cast<int>(size) : 1024;
    if (LoadStringA(AppInstance(), own, buffer, limit) <= 0)
        buffer[0] = 0;
}

}  // namespace FailureReason
