// libFuzzer target: arbitrary bytes through ExtractRtfText with an arbitrary
// capacity (compared with the literal model of the rules), and through the
// view table in pieces of sizes chosen by the input, compared with the
// whole-file matchers, with a search text taken from the input.
//
// Input layout: byte 0 and 1 choose the capacity and the pieces, byte 2 the
// search text (low 4 bits: length - 1; bit 6: the document is widened to
// UTF-16LE; bit 7: cut from the plain text, else the bytes after the
// header); the rest is the document. The same document and text then go
// through the six readings of a typed text, in the same pieces, exactly or
// through a case folding (bit 5 of byte 2), against the whole-file readings;
// the typed text is the search text's bytes read as Latin-1, with a Greek
// letter added when bit 4 is set, and the code page spells it only without one.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/RtfReferenceExtractor.h"
#include "fuzz/WholeFileMatchers.h"
#include "search/ContentMatchers.h"
#include "search/RtfTextExtractor.h"
#include "search/SearchText.h"

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

// A stand-in for a platform's case folding: ASCII and Latin-1 letters, ÿ to a
// capital beyond Latin-1, Greek, ɐ (whose capital takes more UTF-8 bytes),
// and double-byte pairs behind lead byte 0x82.
const CaseFolding& FuzzFolding()
{
    static CaseFolding* folding = nullptr;
    if (folding == nullptr) {
        folding = new CaseFolding;
        ResetCaseFolding(folding);
        for (unsigned c = 0; c < 256; ++c) {
            const bool lower = (c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7);
            if (lower) {
                folding->unit[c] = static_cast<std::uint16_t>(c - 32);
                folding->byte[c] = static_cast<unsigned char>(c - 32);
            }
        }
        folding->unit[0xFF] = 0x178;
        folding->byte[0xFF] = 0x9F;
        for (unsigned c = 0x3B1; c <= 0x3C9; ++c)
            folding->unit[c] = static_cast<std::uint16_t>(c - 32);
        folding->unit[0x250] = 0x2C6F;
        folding->lead[0x82] = true;
        for (unsigned trail = 0x81; trail <= 0x9A; ++trail)
            folding->pair[0x8200 | trail] = static_cast<std::uint16_t>(0x8200 | (trail - 0x21));
    }
    return *folding;
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

    // 4. The view table in pieces, each in a block of exactly its size, as
    // the walk feeds it, against the whole-file matchers. Piece sizes: one
    // byte, two, three, or a repeating run of sizes up to 64 chosen by the
    // header, or the whole file.
    FileScan scan;
    if (!scan.Prepare(units.c_str()))
        Fail("no memory for the scan");
    std::vector<unsigned char> file(document.begin(), document.begin() + static_cast<std::ptrdiff_t>(size));
    if ((textChoice & 0x40) != 0) {
        file.clear();
        for (size_t i = 0; i < size; ++i) {
            file.push_back(data[i]);
            file.push_back(0);
        }
        if ((capacitySelector & 1) != 0 && !file.empty())
            file.pop_back();  // an odd size
    }
    std::vector<unsigned char> whole(file);
    whole.insert(whole.end(), 3, 0);
    const wholefile::Result expectedResult = wholefile::Run(whole.data(), file.size(), units.c_str());
    const unsigned mode = capacitySelector >> 12;
    unsigned seed = capacitySelector;
    scan.BeginFile();
    for (size_t at = 0; at < file.size() && !scan.Decided();) {
        size_t pieceSize;
        if (mode < 3) {
            pieceSize = mode + 1;
        } else if (mode == 15) {
            pieceSize = file.size();
        } else {
            seed = seed * 1103515245u + 12345u;
            pieceSize = 1 + (seed >> 16) % 64;
        }
        if (pieceSize > file.size() - at)
            pieceSize = file.size() - at;
        std::vector<unsigned char> piece(file.begin() + static_cast<std::ptrdiff_t>(at),
                                         file.begin() + static_cast<std::ptrdiff_t>(at + pieceSize));
        scan.Feed(piece.data(), piece.size());
        at += pieceSize;
    }
    scan.EndFile();
    int decidedBy = -1;
    const unsigned long long matches = scan.Result(&decidedBy);

    // 5. The six readings of a typed text over the same pieces.
    SearchTextForms forms;
    std::basic_string<WCHAR> typed = units;
    if ((textChoice & 0x10) != 0)
        typed.push_back(static_cast<WCHAR>(0x3B1 + capacitySelector % 25));
    SetTypedText(&forms, typed.c_str());
    if ((textChoice & 0x10) == 0)
        SetAnsiText(&forms, text.data(), text.size());
    const CaseFolding* folding = (textChoice & 0x20) != 0 ? &FuzzFolding() : nullptr;
    FileScan readings;
    if (!readings.Prepare(forms, folding))
        Fail("no memory for the readings");
    const wholefile::Readings expectedReadings = wholefile::RunReadings(whole.data(), file.size(), forms, folding);
    seed = capacitySelector;
    readings.BeginFile();
    for (size_t at = 0; at < file.size() && !readings.Decided();) {
        size_t pieceSize;
        if (mode < 3) {
            pieceSize = mode + 1;
        } else if (mode == 15) {
            pieceSize = file.size();
        } else {
            seed = seed * 1103515245u + 12345u;
            pieceSize = 1 + (seed >> 16) % 64;
        }
        if (pieceSize > file.size() - at)
            pieceSize = file.size() - at;
        std::vector<unsigned char> piece(file.begin() + static_cast<std::ptrdiff_t>(at),
                                         file.begin() + static_cast<std::ptrdiff_t>(at + pieceSize));
        readings.Feed(piece.data(), piece.size());
        at += pieceSize;
    }
    readings.EndFile();
    int readingDecided = -1;
    const unsigned long long readingMatches = readings.Result(&readingDecided);
    if (readingDecided != expectedReadings.decidedBy)
        Fail("a different reading decided than in the whole file");
    if (readingMatches != expectedReadings.matches)
        Fail("a reading's count differs from the whole file's");
    if (decidedBy != expectedResult.decidedBy)
        Fail("a different view decided than in the whole file");
    if (matches != expectedResult.matches)
        Fail("the count differs from the whole file's");
    if (size == 0 && matches != 0)
        Fail("an empty file counted");
    if (decidedBy == 1 && (textChoice & 0x40) == 0 &&
        static_cast<long long>(matches) != CountOccurrences(reinterpret_cast<const char*>(plain.data()), text))
        Fail("RTF count differs from the plain text's");
    return 0;
}
