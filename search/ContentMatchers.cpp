// The UTF-16 and 8-bit matchers, the matcher table and the narrowing of
// search texts. Occurrences are exact, case-sensitive and never overlap.
#include "search/ContentMatchers.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "search/TextScan.h"

const ContentMatcher ContentMatcherTable[3] = {
    MatchUtf16Text,
    MatchRtfText,
    MatchAnsiText,
};

namespace {

size_t TextLength(const WCHAR* text)
{
    size_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

void CountOccurrence(SearchRequest* request, FoundFile* record)
{
    request->totalMatches += 1;
    record->matchCount += 1;
}

}  // namespace

int NarrowText(char* destination, const WCHAR* source, size_t room)
{
    for (size_t i = 0; i < room; ++i) {
        unsigned unit = static_cast<unsigned>(source[i]);
        if (unit >= 256)
            return -1;
        destination[i] = static_cast<char>(unit);
        if (unit == 0)
            return static_cast<int>(i);
    }
    return static_cast<int>(room);
}

int MatchUtf16Text(const unsigned char* buffer, size_t size, SearchRequest* request, FoundFile* record)
{
    const WCHAR* text = request->searchText;
    const size_t textLength = TextLength(text);
    if (textLength == 0)
        return 1;
    std::uint16_t local[256];
    std::uint16_t* pattern = textLength <= 256 ? local
                                               : static_cast<std::uint16_t*>(std::malloc(textLength * sizeof *pattern));
    if (pattern == nullptr)
        return 1;
    for (size_t i = 0; i < textLength; ++i)
        pattern[i] = static_cast<std::uint16_t>(text[i]);

    // The three zero bytes after the data hold a zero unit at an even offset,
    // at unit (size + 1) / 2 at the latest.
    const size_t units = FindZeroUnit(buffer, (size + 1) / 2 + 1);
    int found = 0;
    for (size_t at = FindUnits(buffer, units, 0, pattern, textLength); at != kNotFound;
         at = FindUnits(buffer, units, at + textLength, pattern, textLength)) {
        CountOccurrence(request, record);
        found = 1;
    }
    if (pattern != local)
        std::free(pattern);
    return found ? 0 : 1;
}

int MatchAnsiText(const unsigned char* buffer, size_t size, SearchRequest* request, FoundFile* record)
{
    const size_t units = TextLength(request->searchText);
    char* pattern = static_cast<char*>(std::calloc(units + 2, 1));
    if (pattern == nullptr)
        return 1;
    NarrowText(pattern, request->searchText, units + 2);
    const size_t patternLength = std::strlen(pattern);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(pattern);
    int found = 0;
    // An empty pattern (a text whose first unit is 256 or more) counts nothing.
    if (patternLength != 0) {
        const size_t length = FindZeroByte(buffer, size + 1);
        for (size_t at = FindBytes(buffer, length, 0, bytes, patternLength); at != kNotFound;
             at = FindBytes(buffer, length, at + patternLength, bytes, patternLength)) {
            CountOccurrence(request, record);
            found = 1;
        }
    }
    std::free(pattern);
    return found ? 0 : 1;
}
