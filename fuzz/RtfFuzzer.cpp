// libFuzzer target: arbitrary bytes through ExtractRtfText with an arbitrary
// capacity (compared with the literal model of the rules) and through the
// whole matcher table with a search text taken from the input.
//
// Input layout: byte 0 and 1 choose the capacity, byte 2 the search text
// (low 4 bits: length - 1; bit 7: cut from the plain text, else the bytes
// after the header); the rest is the document.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/RtfReferenceExtractor.h"
#include "search/ContentMatchers.h"
#include "search/RtfTextExtractor.h"

namespace {

void Fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// Non-overlapping occurrences of pattern in text (both zero-terminated).
int CountOccurrences(const char* text, const std::string& pattern)
{
    const size_t n = std::strlen(text);
    const size_t m = pattern.size();
    int count = 0;
    for (size_t i = 0; m != 0 && i + m <= n;) {
        if (std::memcmp(text + i, pattern.data(), m) == 0) {
            ++count;
            i += m;
        } else {
            ++i;
        }
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const unsigned capacitySelector = data[0] | (static_cast<unsigned>(data[1]) << 8);
    const unsigned textChoice = data[2];
    data += 3;
    size -= 3;

    // The document exactly as the walk holds it: its bytes and three zeros,
    // in a block of exactly that size so that any read past them is caught.
    std::vector<unsigned char> document(size + 3, 0);
    if (size != 0)
        std::memcpy(document.data(), data, size);

    // 1. The extractor alone, with an arbitrary capacity.
    const size_t capacity = 1 + capacitySelector % (size + 17);
    std::vector<unsigned char> output(capacity, 0);
    ExtractRtfText(document.data(), output.data(), capacity);
    const void* terminator = std::memchr(output.data(), 0, capacity);
    if (terminator == nullptr)
        Fail("output not terminated within capacity");
    const size_t outputLength = static_cast<size_t>(static_cast<const unsigned char*>(terminator) - output.data());
    if (outputLength > size)
        Fail("output longer than the input");

    std::vector<unsigned char> expected(capacity, 0);
    size_t maxDepth = 0;
    const bool modelComplete = rtfref::Extract(document.data(), expected.data(), capacity, &maxDepth);
    const bool withinCap = modelComplete && maxDepth <= RtfMaxGroupDepth;
    if (withinCap && std::memcmp(output.data(), expected.data(), capacity) != 0)
        Fail("output differs from the literal model");

    // 2. The plain text the RTF matcher searches: capacity size + 1, never cut.
    std::vector<unsigned char> plain(size + 1, 0);
    ExtractRtfText(document.data(), plain.data(), size + 1);
    const size_t plainLength = std::strlen(reinterpret_cast<const char*>(plain.data()));
    if (plainLength > size)
        Fail("plain text longer than the input");

    // 3. The search text: never empty, every unit below 256.
    std::string text;
    const size_t wanted = 1 + (textChoice & 0x0F);
    if ((textChoice & 0x80) != 0 && plainLength != 0) {
        const size_t start = capacitySelector % plainLength;
        for (size_t i = start; i < plainLength && text.size() < wanted; ++i)
            text.push_back(static_cast<char>(plain[i]));
    } else {
        for (size_t i = 0; i < size && text.size() < wanted && data[i] != 0; ++i)
            text.push_back(static_cast<char>(data[i]));
    }
    if (text.empty())
        text = "e";
    std::basic_string<WCHAR> units;
    for (unsigned char byte : text)
        units.push_back(byte);

    // 4. The whole table, as the walk runs it.
    SearchRequest request = {};
    request.searchText = units.c_str();
    FoundFile record = {};
    int decidedBy = -1;
    for (int i = 0; i < 3; ++i) {
        if (ContentMatcherTable[i](document.data(), size, &request, &record) == 0) {
            decidedBy = i;
            break;
        }
    }
    if (record.matchCount != request.totalMatches)
        Fail("the two counters differ");
    if (record.matchCount < 0)
        Fail("negative count");
    if (decidedBy == -1 && record.matchCount != 0)
        Fail("counted without deciding");
    if (size == 0 && (decidedBy != 1 || record.matchCount != 0))
        Fail("empty file not ended by the RTF matcher");
    if (decidedBy == 1 && size != 0) {
        if (record.matchCount != CountOccurrences(reinterpret_cast<const char*>(plain.data()), text))
            Fail("RTF matcher count differs from the plain text's");
    }
    if (decidedBy == 2) {
        if (CountOccurrences(reinterpret_cast<const char*>(plain.data()), text) != 0)
            Fail("ANSI matcher decided although the plain text holds the text");
        if (record.matchCount != CountOccurrences(reinterpret_cast<const char*>(document.data()), text))
            Fail("ANSI matcher count differs from the raw bytes'");
    }
    return 0;
}
