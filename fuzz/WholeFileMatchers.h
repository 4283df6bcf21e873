// The whole-file matchers, kept as the reference that the view table is
// compared with: each view reads a buffer holding the whole file and three
// zero bytes, by plain loops and the literal model of the RTF reader. Slow
// and simple on purpose; for tests and the fuzzer only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/RtfReferenceExtractor.h"
#include "search/RtfTextExtractor.h"
#include "search/SearchRequest.h"

namespace wholefile {

// Non-overlapping occurrences of pattern in text, searched from the start.
template <typename Element>
unsigned long long CountIn(const Element* text, size_t length, const Element* pattern, size_t patternLength)
{
    unsigned long long count = 0;
    if (patternLength == 0)
        return 0;
    for (size_t i = 0; i + patternLength <= length;) {
        size_t k = 0;
        while (k < patternLength && text[i + k] == pattern[k])
            ++k;
        if (k == patternLength) {
            ++count;
            i += patternLength;
        } else {
            ++i;
        }
    }
    return count;
}

inline std::vector<std::uint16_t> Units(const WCHAR* text)
{
    std::vector<std::uint16_t> units;
    for (; *text != 0; ++text)
        units.push_back(static_cast<std::uint16_t>(*text));
    return units;
}

// The typed bytes: every unit up to the first of 256 or more.
inline std::string Narrow(const WCHAR* text)
{
    std::string bytes;
    for (; *text != 0 && static_cast<unsigned>(*text) < 256; ++text)
        bytes.push_back(static_cast<char>(static_cast<unsigned>(*text)));
    return bytes;
}

// buffer: size bytes and three zero bytes. Units up to the first zero unit.
inline unsigned long long CountUtf16(const unsigned char* buffer, size_t size, const WCHAR* text)
{
    (void)size;
    std::vector<std::uint16_t> units;
    for (size_t i = 0;; i += 2) {
        const std::uint16_t unit = static_cast<std::uint16_t>(buffer[i] | (buffer[i + 1] << 8));
        if (unit == 0)
            break;
        units.push_back(unit);
    }
    const std::vector<std::uint16_t> pattern = Units(text);
    return CountIn(units.data(), units.size(), pattern.data(), pattern.size());
}

// Bytes up to the first zero byte.
inline unsigned long long CountAnsi(const unsigned char* buffer, size_t size, const WCHAR* text)
{
    (void)size;
    const std::string pattern = Narrow(text);
    const size_t length = std::strlen(reinterpret_cast<const char*>(buffer));
    return CountIn(reinterpret_cast<const char*>(buffer), length, pattern.data(), pattern.size());
}

// The whole plain text, never cut: by the literal model of the reader where
// nesting stays within the reader's cap, by the real extractor beyond it
// (there the two differ on purpose). Its units are compared with the typed units.
inline unsigned long long CountRtf(const unsigned char* buffer, size_t size, const WCHAR* text,
                                   RtfCodePages* pages = nullptr)
{
    std::vector<std::uint16_t> plain(size + 1, 0);
    size_t maxDepth = 0;
    if (!rtfref::Extract(buffer, size, plain.data(), plain.size(), pages, &maxDepth) ||
        maxDepth > RtfMaxGroupDepth) {
        std::fill(plain.begin(), plain.end(), 0);
        ExtractRtfText(buffer, size, plain.data(), plain.size(), pages);
    }
    size_t length = 0;
    while (length < plain.size() && plain[length] != 0)
        ++length;
    const std::vector<std::uint16_t> pattern = Units(text);
    return CountIn(plain.data(), length, pattern.data(), pattern.size());
}

struct Result {
    unsigned long long counts[3];
    unsigned long long matches;  // the first count that is not zero
    int decidedBy;               // its view, -1 when none
};

inline Result Run(const unsigned char* buffer, size_t size, const WCHAR* text, RtfCodePages* pages = nullptr)
{
    Result result = {{CountUtf16(buffer, size, text), CountRtf(buffer, size, text, pages), CountAnsi(buffer, size, text)},
                     0, -1};
    for (int i = 0; i < 3; ++i) {
        if (result.counts[i] != 0) {
            result.matches = result.counts[i];
            result.decidedBy = i;
            break;
        }
    }
    return result;
}

}  // namespace wholefile
