// How the engine reports to the window: status texts, found files, the end
// of a walk and the summary. Also owns the found-file list.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/SearchApp.h"
#include "search/SearchRequest.h"

FoundFile* FoundFileList = nullptr;

namespace {

// The window has handled the message; the walk goes on unless a stop is pending.
int GoOn()
{
    return g_searchApp->request.stopRequested == 0 ? 1 : 0;
}

// Length of a text in a fixed field, which may lack its terminator.
size_t FieldLength(const char* field, size_t size)
{
    const void* end = std::memchr(field, 0, size);
    return end ? static_cast<size_t>(static_cast<const char*>(end) - field) : size;
}

}  // namespace

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

int SendStatus(HWND window, const char* format, ...)
{
    char text[4096];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    SendMessageA(window, UM_STATUS, 0, reinterpret_cast<LPARAM>(text));
    return GoOn();
}

int SendFoundFile(HWND window, const FoundFile* record)
{
    FoundFile* copy = static_cast<FoundFile*>(LocalAlloc(LMEM_ZEROINIT, sizeof(FoundFile)));
    if (copy == nullptr)
        return 1;  // nothing to report without a copy; the walk goes on
    *copy = *record;
    copy->next = FoundFileList;
    FoundFileList = copy;
    SendMessageA(window, UM_FOUNDFILE, 0, reinterpret_cast<LPARAM>(copy));
    return GoOn();
}

int PostSearchEnded(HWND window)
{
    PostMessageA(window, UM_RUNNING, 0, 0);
    return 1;
}

void FreeFoundFiles(FoundFile* head)
{
    while (head != nullptr) {
        FoundFile* next = head->next;
        LocalFree(head);
        head = next;
    }
}

int SendSummary(const SearchRequest* request)
{
    const long long searched = request->filesSearched;
    const long long matches = request->totalMatches;
    const long long withMatches = request->filesWithMatches;
    if (searched != withMatches && withMatches != matches)
        return SendStatus(request->notifyWindow,
                          "Searched a total of %lld files, found %lld matches in %lld files",
                          searched, matches, withMatches);
    if (matches != withMatches)
        return SendStatus(request->notifyWindow, "Found %lld matches in %lld files", matches, withMatches);
    return SendStatus(request->notifyWindow, "Found %lld matches", matches);
}
