// The command line: a folder to start with, or the usage.
#include "app/CommandLine.h"

#include <shellapi.h>

#include "res/resource.h"
#include "ui/AppInstance.h"

namespace {

bool IsBlank(WCHAR c)
{
    return c == L' ' || c == L'\t';
}

// The arguments as written after the program's name: the name is quoted up
// to the next quote, or ends at the first blank, and takes no escapes.
const WCHAR* Arguments(const WCHAR* commandLine)
{
    const WCHAR* at = commandLine;
    if (*at == L'"') {
        ++at;
        while (*at != 0 && *at != L'"')
            ++at;
        if (*at == L'"')
            ++at;
    } else {
        while (*at != 0 && !IsBlank(*at))
            ++at;
    }
    while (IsBlank(*at))
        ++at;
    return at;
}

// The folder as written: a quoted one up to its closing quote, taken as it
// stands (Explorer passes a drive as "C:\", whose backslash the system's
// splitting would read as an escaped quote); an unquoted one whole, spaces
// inside kept, blanks at its end dropped.
std::wstring FolderText(const WCHAR* arguments)
{
    if (*arguments == L'"') {
        const WCHAR* end = arguments + 1;
        while (*end != 0 && *end != L'"')
            ++end;
        return std::wstring(arguments + 1, end);
    }
    std::wstring folder(arguments);
    while (!folder.empty() && IsBlank(folder.back()))
        folder.pop_back();
    return folder;
}

std::wstring FullPath(const std::wstring& folder)
{
    const DWORD size = GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return folder;  // the search reports it
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(folder.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return folder;
    full.resize(length);
    return full;
}

}  // namespace

CommandLine ReadCommandLine(const WCHAR* commandLine)
{
    CommandLine result;
    if (commandLine == nullptr)
        return result;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine, &count);
    if (arguments == nullptr)
        return result;
    const bool usage = count == 2 && (lstrcmpW(arguments[1], L"/?") == 0 || lstrcmpW(arguments[1], L"-?") == 0);
    LocalFree(arguments);
    if (usage) {
        result.usage = true;
        return result;
    }
    if (count < 2)
        return result;
    const std::wstring folder = FolderText(Arguments(commandLine));
    if (!folder.empty())
        result.folder = FullPath(folder);
    return result;
}

void ShowUsage()
{
    char text[256];
    LoadText(AppInstance(), IDS_USAGE, "Usage: Trovik.exe [folder]", text);
    MessageBoxA(nullptr, text, "Trovik", MB_ICONINFORMATION | MB_OK);
}
