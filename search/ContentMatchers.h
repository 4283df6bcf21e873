// The content matchers: one file's bytes searched as UTF-16, as RTF plain
// text and as 8-bit text, first finder decides. Pure functions over bytes.
#pragma once

#include <cstddef>

#include "search/SearchRequest.h"

// buffer: the file's bytes followed by at least three zero bytes (the 8-bit
// matcher needs one: buffer[size] is read and must be zero or the end).
// size: the number of file bytes (the full size, not only its low half).
// Returns 0 when no further matcher is to be tried (the text was counted).
typedef int (*ContentMatcher)(const unsigned char* buffer, size_t size,
                              SearchRequest* request, FoundFile* record);

extern const ContentMatcher ContentMatcherTable[3];

int MatchUtf16Text(const unsigned char* buffer, size_t size, SearchRequest* request, FoundFile* record);
int MatchRtfText(const unsigned char* buffer, size_t size, SearchRequest* request, FoundFile* record);
int MatchAnsiText(const unsigned char* buffer, size_t size, SearchRequest* request, FoundFile* record);

// Copies 16-bit units below 256 as bytes of the same value. Stops after the
// terminator (returns the length before it), at a unit of 256 or more
// (returns -1), or after room bytes (returns room, no terminator).
int NarrowText(char* destination, const WCHAR* source, size_t room);
