// How the engine reports to its caller: status texts, found files, the end
// of a walk and the summary. Also owns the found-file list.
#include "search/Notifications.h"

#include <windows.h>

#include <cstdarg>
#include <cstring>
#include <cwchar>

namespace {

// Appends a text and its terminator at at; returns where the copy begins.
WCHAR* PlaceText(WCHAR*& at, const WCHAR* text, size_t length)
{
    WCHAR* begin = at;
    if (length != 0)
        std::memcpy(begin, text, length * sizeof(WCHAR));
    begin[length] = 0;
    at += length + 1;
    return begin;
}

}  // namespace

FoundFile* CopyFoundFile(const FoundFile& record)
{
    const size_t folderLength = record.folder != nullptr ? std::wcslen(record.folder) : 0;
    const size_t nameLength = record.name != nullptr ? std::wcslen(record.name) : 0;
    const size_t size = sizeof(FoundFile) + (folderLength + nameLength + 2) * sizeof(WCHAR);
    FoundFile* copy = static_cast<FoundFile*>(LocalAlloc(LMEM_FIXED, size));
    if (copy == nullptr)
        return nullptr;
    *copy = record;
    copy->next = nullptr;
    WCHAR* texts = reinterpret_cast<WCHAR*>(copy + 1);
    copy->folder = PlaceText(texts, record.folder, folderLength);
    copy->name = PlaceText(texts, record.name, nameLength);
    return copy;
}

void FreeFoundFile(FoundFile* record)
{
    LocalFree(record);
}

Notifier::~Notifier()
{
    FreeFoundFiles();
}

int Notifier::SendStatus(const WCHAR* format, ...)
{
    WCHAR text[4096];
    va_list arguments;
    va_start(arguments, format);
    if (std::vswprintf(text, sizeof text / sizeof text[0], format, arguments) < 0)
        text[sizeof text / sizeof text[0] - 1] = 0;  // cut: the platform leaves what fitted
    va_end(arguments);
    if (sink != nullptr)
        sink->OnStatus(text);
    return GoOn();
}

int Notifier::SendFoundFile(const FoundFile& record)
{
    FoundFile* copy = CopyFoundFile(record);
    if (copy == nullptr)
        return 1;  // nothing to report without a copy; the walk goes on
    copy->next = foundFiles;
    foundFiles = copy;
    if (sink != nullptr)
        sink->OnFoundFile(copy);
    return GoOn();
}

int Notifier::SendSearchEnded()
{
    if (sink != nullptr)
        sink->OnWalkEnded();
    return 1;
}

void Notifier::FreeFoundFiles()
{
    while (foundFiles != nullptr) {
        FoundFile* next = foundFiles->next;
        FreeFoundFile(foundFiles);
        foundFiles = next;
    }
}

int Notifier::SendSummary(const SearchRequest& request)
{
    const long long searched = request.filesSearched;
    const long long matches = request.totalMatches;
    const long long withMatches = request.filesWithMatches;
    if (searched != withMatches && withMatches != matches)
        return SendStatus(L"Searched a total of %lld files, found %lld matches in %lld files", searched, matches,
                          withMatches);
    if (matches != withMatches)
        return SendStatus(L"Found %lld matches in %lld files", matches, withMatches);
    return SendStatus(L"Found %lld matches", matches);
}
