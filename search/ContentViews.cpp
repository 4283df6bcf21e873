// The three kinds of view: UTF-16 units, bytes (the code page's text or
// UTF-8) and the RTF reader's plain text. Occurrences are exact or folded,
// and never overlap.
#include "search/ContentViews.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "search/CaseFold.h"
#include "search/Readings.h"
#include "search/RtfTextExtractor.h"
#include "search/TextScan.h"

namespace {

// Pieces are folded through a scratch block this many bytes at a time; the
// scratch holds twice as much and a little more (UTF-8 may grow when folded).
const size_t FoldChunk = 8 * 1024;
const size_t FoldScratchSize = 2 * FoldChunk + 8;

std::uint16_t SwapBytes(std::uint16_t unit)
{
    return static_cast<std::uint16_t>((unit >> 8) | (unit << 8));
}

// The folding of big-endian units: swapped[u] is fold of u's bytes swapped,
// swapped back.
void SwapFoldTable(const std::uint16_t* fold, std::uint16_t* swapped)
{
    for (std::uint32_t unit = 0; unit < 65536; ++unit)
        swapped[unit] = SwapBytes(fold[SwapBytes(static_cast<std::uint16_t>(unit))]);
}

size_t Rounded(size_t size)
{
    return (size + 7) & ~static_cast<size_t>(7);
}

// The scratch a piece counter needs for a pattern of length elements.
size_t CounterScratch(size_t length, size_t width)
{
    return Rounded(3 * (length == 0 ? 0 : length - 1) * width);
}

// A view's memory for one search: one zero-filled allocation, carved into
// 8-byte aligned parts.
class ViewBlock {
public:
    ViewBlock() = default;
    ViewBlock(const ViewBlock&) = delete;
    ViewBlock& operator=(const ViewBlock&) = delete;
    ~ViewBlock() { std::free(base); }

    bool Allocate(size_t size)
    {
        std::free(base);
        base = static_cast<unsigned char*>(std::calloc(size == 0 ? 1 : size, 1));
        next = base;
        return base != nullptr;
    }
    unsigned char* Take(size_t size)
    {
        unsigned char* taken = next;
        next += Rounded(size);
        return taken;
    }

private:
    unsigned char* base = nullptr;
    unsigned char* next = nullptr;
};

// UTF-16 from the first byte up to the first zero unit at an even offset,
// little- or big-endian. A last odd byte is the first byte of a unit whose
// second byte is zero.
class Utf16TextView : public ContentView {
public:
    bool Prepare(const ReadingRow& row, const ViewSetup& setup) override
    {
        const std::u16string& text = UnitSpelling(row, *setup.forms);
        const CaseFolding* folding = setup.folding;
        bigEndian = row.bigEndian;
        const bool swappedFold = folding != nullptr && bigEndian;
        if (!block.Allocate(Rounded(2 * text.size()) + CounterScratch(text.size(), 2) +
                            (swappedFold ? 65536 * sizeof(std::uint16_t) : 0)))
            return false;
        std::uint16_t* pattern = reinterpret_cast<std::uint16_t*>(block.Take(2 * text.size()));
        for (size_t k = 0; k < text.size(); ++k) {
            std::uint16_t unit = static_cast<std::uint16_t>(text[k]);
            if (folding != nullptr)
                unit = folding->unit[unit];
            // The counter reads the file's units as little-endian numbers.
            pattern[k] = bigEndian ? SwapBytes(unit) : unit;
        }
        counter.Prepare(2, nullptr, pattern, text.size(), block.Take(CounterScratch(text.size(), 2)));
        // Units fold one to one: the counter compares them through the table.
        if (swappedFold) {
            std::uint16_t* swapped = reinterpret_cast<std::uint16_t*>(block.Take(65536 * sizeof(std::uint16_t)));
            SwapFoldTable(folding->unit, swapped);
            counter.Fold(nullptr, swapped);
        } else if (folding != nullptr) {
            counter.Fold(nullptr, folding->unit);
        }
        return true;
    }
    PieceCounter* ShareScan(bool shared[256]) override { return counter.ChooseAnchor(shared) ? &counter : nullptr; }
    void BeginFile() override
    {
        counter.Begin();
        hasOdd = false;
        ended = false;
    }
    void Feed(const unsigned char* bytes, size_t count, const ScanHits* hits) override
    {
        if (count == 0)
            return;
        size_t skip = 0;
        if (hasOdd) {
            const unsigned char unit[2] = {odd, bytes[0]};
            hasOdd = false;
            skip = 1;
            if (unit[0] == 0 && unit[1] == 0) {
                ended = true;
                return;
            }
            counter.Feed(unit, 1);
        }
        const size_t units = (count - skip) / 2;
        // No zero byte, no zero unit.
        const size_t zero =
            hits != nullptr && hits->zero == hits->size ? units : FindZeroUnit(bytes + skip, units);
        if (hits != nullptr)
            counter.FeedAround(bytes + skip, zero, hits->positions, hits->found, skip);
        else
            counter.Feed(bytes + skip, zero);
        if (zero < units) {
            ended = true;
            return;
        }
        if ((count - skip) % 2 != 0) {
            hasOdd = true;
            odd = bytes[count - 1];
        }
    }
    void EndFile() override
    {
        if (!ended && hasOdd && odd != 0) {
            const unsigned char unit[2] = {odd, 0};
            counter.Feed(unit, 1);
        }
        ended = true;
    }
    bool Ended() const override { return ended; }
    unsigned long long Count() const override { return counter.Count(); }

private:
    PieceCounter counter;  // folds through its table where the search ignores case
    ViewBlock block;
    bool bigEndian = false;
    bool hasOdd = false;
    unsigned char odd = 0;
    bool ended = true;
};

// The plain text of the RTF reader.
class RtfTextView : public ContentView {
public:
    bool Prepare(const ReadingRow& row, const ViewSetup& setup) override
    {
        // The plain text is Unicode: it is compared with the typed text's own
        // units, whatever they are, folded as every unit of the text.
        const std::u16string& text = UnitSpelling(row, *setup.forms);
        if (!block.Allocate(2 * text.size()))
            return false;
        std::uint16_t* units = reinterpret_cast<std::uint16_t*>(block.Take(2 * text.size()));
        for (size_t k = 0; k < text.size(); ++k) {
            const std::uint16_t unit = static_cast<std::uint16_t>(text[k]);
            units[k] = setup.folding != nullptr ? setup.folding->unit[unit] : unit;
        }
        pattern = units;
        patternLength = text.size();
        fold = setup.folding != nullptr ? setup.folding->unit : nullptr;
        codePages = setup.codePages;
        return true;
    }
    PieceCounter* ShareScan(bool[256]) override { return nullptr; }
    void BeginFile() override { counter.Begin(pattern, patternLength, fold, codePages); }
    void Feed(const unsigned char* bytes, size_t count, const ScanHits*) override { counter.Feed(bytes, count); }
    void EndFile() override { counter.End(); }
    bool Ended() const override { return counter.Ended(); }
    unsigned long long Count() const override { return counter.Count(); }

private:
    RtfTextCounter counter;
    ViewBlock block;
    const std::uint16_t* pattern = nullptr;
    size_t patternLength = 0;
    const std::uint16_t* fold = nullptr;  // nullptr: units compared exactly
    RtfCodePages* codePages = nullptr;
};

// Bytes up to the first zero byte: the code page's text, or UTF-8. Folded
// by the code page's characters or by UTF-8 characters.
class ByteTextView : public ContentView {
public:
    bool Prepare(const ReadingRow& row, const ViewSetup& setup) override
    {
        const std::string& text = ByteSpelling(row, *setup.forms);
        const CaseFolding* table = setup.folding;
        utf8 = row.spelling == Utf8Spelling;
        // Folded, a code page's text keeps its length and UTF-8 at most doubles it.
        const std::string folded = table == nullptr ? text
                                   : utf8           ? FoldedUtf8(*table, text)
                                                    : FoldedCodePageText(*table, text);
        if (!block.Allocate(Rounded(folded.size()) + CounterScratch(folded.size(), 1) + FoldScratchSize))
            return false;
        unsigned char* pattern = block.Take(folded.size());
        std::memcpy(pattern, folded.data(), folded.size());
        counter.Prepare(1, pattern, nullptr, folded.size(), block.Take(CounterScratch(folded.size(), 1)));
        scratch = block.Take(FoldScratchSize);
        bool doubleByte = false;
        if (table != nullptr) {
            for (bool lead : table->lead)
                doubleByte = doubleByte || lead;
        }
        // A single-byte code page folds byte for byte: the counter compares
        // through the table. Double-byte characters and UTF-8 are folded first.
        const bool byteForByte = table != nullptr && !utf8 && !doubleByte;
        if (byteForByte)
            counter.Fold(table->byte, nullptr);
        if (table != nullptr)
            utf8Folder.Prepare(*table);
        folding = byteForByte ? nullptr : table;
        // UTF-8 folded through a table of its ASCII part where a piece is ASCII.
        scansFolded = folding != nullptr && !(utf8 && PrepareAsciiFold(*table));
        return true;
    }
    PieceCounter* ShareScan(bool shared[256]) override
    {
        return !scansFolded && counter.ChooseAnchor(shared) ? &counter : nullptr;
    }
    void BeginFile() override
    {
        counter.Begin();
        codePageFolder.Begin();
        utf8Folder.Begin();
        ended = false;
    }
    // A view that compares bytes as they lie, and UTF-8 folded through
    // asciiFold where the piece is ASCII, share the scan.
    void Feed(const unsigned char* bytes, size_t count, const ScanHits* hits) override
    {
        const size_t zero = hits != nullptr ? hits->zero : FindZeroByte(bytes, count);
        if (hits != nullptr && (folding == nullptr || (hits->ascii && utf8Folder.Idle())))
            counter.FeedAround(bytes, zero, hits->positions, hits->found, 0);
        else
            FeedText(bytes, zero);
        if (zero < count)
            Finish();
    }
    void EndFile() override
    {
        if (!ended)
            Finish();
    }
    bool Ended() const override { return ended; }
    unsigned long long Count() const override { return counter.Count(); }

private:
    // UTF-8 text, folded or not, is compared through this table: ASCII
    // folds as the folder folds it, every other byte stays. Folded text is
    // left as it is, and an ASCII piece needs no folder: its bytes fold one
    // to one where they lie. False when the folding is not of that kind.
    bool PrepareAsciiFold(const CaseFolding& table)
    {
        for (unsigned byte = 0; byte < 256; ++byte)
            asciiFold[byte] = static_cast<unsigned char>(
                byte < 0x80 && table.unit[byte] < 0x80 ? table.unit[byte] : byte);
        for (std::uint32_t unit = 0; unit < 65536; ++unit) {
            const std::uint16_t folded = table.unit[unit];
            if (folded < 0x80 && asciiFold[folded] != folded)
                return false;
        }
        counter.Fold(asciiFold, nullptr);
        return true;
    }
    void FeedText(const unsigned char* bytes, size_t count)
    {
        if (folding == nullptr) {
            counter.Feed(bytes, count);
            return;
        }
        while (count != 0) {
            const size_t take = count < FoldChunk ? count : FoldChunk;
            const size_t folded = utf8 ? utf8Folder.Fold(*folding, bytes, take, scratch)
                                       : codePageFolder.Fold(*folding, bytes, take, scratch);
            counter.Feed(scratch, folded);
            bytes += take;
            count -= take;
        }
    }
    // The text has ended: a character still waiting for its last bytes counts as it is.
    void Finish()
    {
        if (folding != nullptr)
            counter.Feed(scratch, utf8 ? utf8Folder.Finish(scratch) : codePageFolder.Finish(scratch));
        ended = true;
    }

    PieceCounter counter;
    ViewBlock block;
    bool utf8 = false;
    const CaseFolding* folding = nullptr;  // the folder's table; nullptr: bytes compare as they lie
    bool scansFolded = false;              // the text is folded before it is compared
    unsigned char* scratch = nullptr;
    CodePageFolder codePageFolder;
    Utf8Folder utf8Folder;
    bool ended = true;
    unsigned char asciiFold[256] = {};
};

}  // namespace

ContentView* MakeUnitView(const ReadingRow&)
{
    return new (std::nothrow) Utf16TextView;
}

ContentView* MakeByteView(const ReadingRow&)
{
    return new (std::nothrow) ByteTextView;
}

ContentView* MakeRtfView(const ReadingRow&)
{
    return new (std::nothrow) RtfTextView;
}
