// What the engine and its callers share: the request and the found-file record.
#pragma once

#include <cstddef>

#include "search/PlatformTypes.h"

struct SearchRequest {
    const WCHAR* filePattern;   // never empty; at most 259 units
    const WCHAR* searchText;    // may be empty; at most 259 units, as typed
    long long totalMatches;     // counters are 64-bit: one large file may hold billions
    long long filesWithMatches;
    long long filesSearched;
    int includeSubfolders;
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

// Length of a text in a fixed field, which may lack its terminator.
size_t FieldLength(const char* field, size_t size);

// Joins folder, backslash and name into path[260]. Returns false, leaving an
// empty path, when the joined path does not fit: it is never truncated.
bool FullPath(const FoundFile& record, char (&path)[260]);
