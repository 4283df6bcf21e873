// What the engine and the window share: the request, the found-file record,
// the list that owns reported records, and the engine's window messages.
#pragma once

#include "search/PlatformTypes.h"

struct SearchRequest {
    const WCHAR* filePattern;   // never empty; at most 259 units
    const WCHAR* searchText;    // may be empty; at most 259 units, as typed
    long long totalMatches;     // counters are 64-bit: one large file may hold billions
    long long filesWithMatches;
    long long filesSearched;
    HWND notifyWindow;
    int includeSubfolders;
    int running;
    int stopRequested;
    int matchCase;              // 0: letters compare by the simple case mapping
};

struct FoundFile {
    char name[260];
    char folder[260];
    long long matchCount;
    FILETIME lastWriteTime;
    DWORD sizeLow;
    DWORD sizeHigh;
    FoundFile* next;
    INT_PTR openStatus;         // -1 when the file could not be opened
    DWORD openError;            // why it could not: a system error code or an OpenFailure; else 0
    int reading;                // the ReadingKind that found the file; 0 when none read it
};

// The walk's own reasons for not opening a file, kept in openError beside the
// system's error codes. Bit 29 marks codes that are not the system's: the
// platform leaves it to applications, so the two never collide.
enum OpenFailure : DWORD {
    FailureNameNotSpelled = 0x20000001,  // the code page cannot spell the name
    FailureDeviceName = 0x20000002,      // the name opens a device, not the file
    FailureNotDiskFile = 0x20000003,     // the name opens something other than a disk file
    FailureNameNotOwn = 0x20000004,      // the name resolves to another entry (a trailing dot or space)
};

// The full size of a record's file (both halves).
inline unsigned long long FoundFileSize(const FoundFile& record)
{
    return (static_cast<unsigned long long>(record.sizeHigh) << 32) | record.sizeLow;
}

// Joins folder, backslash and name into path[260]. Returns false, leaving an
// empty path, when the joined path does not fit: it is never truncated.
bool FullPath(const FoundFile& record, char (&path)[260]);

#ifdef _WIN32

enum {
    UM_STATUS = 3070,       // lParam: const char* text, valid during the call
    UM_FOUNDFILE = 3071,    // lParam: FoundFile* owned by the found-file list
    UM_RUNNING = 3072,      // wParam: 1 starting, 0 ended by itself
};

// Head of the found-file list, newest first. Owns every record sent.
extern FoundFile* FoundFileList;

// Each returns 1 when the walk may go on (no stop pending after the send), else 0.
int SendStatus(HWND window, const char* format, ...);
int SendFoundFile(HWND window, const FoundFile* record);
int PostSearchEnded(HWND window);
int SendSummary(const SearchRequest* request);

// Releases every record from head on; the caller clears the head.
void FreeFoundFiles(FoundFile* head);

#endif
