// The UTF-16 and 8-bit matchers, the matcher table and the narrowing of
// search texts. Occurrences are exact, case-sensitive and never overlap.
#include "search/ContentMatchers.h"

#include <cstdlib>
#include <cstring>

const ContentMatcher ContentMatcherTable[3] = {
    MatchUtf16Text,
    MatchRtfText,
    MatchAnsiText,
};

namespace {

inline unsigned ReadUnit(const unsigned char* bytes)
{
    return bytes[0] | (static_cast<unsigned>(bytes[1]) << 8);
}

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

int MatchUtf16Text(const unsigned char* buffer, size_t, SearchRequest* request, FoundFile* record)
{
    const WCHAR* text = request->searchText;
    const size_t textLength = TextLength(text);
    if (textLength == 0)
        return 1;
    const unsigned first = static_cast<unsigned>(text[0]);
    int found = 0;
    // Every unit of the text is non-zero, so a comparison stops at the first
    // zero unit of the buffer at the latest: nothing past it is read.
    const unsigned char* position = buffer;
    for (;;) {
        unsigned unit = ReadUnit(position);
        if (unit == 0)
            break;
        if (unit == first) {
            size_t k = 1;
            while (k < textLength && ReadUnit(position + 2 * k) == static_cast<unsigned>(text[k]))
                ++k;
            if (k == textLength) {
                CountOccurrence(request, record);
                found = 1;
                position += 2 * textLength;
                continue;
            }
        }
        position += 2;
    }
    return found ? 0 : 1;
}

int MatchAnsiText(const unsigned char* buffer, size_t, SearchRequest* request, FoundFile* record)
{
    const size_t units = TextLength(request->searchText);
    char* pattern = static_cast<char*>(std::calloc(units + 2, 1));
    if (pattern == nullptr)
        return 1;
    NarrowText(pattern, request->searchText, units + 2);
    const size_t patternLength = std::strlen(pattern);
    int found = 0;
    // An empty pattern (a text whose first unit is 256 or more) counts nothing.
    if (patternLength != 0) {
        const char* text = reinterpret_cast<const char*>(buffer);
        const char* end = text + std::strlen(text);
        const char* position = text;
        while (static_cast<size_t>(end - position) >= patternLength) {
            const char* candidate = static_cast<const char*>(
                std::memchr(position, pattern[0], static_cast<size_t>(end - position) - patternLength + 1));
            if (candidate == nullptr)
                break;
            if (std::memcmp(candidate + 1, pattern + 1, patternLength - 1) == 0) {
                CountOccurrence(request, record);
                found = 1;
                position = candidate + patternLength;
            } else {
                position = candidate + 1;
            }
        }
    }
    std::free(pattern);
    return found ? 0 : 1;
}
