// libFuzzer target: arbitrary bytes through ExtractRtfText with an arbitrary
// capacity (compared with the literal model of the rules), and through the
// view table in pieces of sizes chosen by the input, compared with the
// whole-file matchers, with a search text taken from the input. Documents may
// name the test tables' code pages 1250, 1251 and 932 (double-byte), for
// the document or for its fonts. The same document and text then go
// through the six readings of a typed text, in
// the same pieces, exactly or through a case folding (bit 5 of byte 2),
// against the whole-file readings: the typed text is the search text, with
// a Greek letter added when bit 4 is set; the code page spells it only when
// it is all bytes and has no Greek letter. The lines of the reading that
// decided then hold exactly its count.
//
// Input layout: byte 0 and 1 choose the capacity and the pieces, byte 2 the
// search text (low 4 bits: length - 1; bit 6: the document is widened to
// UTF-16LE; bit 7: cut from the plain text, else the bytes after the
// header); the rest is the document.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/RtfReferenceExtractor.h"
#include "fuzz/TestCodePages.h"
#include "fuzz/WholeFileMatchers.h"
#include "search/ContentMatchers.h"
#include "search/MatchingLines.h"
#include "search/RtfTextExtractor.h"
#include "search/SearchText.h"

namespace {

void Fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// Non-overlapping occurrences of pattern in the zero-terminated text.
int CountOccurrences(const std::uint16_t* text, const std::basic_string<WCHAR>& pattern)
{
    size_t n = 0;
    while (text[n] != 0)
        ++n;
    const size_t m = pattern.size();
    int count = 0;
    for (size_t i = 0; m != 0 && i + m <= n;) {
        size_t k = 0;
        while (k < m && text[i + k] == static_cast<std::uint16_t>(pattern[k]))
            ++k;
        if (k == m) {
            ++count;
            i += m;
        } else {
            ++i;
        }
    }
    return count;
}

size_t UnitLength(const std::uint16_t* text, size_t room)
{
    size_t n = 0;
    while (n < room && text[n] != 0)
        ++n;
    return n;
}

testpages::TestCodePages& Pages()
{
    static testpages::TestCodePages pages;
    return pages;
}

// A stand-in for a platform's case folding: ASCII and Latin-1 letters, ÿ to a
// capital beyond Latin-1, Greek, ɐ (whose capital takes more UTF-8 bytes),
// two letters beyond ASCII that fold into it, and double-byte pairs behind
// lead byte 0x82.
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
        folding->unit[0x17F] = 'S';    // long s and the Kelvin sign fold into ASCII
        folding->unit[0x212A] = 'K';
        folding->lead[0x82] = true;
        for (unsigned trail = 0x81; trail <= 0x9A; ++trail)
            folding->pair[0x8200 | trail] = static_cast<std::uint16_t>(0x8200 | (trail - 0x21));
    }
    return *folding;
}

// The file in pieces, each in a block of exactly its size: one byte, two,
// three, a repeating run of sizes up to 64 chosen by the selector, or the
// whole file; until feed answers that no more is wanted.
template <typename Feed>
void FeedInPieces(const std::vector<unsigned char>& file, unsigned selector, Feed feed)
{
    const unsigned mode = selector >> 12;
    unsigned state = selector;
    for (size_t at = 0; at < file.size();) {
        size_t pieceSize;
        if (mode < 3) {
            pieceSize = mode + 1;
        } else if (mode == 15) {
            pieceSize = file.size();
        } else {
            state = state * 1103515245u + 12345u;
            pieceSize = 1 + (state >> 16) % 64;
        }
        if (pieceSize > file.size() - at)
            pieceSize = file.size() - at;
        std::vector<unsigned char> piece(file.begin() + static_cast<std::ptrdiff_t>(at),
                                         file.begin() + static_cast<std::ptrdiff_t>(at + pieceSize));
        if (!feed(piece.data(), piece.size()))
            return;
        at += pieceSize;
    }
}

// The file through a prepared scan in pieces. Returns the count; view: the
// deciding one.
unsigned long long ScanInPieces(FileScan* scan, const std::vector<unsigned char>& file, unsigned selector, int* view)
{
    scan->BeginFile();
    if (!scan->Decided()) {
        FeedInPieces(file, selector, [scan](const unsigned char* piece, size_t pieceSize) {
            scan->Feed(piece, pieceSize);
            return !scan->Decided();
        });
    }
    scan->EndFile();
    return scan->Result(view);
}

// A reported line: its occurrences lie in its text, in order, apart.
void CheckLine(void* total, const MatchingLine& line)
{
    size_t at = 0;
    for (size_t k = 0; k < line.hitCount; ++k) {
        if (line.hits[k].begin < at || line.hits[k].end < line.hits[k].begin || line.hits[k].end > line.length)
            Fail("an occurrence outside its line's text, or out of order");
        at = line.hits[k].end;
    }
    if (line.count < line.hitCount || line.count == 0)
        Fail("a line counts fewer occurrences than it marks");
    *static_cast<unsigned long long*>(total) += line.count;
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
    std::vector<std::uint16_t> output(capacity, 0);
    ExtractRtfText(document.data(), size, output.data(), capacity, &Pages());
    const size_t outputLength = UnitLength(output.data(), capacity);
    if (outputLength == capacity)
        Fail("output not terminated within capacity");
    if (outputLength > size)
        Fail("output longer than the input");

    std::vector<std::uint16_t> expected(capacity, 0);
    size_t maxDepth = 0;
    const bool modelComplete = rtfref::Extract(document.data(), size, expected.data(), capacity, &Pages(), &maxDepth);
    const bool withinCap = modelComplete && maxDepth <= RtfMaxGroupDepth;
    if (withinCap && output != expected)
        Fail("output differs from the literal model");

    // 2. The plain text the RTF matcher searches: capacity size + 1, never cut.
    std::vector<std::uint16_t> plain(size + 1, 0);
    ExtractRtfText(document.data(), size, plain.data(), size + 1, &Pages());
    const size_t plainLength = UnitLength(plain.data(), plain.size());
    if (plainLength > size)
        Fail("plain text longer than the input");

    // 3. The search text, never empty: units of the plain text (any value),
    // or bytes of the document widened as the window widens typed text.
    std::basic_string<WCHAR> units;
    const size_t wanted = 1 + (textChoice & 0x0F);
    if ((textChoice & 0x80) != 0 && plainLength != 0) {
        const size_t start = capacitySelector % plainLength;
        for (size_t i = start; i < plainLength && units.size() < wanted; ++i)
            units.push_back(static_cast<WCHAR>(plain[i]));
    } else {
        for (size_t i = 0; i < size && units.size() < wanted && data[i] != 0; ++i)
            units.push_back(static_cast<WCHAR>(data[i]));
    }
    if (units.empty())
        units.push_back('e');

    // 4. The view table in pieces, each in a block of exactly its size, as
    // the walk feeds it, against the whole-file matchers. Piece sizes: one
    // byte, two, three, or a repeating run of sizes up to 64 chosen by the
    // header, or the whole file.
    FileScan scan;
    if (!scan.Prepare(units.c_str(), AllContentViews, &Pages()))
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
    const wholefile::Result expectedResult = wholefile::Run(whole.data(), file.size(), units.c_str(), &Pages());
    int decidedBy = -1;
    const unsigned long long matches = ScanInPieces(&scan, file, capacitySelector, &decidedBy);
    if (decidedBy != expectedResult.decidedBy)
        Fail("a different view decided than in the whole file");
    if (matches != expectedResult.matches)
        Fail("the count differs from the whole file's");
    if (size == 0 && matches != 0)
        Fail("an empty file counted");
    if (decidedBy == 1 && (textChoice & 0x40) == 0 &&
        static_cast<long long>(matches) != CountOccurrences(plain.data(), units))
        Fail("RTF count differs from the plain text's");

    // 5. The six readings of a typed text over the same pieces.
    SearchTextForms forms;
    std::basic_string<WCHAR> typed = units;
    if ((textChoice & 0x10) != 0)
        typed.push_back(static_cast<WCHAR>(0x3B1 + capacitySelector % 25));
    SetTypedText(&forms, typed.c_str());
    std::string ansi;
    for (WCHAR unit : typed) {
        if (unit >= 256)
            break;
        ansi.push_back(static_cast<char>(unit));
    }
    if (ansi.size() == typed.size())
        SetAnsiText(&forms, ansi.data(), ansi.size());
    const CaseFolding* folding = (textChoice & 0x20) != 0 ? &FuzzFolding() : nullptr;
    FileScan readings;
    if (!readings.Prepare(forms, folding, AllContentViews, &Pages()))
        Fail("no memory for the readings");
    const wholefile::Readings expectedReadings =
        wholefile::RunReadings(whole.data(), file.size(), forms, folding, &Pages());
    int readingDecided = -1;
    const unsigned long long readingMatches = ScanInPieces(&readings, file, capacitySelector, &readingDecided);
    if (readingDecided != expectedReadings.decidedBy)
        Fail("a different reading decided than in the whole file");
    if (readingMatches != expectedReadings.matches)
        Fail("a reading's count differs from the whole file's");

    // 6. The matching lines of the reading that decided, in the same pieces:
    // their occurrences are its count. The code page's bytes decode in 932
    // or in 1252.
    if (readingDecided >= 0) {
        static MatchingLines* lines = new MatchingLines;
        if (!lines->Prepare(readingDecided + 1, forms, folding, &Pages(), (capacitySelector & 2) != 0 ? 932 : 1252))
            Fail("the deciding reading has nothing to look for");
        unsigned long long reported = 0;
        lines->BeginFile(CheckLine, &reported);
        FeedInPieces(file, capacitySelector, [](const unsigned char* piece, size_t pieceSize) {
            lines->Feed(piece, pieceSize);
            return !lines->Ended();
        });
        lines->EndFile();
        if (lines->Count() != readingMatches || reported != readingMatches)
            Fail("the lines' occurrences differ from the reading's count");
    }
    return 0;
}
