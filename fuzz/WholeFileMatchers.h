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
#include "search/SearchText.h"

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
// (there the two differ on purpose). Ends before its first zero unit.
inline std::vector<std::uint16_t> PlainText(const unsigned char* buffer, size_t size, RtfCodePages* pages)
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
    plain.resize(length);
    return plain;
}

// The plain text's units compared with the typed units.
inline unsigned long long CountRtf(const unsigned char* buffer, size_t size, const WCHAR* text,
                                   RtfCodePages* pages = nullptr)
{
    const std::vector<std::uint16_t> plain = PlainText(buffer, size, pages);
    const std::vector<std::uint16_t> pattern = Units(text);
    return CountIn(plain.data(), plain.size(), pattern.data(), pattern.size());
}

// Which readings a file gets, from its first bytes: "{\rtf" the RTF reading
// alone; EF BB BF UTF-8 alone; FF FE the little-endian UTF-16 readings; FE FF
// big-endian UTF-16; any other file every reading but RTF, the UTF-16 ones
// only where a zero byte lies in its first 64 KiB.
inline bool FileGets(const unsigned char* buffer, size_t size, int reading)
{
    const bool utf16 = reading == ReadingUtf16 || reading == ReadingUtf16Text || reading == ReadingUtf16Be;
    if (size >= 5 && std::memcmp(buffer, "{\\rtf", 5) == 0)
        return reading == ReadingRtf;
    if (size >= 3 && buffer[0] == 0xEF && buffer[1] == 0xBB && buffer[2] == 0xBF)
        return reading == ReadingUtf8;
    if (size >= 2 && buffer[0] == 0xFF && buffer[1] == 0xFE)
        return reading == ReadingUtf16 || reading == ReadingUtf16Text;
    if (size >= 2 && buffer[0] == 0xFE && buffer[1] == 0xFF)
        return reading == ReadingUtf16Be;
    if (reading == ReadingRtf)
        return false;
    if (!utf16)
        return true;
    for (size_t i = 0; i < size && i < 65536; ++i) {
        if (buffer[i] == 0)
            return true;
    }
    return false;
}

struct Result {
    unsigned long long counts[3];
    unsigned long long matches;  // the first count that is not zero
    int decidedBy;               // its view, -1 when none
};

inline Result Run(const unsigned char* buffer, size_t size, const WCHAR* text, RtfCodePages* pages = nullptr)
{
    Result result = {{FileGets(buffer, size, ReadingUtf16) ? CountUtf16(buffer, size, text) : 0,
                      FileGets(buffer, size, ReadingRtf) ? CountRtf(buffer, size, text, pages) : 0,
                      FileGets(buffer, size, ReadingAnsi) ? CountAnsi(buffer, size, text) : 0},
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

// --- The six readings of a typed text, exact or through case folding ---

// Units up to the first zero unit at an even offset, big- or little-endian,
// each folded when folding is given.
inline std::vector<std::uint16_t> UnitText(const unsigned char* buffer, bool bigEndian, const CaseFolding* folding)
{
    std::vector<std::uint16_t> units;
    for (size_t i = 0;; i += 2) {
        std::uint16_t unit = bigEndian ? static_cast<std::uint16_t>((buffer[i] << 8) | buffer[i + 1])
                                       : static_cast<std::uint16_t>(buffer[i] | (buffer[i + 1] << 8));
        if (unit == 0)
            break;
        units.push_back(folding != nullptr ? folding->unit[unit] : unit);
    }
    return units;
}

// A code page's text, character by character: a lead byte and the byte
// after it are one character (a lead byte last stays as it is).
inline std::string FoldCodePage(const std::string& text, const CaseFolding* folding)
{
    if (folding == nullptr)
        return text;
    std::string folded;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (folding->lead[byte] && i + 1 < text.size()) {
            const unsigned pair = folding->pair[(byte << 8) | static_cast<unsigned char>(text[i + 1])];
            folded.push_back(static_cast<char>(pair >> 8));
            folded.push_back(static_cast<char>(pair & 0xFF));
            ++i;
        } else {
            folded.push_back(static_cast<char>(folding->lead[byte] ? byte : folding->byte[byte]));
        }
    }
    return folded;
}

// UTF-8 text: each well-formed character folded, every other byte kept.
inline std::string FoldUtf8(const std::string& text, const CaseFolding* folding)
{
    if (folding == nullptr)
        return text;
    std::string folded;
    for (size_t i = 0; i < text.size();) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        size_t length = byte < 0x80 ? 1 : byte >= 0xC2 && byte <= 0xDF ? 2 : byte >= 0xE0 && byte <= 0xEF ? 3
                                                            : byte >= 0xF0 && byte <= 0xF4 ? 4 : 0;
        std::uint32_t code = length == 1 ? byte : length == 2 ? byte & 0x1F : length == 3 ? byte & 0x0F : byte & 0x07;
        bool wellFormed = length != 0 && i + length <= text.size();
        for (size_t k = 1; wellFormed && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            wellFormed = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        static const std::uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (!wellFormed || code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            folded.push_back(static_cast<char>(byte));
            ++i;
            continue;
        }
        if (code < 0x10000 && (folding->unit[code] < 0xD800 || folding->unit[code] > 0xDFFF))
            code = folding->unit[code];
        std::u16string units;
        if (code >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(code));
        }
        std::string encoded;
        EncodeUtf8(units, &encoded);
        folded += encoded;
        i += length;
    }
    return folded;
}

struct Readings {
    unsigned long long counts[6];
    unsigned long long matches;  // the first count that is not zero
    int decidedBy;               // its reading's view, -1 when none
};

// Whether a reading is tried in a file: the file gets it, and its text runs
// there. A file with a mark gets only the readings the mark names, so one of
// those is skipped only where another of them looks for the same text.
inline bool Tried(const unsigned char* buffer, size_t size, const SearchTextForms& forms, int reading)
{
    if (!FileGets(buffer, size, reading))
        return false;
    const bool utf8Mark = size >= 3 && buffer[0] == 0xEF && buffer[1] == 0xBB && buffer[2] == 0xBF;
    const bool leMark = !utf8Mark && size >= 2 && buffer[0] == 0xFF && buffer[1] == 0xFE;
    if (utf8Mark)
        return forms.hasUtf8 && !forms.utf8.empty();
    if (leMark && reading == ReadingUtf16Text)
        return !forms.typed.empty() && !(forms.Runs(ReadingUtf16) && forms.typed == forms.widenedAnsi);
    return forms.Runs(reading);
}

// buffer: size bytes and three zero bytes.
inline Readings RunReadings(const unsigned char* buffer, size_t size, const SearchTextForms& forms,
                            const CaseFolding* folding, RtfCodePages* pages = nullptr)
{
    Readings result = {};
    result.decidedBy = -1;
    const std::string bytes(reinterpret_cast<const char*>(buffer));
    const std::u16string* unitTexts[3] = {&forms.widenedAnsi, &forms.typed, &forms.typed};
    const int unitReadings[3] = {ReadingUtf16, ReadingUtf16Text, ReadingUtf16Be};
    for (int i = 0; i < 3; ++i) {
        if (!Tried(buffer, size, forms, unitReadings[i]))
            continue;
        const std::vector<std::uint16_t> text = UnitText(buffer, unitReadings[i] == ReadingUtf16Be, folding);
        std::vector<std::uint16_t> pattern;
        for (char16_t unit : *unitTexts[i])
            pattern.push_back(folding != nullptr ? folding->unit[unit] : static_cast<std::uint16_t>(unit));
        result.counts[unitReadings[i] - 1] = CountIn(text.data(), text.size(), pattern.data(), pattern.size());
    }
    if (Tried(buffer, size, forms, ReadingAnsi)) {
        const std::string text = FoldCodePage(bytes, folding);
        const std::string pattern = FoldCodePage(forms.ansi, folding);
        result.counts[ReadingAnsi - 1] = CountIn(text.data(), text.size(), pattern.data(), pattern.size());
    }
    if (Tried(buffer, size, forms, ReadingRtf)) {
        // The plain text's units against the typed units, each folded.
        const std::vector<std::uint16_t> plain = PlainText(buffer, size, pages);
        std::vector<std::uint16_t> text, pattern;
        for (std::uint16_t unit : plain)
            text.push_back(folding != nullptr ? folding->unit[unit] : unit);
        for (char16_t unit : forms.typed)
            pattern.push_back(folding != nullptr ? folding->unit[unit] : static_cast<std::uint16_t>(unit));
        result.counts[ReadingRtf - 1] = CountIn(text.data(), text.size(), pattern.data(), pattern.size());
    }
    if (Tried(buffer, size, forms, ReadingUtf8)) {
        const std::string text = FoldUtf8(bytes, folding);
        const std::string pattern = FoldUtf8(forms.utf8, folding);
        result.counts[ReadingUtf8 - 1] = CountIn(text.data(), text.size(), pattern.data(), pattern.size());
    }
    for (int i = 0; i < 6; ++i) {
        if (result.counts[i] != 0) {
            result.matches = result.counts[i];
            result.decidedBy = i;
            break;
        }
    }
    return result;
}

}  // namespace wholefile
