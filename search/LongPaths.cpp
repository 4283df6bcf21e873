// Full paths in the form the wide calls take at any length.
#include "search/LongPaths.h"

#include <cstring>

#include "search/SearchRequest.h"

size_t LongPathForm(const WCHAR* path, WCHAR* out, size_t room)
{
    const size_t length = std::wcslen(path);
    const WCHAR* prefix = L"\\\\?\\";
    const WCHAR* rest = path;
    if (path[0] == L'\\' && path[1] == L'\\') {
        // "\\?\..." and "\\.\..." are taken as they are; "\\server\share" is a UNC path.
        if ((path[2] == L'?' || path[2] == L'.') && path[3] == L'\\')
            prefix = L"";
        else {
            prefix = L"\\\\?\\UNC\\";
            rest = path + 2;
        }
    }
    const size_t prefixLength = std::wcslen(prefix);
    const size_t restLength = length - static_cast<size_t>(rest - path);
    if (prefixLength + restLength + 1 > room)
        return 0;
    std::memmove(out + prefixLength, rest, (restLength + 1) * sizeof(WCHAR));
    std::memcpy(out, prefix, prefixLength * sizeof(WCHAR));
    return prefixLength + restLength;
}

std::wstring LongPathForm(const std::wstring& path)
{
    std::wstring form(path.size() + 8, L'\0');
    form.resize(LongPathForm(path.c_str(), &form[0], form.size()));
    return form;
}

std::wstring FullPath(const FoundFile& record)
{
    std::wstring path = record.folder != nullptr ? record.folder : L"";
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
    if (record.name != nullptr)
        path += record.name;
    return path;
}

std::wstring ShellPath(const FoundFile& record)
{
    const std::wstring path = FullPath(record);
    if (path.size() < MAX_PATH) {
        // The platform's reading of the path: a device for "con", the
        // neighbour for "x.txt.".
        WCHAR resolved[MAX_PATH];
        const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, resolved, nullptr);
        if (length == path.size() && path.compare(resolved) == 0)
            return path;
    }
    return LongPathForm(path);
}
