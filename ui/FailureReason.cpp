// Turns the walk's reason for a failed file into the text the user reads:
// the system's description of its error code, or one of the program's own.
#include "ui/FailureReason.h"

#include <cwchar>

#include "res/resource.h"
#include "search/SearchRequest.h"
#include "ui/AppInstance.h"

namespace FailureReason {

namespace {

// The system's text ends in a line break, which a tooltip or a cell must not show.
void TrimEnd(WCHAR* text)
{
    size_t length = std::wcslen(text);
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' '))
        text[--length] = 0;
}

// "<the system's text> (error <code>)"; only the number when the system has no text.
void SystemErrorText(DWORD error, WCHAR* buffer, size_t size)
{
    WCHAR description[512] = L"";
    if (FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, description,
                       512, nullptr) == 0)
        description[0] = 0;
    TrimEnd(description);
    WCHAR format[256];
    if (LoadStringW(AppInstance(), IDS_REASON_SYSTEM_ERROR, format, 256) <= 0)
        lstrcpyW(format, L"%1 (error %2!lu!)");
    DWORD_PTR arguments[2] = {reinterpret_cast<DWORD_PTR>(description), static_cast<DWORD_PTR>(error)};
    WCHAR text[768];
    if (FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, format, 0, 0, text, 768,
                       reinterpret_cast<va_list*>(arguments)) == 0)
        std::swprintf(text, 768, L"%ls (error %lu)", description, static_cast<unsigned long>(error));
    const WCHAR* start = text;
    while (*start == L' ')  // no description: the number alone
        ++start;
    lstrcpynW(buffer, start, static_cast<int>(size));
}

}  // namespace

void Text(const FoundFile& record, WCHAR* buffer, size_t size)
{
    if (buffer == nullptr || size == 0)
        return;
    buffer[0] = 0;
    if (record.openStatus != -1 || record.openError == 0)
        return;
    if (record.openError != FailureNotDiskFile) {
        SystemErrorText(record.openError, buffer, size);
        return;
    }
    const int limit = size < 1024 ? static_cast<int>(size) : 1024;
    if (LoadStringW(AppInstance(), IDS_REASON_NOT_DISK_FILE, buffer, limit) <= 0)
        buffer[0] = 0;
}

}  // namespace FailureReason
