// How the engine reports to its caller: status texts, found files, the end
// of a walk and the summary. Also owns the found-file list.
#include "search/Notifications.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

size_t FieldLength(const char* field, size_t size)
{
    const void* end = std::memchr(field, 0, size);
    return end ? static_cast<size_t>(static_cast<const char*>(end) - field) : size;
}

bool FullPath(const FoundFile& record, char (&path)[260])
{
    const size_t folderLength = FieldLength(record.folder, sizeof record.folder);
    const size_t nameLength = FieldLength(record.name, sizeof record.name);
    if (folderLength + 1 + nameLength + 1 > sizeof path) {
        path[0] = 0;
        return false;
    }
    std::memcpy(path, record.folder, folderLength);
    path[folderLength] = '\\';
    std::memcpy(path + folderLength + 1, record.name, nameLength);
    path[folderLength + 1 + nameLength] = 0;
    return true;
}

Notifier::~Notifier()
{
    FreeFoundFiles();
}

int Notifier::SendStatus(const char* format, ...)
{
    char text[4096];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (sink != nullptr)
        sink->OnStatus(text);
    return GoOn();
}

int Notifier::SendFoundFile(const FoundFile& record)
{
    FoundFile* copy = static_cast<FoundFile*>(LocalAlloc(LMEM_ZEROINIT, sizeof(FoundFile)));
    if (copy == nullptr)
        return 1;  // nothing to report without a copy; the walk goes on
    *copy = record;
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
        LocalFree(foundFiles);
        foundFiles = next;
    }
}

int Notifier::SendSummary(const SearchRequest& request)
{
    const long long searched = request.filesSearched;
    const long long matches = request.totalMatches;
    const long long withMatches = request.filesWithMatches;
    if (searched != withMatches && withMatches != matches)
        return SendStatus("Searched a total of %lld files, found %lld matches in %lld files", searched, matches,
                          withMatches);
    if (matches != withMatches)
        return SendStatus("Found %lld matches in %lld files", matches, withMatches);
    return SendStatus("Found %lld matches", matches);
}
