// What the engine and its callers share: the request and the found-file record.
#pragma once

#include <cstddef>

#include "search/PlatformTypes.h"

struct SearchRequest {
    const WCHAR* filePattern;   // never empty; at most 259 units
    const WCHAR* searchText;    // may be empty; at most 259 units, as typed
    const WCHAR* folder;        // where the walk starts, any length; null: the current directory
    long long totalMatches;     // counters are 64-bit: one large file may hold billions
    long long filesWithMatches;
    long long filesSearched;
    int includeSubfolders;
    int matchCase;              // 0: letters compare by the simple case mapping
};

// One reported file. name and folder may be of any length (a folder up to the
// platform's 32,767 units); a record the found-file list owns holds both
// texts in its own block, right after its fields (CopyFoundFile).
struct FoundFile {
    const WCHAR* name;
    const WCHAR* folder;
    long long matchCount;
    FILETIME lastWriteTime;
    DWORD sizeLow;
    DWORD sizeHigh;
    FoundFile* next;
    INT_PTR openStatus;         // -1 when the file (or a folder) could not be opened
    DWORD openError;            // why it could not: a system error code or an OpenFailure; else 0
    int reading;                // the ReadingKind that found the file; 0 when none read it
};

// The walk's own reasons for not opening a file, kept in openError beside the
// system's error codes. Bit 29 marks codes that are not the system's: the
// platform leaves it to applications, so the two never collide.
enum OpenFailure : DWORD {
    FailureNotDiskFile = 0x20000003,     // the name opens something other than a disk file
};

// The full size of a record's file (both halves).
inline unsigned long long FoundFileSize(const FoundFile& record)
{
    return (static_cast<unsigned long long>(record.sizeHigh) << 32) | record.sizeLow;
}

// A copy of the record and its two texts in one block of its own, freed with
// FreeFoundFile; null without memory. The copy's next is null.
FoundFile* CopyFoundFile(const FoundFile& record);
void FreeFoundFile(FoundFile* record);
