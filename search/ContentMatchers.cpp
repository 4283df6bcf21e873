// The view table: the UTF-16, RTF and 8-bit readings of a file fed piece by
// piece, each ending where its text ends. Occurrences are exact,
// case-sensitive and never overlap.
#include "search/ContentMatchers.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "search/CaseFold.h"
#include "search/TextScan.h"

const char* const ContentViewNames[ContentViewCount] = {"UTF-16", "RTF", "ANSI", "UTF-16 text", "UTF-8", "UTF-16 BE"};

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

void PieceCounter::Prepare(size_t elementWidth, const unsigned char* bytes, const std::uint16_t* units,
                           size_t patternLength, unsigned char* scratch)
{
    width = elementWidth;
    bytePattern = bytes;
    unitPattern = units;
    length = patternLength;
    const size_t tail = patternLength == 0 ? 0 : (patternLength - 1) * elementWidth;
    carry = scratch;
    joint = scratch + tail;
    Begin();
}

void PieceCounter::Begin()
{
    carried = 0;
    count = 0;
}

void PieceCounter::Fold(const unsigned char* bytes, const std::uint16_t* units)
{
    byteFold = bytes;
    unitFold = units;
    if (length == 0)
        return;
    if (byteFold != nullptr) {
        first = BytesFoldingLike(byteFold, bytePattern[0]);
        last = BytesFoldingLike(byteFold, bytePattern[length - 1]);
    } else if (unitFold != nullptr) {
        first = UnitsFoldingLike(unitFold, unitPattern[0]);
        last = UnitsFoldingLike(unitFold, unitPattern[length - 1]);
    }
}

size_t PieceCounter::Find(const unsigned char* text, size_t elements, size_t from) const
{
    if (width == 1)
        return byteFold != nullptr
                   ? FindBytesFolded(text, elements, from, bytePattern, length, byteFold, first, last)
                   : FindBytes(text, elements, from, bytePattern, length);
    return unitFold != nullptr ? FindUnitsFolded(text, elements, from, unitPattern, length, unitFold, first, last)
                               : FindUnits(text, elements, from, unitPattern, length);
}

// The carry holds the last elements seen at or after the point where the
// next occurrence may start, at most length - 1 of them: the only ones that
// can still begin an occurrence. Each piece first settles the occurrences
// that begin in the carry, then searches the piece where it lies.
size_t PieceCounter::SettleCarry(const unsigned char* bytes, size_t elements)
{
    if (carried == 0)
        return 0;
    const size_t tail = length - 1;
    const size_t take = elements < tail ? elements : tail;
    std::memcpy(joint, carry, carried * width);
    std::memcpy(joint + carried * width, bytes, take * width);
    const size_t jointLength = carried + take;
    size_t next = 0;
    for (size_t at = Find(joint, jointLength, 0); at != kNotFound && at < carried; at = Find(joint, jointLength, next)) {
        count += 1;
        next = at + length;
    }
    if (take < tail) {
        // The whole piece is in the joint and too short to hold an occurrence.
        size_t keep = jointLength > tail ? jointLength - tail : 0;
        if (keep < next)
            keep = next;
        carried = jointLength - keep;
        std::memmove(carry, joint + keep * width, carried * width);
        return kNotFound;
    }
    return next > carried ? next - carried : 0;
}

// Keeps the last elements from which an occurrence may still begin.
void PieceCounter::KeepTail(const unsigned char* bytes, size_t elements, size_t from)
{
    const size_t tail = length - 1;
    size_t keep = elements > tail ? elements - tail : 0;
    if (keep < from)
        keep = from;
    carried = elements - keep;
    std::memcpy(carry, bytes + keep * width, carried * width);
}

void PieceCounter::Feed(const unsigned char* bytes, size_t elements)
{
    if (length == 0 || elements == 0)
        return;
    size_t from = SettleCarry(bytes, elements);
    if (from == kNotFound)
        return;
    for (size_t at = Find(bytes, elements, from); at != kNotFound; at = Find(bytes, elements, from)) {
        count += 1;
        from = at + length;
    }
    KeepTail(bytes, elements, from);
}

bool PieceCounter::FitsAt(const unsigned char* text, size_t at) const
{
    if (width == 1) {
        const unsigned char* t = text + at;
        if (byteFold == nullptr)
            return std::memcmp(t, bytePattern, length) == 0;
        for (size_t k = 0; k < length; ++k) {
            if (byteFold[t[k]] != bytePattern[k])
                return false;
        }
        return true;
    }
    const unsigned char* t = text + 2 * at;
    for (size_t k = 0; k < length; ++k) {
        std::uint16_t unit = static_cast<std::uint16_t>(t[2 * k] | (t[2 * k + 1] << 8));
        if (unitFold != nullptr)
            unit = unitFold[unit];
        if (unit != unitPattern[k])
            return false;
    }
    return true;
}

// Every occurrence wholly in the piece holds its anchor byte in the piece,
// where the shared scan found it: it begins anchorElement elements before
// the element of that byte.
void PieceCounter::FeedAround(const unsigned char* bytes, size_t elements, const std::uint32_t* positions,
                              size_t found, size_t skip)
{
    if (length == 0 || elements == 0)
        return;
    size_t from = SettleCarry(bytes, elements);
    if (from == kNotFound)
        return;
    const size_t lead = anchorElement * width + anchorOffset + skip;
    for (size_t i = 0; i < found; ++i) {
        const size_t position = positions[i];
        if (position < lead)
            continue;
        const size_t before = position - lead;  // bytes from bytes to where the occurrence would begin
        if (before % width != 0)
            continue;
        const size_t at = before / width;
        if (at + length > elements)
            break;
        if (at < from || !anchorValue[bytes[position - skip]] || !FitsAt(bytes, at))
            continue;
        count += 1;
        from = at + length;
    }
    KeepTail(bytes, elements, from);
}

namespace {

// How often a byte value is likely to occur in files (text of many
// languages, source code, binary formats), in rough relative terms: the
// shared scan looks for the pattern's rarest bytes.
unsigned ByteWeight(unsigned char byte)
{
    static const char* const lowerOrder = "etaoinsrhldcumfpgwybvkxjqz";
    if (byte == ' ')
        return 200;
    if (byte >= 'a' && byte <= 'z') {
        static const unsigned lowerWeights[26] = {100, 80, 75, 70, 68, 66, 64, 60, 45, 42, 40, 38, 30,
                                                 28, 26, 26, 20, 16, 16, 14, 10, 8, 8, 3, 2, 3};
        for (unsigned k = 0; k < 26; ++k) {
            if (lowerOrder[k] == static_cast<char>(byte))
                return lowerWeights[k];
        }
    }
    if (byte >= 'A' && byte <= 'Z')
        return ByteWeight(static_cast<unsigned char>(byte - 'A' + 'a')) / 3 + 2;
    if (byte >= '0' && byte <= '9')
        return byte <= '2' ? 30 : 14;
    if (byte == '\n' || byte == '\t' || byte == '\r')
        return 40;
    if (byte == 0xFF)
        return 12;
    if (byte >= 0x80)
        return 6;
    if (byte < 0x20 || byte == 0x7F)
        return 5;
    switch (byte) {
    case '_': case '.': case ',': case '(': case ')': case ';': case '*': case '-': case '=': case '/':
        return 24;
    case '"': case ':': case '<': case '>': case '{': case '}': case '#': case '\'':
        return 10;
    default:
        return 5;
    }
}

}  // namespace

bool PieceCounter::ChooseAnchor(bool shared[256])
{
    anchorCount = 0;
    std::memset(anchorValue, 0, sizeof anchorValue);
    unsigned best = ~0u;
    for (size_t element = 0; element < length; ++element) {
        // A unit's variants serve both of its bytes: the table is large.
        const FoldVariants unitVariants = width == 1 ? FoldVariants{}
                                          : unitFold == nullptr ? FoldVariants{1, {unitPattern[element]}}
                                                                : UnitsFoldingLike(unitFold, unitPattern[element]);
        for (size_t offset = 0; offset < width; ++offset) {
            // The values of this byte where the element fits.
            unsigned char values[4];
            unsigned valueCount = 0;
            if (width == 1) {
                if (byteFold == nullptr) {
                    values[valueCount++] = bytePattern[element];
                } else {
                    const FoldVariants variants = BytesFoldingLike(byteFold, bytePattern[element]);
                    for (unsigned k = 0; k < variants.count; ++k)
                        values[valueCount++] = static_cast<unsigned char>(variants.values[k]);
                }
            } else {
                for (unsigned k = 0; k < unitVariants.count; ++k) {
                    const unsigned char value = static_cast<unsigned char>(unitVariants.values[k] >> (8 * offset));
                    bool known = false;
                    for (unsigned j = 0; j < valueCount; ++j)
                        known = known || values[j] == value;
                    if (!known)
                        values[valueCount++] = value;
                }
            }
            unsigned weight = valueCount == 0 ? ~0u : 0;
            for (unsigned k = 0; k < valueCount && weight != ~0u; ++k) {
                if (values[k] == 0)
                    weight = ~0u;  // zero bytes fill UTF-16 files
                else if (!shared[values[k]])
                    weight += ByteWeight(values[k]) + 2;
            }
            if (weight < best) {
                best = weight;
                anchorElement = element;
                anchorOffset = offset;
                anchorCount = valueCount;
                std::memcpy(anchorValues, values, valueCount);
            }
        }
    }
    for (unsigned k = 0; k < anchorCount; ++k) {
        anchorValue[anchorValues[k]] = true;
        shared[anchorValues[k]] = true;
    }
    return anchorCount != 0;
}

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

}  // namespace

// UTF-16 from the first byte up to the first zero unit at an even offset,
// little- or big-endian. A last odd byte is the first byte of a unit whose
// second byte is zero.
class Utf16TextView : public ContentView {
public:
    PieceCounter counter;  // folds through its table where the search ignores case
    bool enabled = false;
    bool bigEndian = false;

    void BeginFile() override
    {
        counter.Begin();
        hasOdd = false;
        ended = !enabled;
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
    bool hasOdd = false;
    unsigned char odd = 0;
    bool ended = true;
};

// The plain text of the RTF reader, which every file goes through, RTF or not.
class RtfTextView : public ContentView {
public:
    bool enabled = false;
    const std::uint16_t* pattern = nullptr;
    size_t patternLength = 0;
    const std::uint16_t* fold = nullptr;  // nullptr: units compared exactly
    RtfCodePages* codePages = nullptr;

    void BeginFile() override { counter.Begin(pattern, enabled ? patternLength : 0, fold, codePages); }
    void Feed(const unsigned char* bytes, size_t count, const ScanHits*) override { counter.Feed(bytes, count); }
    void EndFile() override { counter.End(); }
    bool Ended() const override { return counter.Ended(); }
    unsigned long long Count() const override { return counter.Count(); }

private:
    RtfTextCounter counter;
};

// Bytes up to the first zero byte: the code page's text, or UTF-8. Folded
// by the code page's characters or by UTF-8 characters.
class ByteTextView : public ContentView {
public:
    PieceCounter counter;
    bool enabled = false;
    bool utf8 = false;
    const CaseFolding* folding = nullptr;  // nullptr: bytes compare exactly
    unsigned char* scratch = nullptr;

    void PrepareFolding(const CaseFolding& table) { utf8Folder.Prepare(table); }
    void BeginFile() override
    {
        counter.Begin();
        codePageFolder.Begin();
        utf8Folder.Begin();
        ended = !enabled;
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
    void EndFile() override
    {
        if (!ended)
            Finish();
    }
    bool Ended() const override { return ended; }
    unsigned long long Count() const override { return counter.Count(); }

private:
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

    CodePageFolder codePageFolder;
    Utf8Folder utf8Folder;
    bool ended = true;
    unsigned char asciiFold[256] = {};
};

FileScan::FileScan()
    : block(nullptr), viewMask(0), utf16(), rtf(nullptr), bytes(), views(), sharedCounters(), sharing(false),
      anchorValues(), anchorCount(0), unsharedBlocks(0), unsharedRun(0), positions()
{
}

FileScan::~FileScan()
{
    Release();
    for (Utf16TextView* view : utf16)
        delete view;
    delete rtf;
    for (ByteTextView* view : bytes)
        delete view;
}

void FileScan::Release()
{
    std::free(block);
    block = nullptr;
}

namespace {

// Carves the blocks of one search out of one allocation, 8-byte aligned.
class Carver {
public:
    explicit Carver(unsigned char* base) : next(base) {}
    unsigned char* Take(size_t size)
    {
        unsigned char* taken = next;
        next += (size + 7) & ~static_cast<size_t>(7);
        return taken;
    }

private:
    unsigned char* next;
};

size_t Rounded(size_t size)
{
    return (size + 7) & ~static_cast<size_t>(7);
}

// The scratch a piece counter needs for a pattern of length elements.
size_t CounterScratch(size_t length, size_t width)
{
    return Rounded(3 * (length == 0 ? 0 : length - 1) * width);
}

}  // namespace

bool FileScan::Prepare(const SearchTextForms& forms, const CaseFolding* folding, unsigned mask,
                       RtfCodePages* codePages)
{
    Release();
    viewMask = mask & AllContentViews;
    for (Utf16TextView*& view : utf16) {
        if (view == nullptr)
            view = new (std::nothrow) Utf16TextView;
        if (view == nullptr)
            return false;
    }
    for (ByteTextView*& view : bytes) {
        if (view == nullptr)
            view = new (std::nothrow) ByteTextView;
        if (view == nullptr)
            return false;
    }
    if (rtf == nullptr)
        rtf = new (std::nothrow) RtfTextView;
    if (rtf == nullptr)
        return false;
    views[Utf16View] = utf16[0];
    views[RtfView] = rtf;
    views[AnsiView] = bytes[0];
    views[TypedUtf16View] = utf16[1];
    views[Utf8View] = bytes[1];
    views[Utf16BeView] = utf16[2];

    const std::u16string* unitTexts[3] = {&forms.widenedAnsi, &forms.typed, &forms.typed};
    const std::string* byteTexts[2] = {&forms.ansi, &forms.utf8};
    // Folded, a code page's text keeps its length and UTF-8 at most doubles it.
    size_t size = FoldScratchSize;
    for (const std::u16string* text : unitTexts)
        size += Rounded(2 * text->size()) + CounterScratch(text->size(), 2);
    size += Rounded(2 * forms.typed.size());
    size += Rounded(2 * forms.ansi.size() + 8) + CounterScratch(forms.ansi.size() + 1, 1);
    size += Rounded(2 * forms.utf8.size() + 8) + CounterScratch(2 * forms.utf8.size() + 4, 1);
    // Big-endian units compare through the folding of their swapped bytes.
    if (folding != nullptr)
        size += 65536 * sizeof(std::uint16_t);
    block = static_cast<unsigned char*>(std::calloc(size, 1));
    if (block == nullptr)
        return false;
    Carver carver(block);
    unsigned char* foldScratch = carver.Take(FoldScratchSize);
    std::uint16_t* swappedFold = nullptr;
    bool doubleByte = false;
    if (folding != nullptr) {
        swappedFold = reinterpret_cast<std::uint16_t*>(carver.Take(65536 * sizeof(std::uint16_t)));
        SwapFoldTable(folding->unit, swappedFold);
        for (bool lead : folding->lead)
            doubleByte = doubleByte || lead;
    }

    static const int unitViews[3] = {Utf16View, TypedUtf16View, Utf16BeView};
    for (int i = 0; i < 3; ++i) {
        Utf16TextView* view = utf16[i];
        const std::u16string& text = *unitTexts[i];
        std::uint16_t* pattern = reinterpret_cast<std::uint16_t*>(carver.Take(2 * text.size()));
        view->bigEndian = unitViews[i] == Utf16BeView;
        for (size_t k = 0; k < text.size(); ++k) {
            std::uint16_t unit = static_cast<std::uint16_t>(text[k]);
            if (folding != nullptr)
                unit = folding->unit[unit];
            // The counter reads the file's units as little-endian numbers.
            pattern[k] = view->bigEndian ? SwapBytes(unit) : unit;
        }
        view->counter.Prepare(2, nullptr, pattern, text.size(), carver.Take(CounterScratch(text.size(), 2)));
        // Units fold one to one: the counter compares them through the table.
        if (folding != nullptr)
            view->counter.Fold(nullptr, view->bigEndian ? swappedFold : folding->unit);
        view->enabled = (viewMask & (1u << unitViews[i])) != 0 && forms.Runs(unitViews[i] + 1) && !text.empty();
    }

    // The code page's text and UTF-8, folded as the file's text will be.
    unsigned char* patterns[2];
    size_t lengths[2];
    for (int i = 0; i < 2; ++i) {
        const std::string& text = *byteTexts[i];
        const std::string folded = folding == nullptr ? text
                                   : i == 0           ? FoldedCodePageText(*folding, text)
                                                      : FoldedUtf8(*folding, text);
        patterns[i] = carver.Take(2 * text.size() + 8);
        std::memcpy(patterns[i], folded.data(), folded.size());
        lengths[i] = folded.size();
    }
    static const int byteViews[2] = {AnsiView, Utf8View};
    for (int i = 0; i < 2; ++i) {
        ByteTextView* view = bytes[i];
        view->utf8 = byteViews[i] == Utf8View;
        view->counter.Prepare(1, patterns[i], nullptr, lengths[i], carver.Take(CounterScratch(lengths[i], 1)));
        // A single-byte code page folds byte for byte: the counter compares
        // through the table. Double-byte characters and UTF-8 are folded first.
        const bool byteForByte = folding != nullptr && !view->utf8 && !doubleByte;
        if (byteForByte)
            view->counter.Fold(folding->byte, nullptr);
        if (folding != nullptr)
            view->PrepareFolding(*folding);
        view->folding = byteForByte ? nullptr : folding;
        view->scratch = foldScratch;
        view->enabled = (viewMask & (1u << byteViews[i])) != 0 && forms.Runs(byteViews[i] + 1) && lengths[i] != 0;
    }

    // The RTF reading's plain text is Unicode: it is compared with the typed
    // text's own units, whatever they are, folded as every unit of the text.
    std::uint16_t* rtfPattern = reinterpret_cast<std::uint16_t*>(carver.Take(2 * forms.typed.size()));
    for (size_t k = 0; k < forms.typed.size(); ++k) {
        const std::uint16_t unit = static_cast<std::uint16_t>(forms.typed[k]);
        rtfPattern[k] = folding != nullptr ? folding->unit[unit] : unit;
    }
    rtf->pattern = rtfPattern;
    rtf->patternLength = forms.typed.size();
    rtf->fold = folding != nullptr ? folding->unit : nullptr;
    rtf->codePages = codePages;
    rtf->enabled = (viewMask & (1u << RtfView)) != 0 && forms.Runs(RtfView + 1);

    // The plain views that compare elements where they lie share one scan
    // for their anchors; a view that folds its text first scans on its own.
    bool shared[256] = {};
    sharing = false;
    for (int i = 0; i < ContentViewCount; ++i)
        sharedCounters[i] = nullptr;
    for (int i = 0; i < 3; ++i) {
        if (utf16[i]->enabled && utf16[i]->counter.ChooseAnchor(shared))
            sharedCounters[unitViews[i]] = &utf16[i]->counter;
    }
    for (int i = 0; i < 2; ++i) {
        ByteTextView* view = bytes[i];
        const bool folded = view->folding != nullptr && !(view->utf8 && view->PrepareAsciiFold(*folding));
        if (view->enabled && !folded && view->counter.ChooseAnchor(shared))
            sharedCounters[byteViews[i]] = &view->counter;
    }
    // Each value once; more than eight are too many to look for at once.
    anchorCount = 0;
    for (unsigned value = 0; value < 256; ++value) {
        if (!shared[value])
            continue;
        if (anchorCount < 8)
            anchorValues[anchorCount] = static_cast<unsigned char>(value);
        ++anchorCount;
    }
    for (PieceCounter* counter : sharedCounters)
        sharing = sharing || counter != nullptr;
    sharing = sharing && anchorCount <= 8;
    return true;
}

bool FileScan::Prepare(const WCHAR* searchText, unsigned mask, RtfCodePages* codePages)
{
    SearchTextForms forms;
    SetTypedText(&forms, searchText);
    // Units below 256 are the code page's bytes; a unit of 256 or more ends
    // what the byte views look for, as narrowing always has.
    std::string ansi;
    for (char16_t unit : forms.typed) {
        if (unit >= 256)
            break;
        ansi.push_back(static_cast<char>(unit));
    }
    SetAnsiText(&forms, ansi.data(), ansi.size());
    forms.widenedAnsi = forms.typed;
    return Prepare(forms, nullptr, mask & ((1u << Utf16View) | (1u << RtfView) | (1u << AnsiView)), codePages);
}

void FileScan::BeginFile()
{
    unsharedBlocks = 0;
    unsharedRun = 0;
    for (int i = 0; i < ContentViewCount; ++i)
        views[i]->BeginFile();
}

bool FileScan::FeedViews(const unsigned char* piece, size_t size, const ScanHits* hits)
{
    bool ended = true;
    for (int i = 0; i < ContentViewCount; ++i) {
        ContentView* view = views[i];
        if (!view->Ended())
            view->Feed(piece, size, sharedCounters[i] != nullptr ? hits : nullptr);
        // A view that has ended with a count leaves nothing to the views after it.
        if (view->Ended() && view->Count() != 0)
            return true;
        ended = ended && view->Ended();
    }
    return ended;
}

// The views that share the scan look for their occurrences only where it
// found their anchors: one pass over each block instead of one a view.
void FileScan::Feed(const unsigned char* piece, size_t size)
{
    if (!sharing) {
        FeedViews(piece, size, nullptr);
        return;
    }
    while (size != 0) {
        const size_t take = size < ScanBlock ? size : ScanBlock;
        // Once every view that shares the scan has ended (a binary file),
        // nothing is scanned for.
        bool scanning = false;
        for (int i = 0; i < ContentViewCount; ++i)
            scanning = scanning || (sharedCounters[i] != nullptr && !views[i]->Ended());
        ScanHits hits = {positions, kNotFound, take, take, false};
        if (unsharedBlocks != 0) {
            unsharedBlocks -= 1;
        } else if (scanning) {
            hits.found = FindAnyOf(piece, take, anchorValues, anchorCount, positions, ScanRoom, &hits.zero, &hits.ascii);
            // Where the anchors are common the views' own scans are faster:
            // the shared scan rests for longer each time it is tried in vain.
            if (hits.found == kNotFound) {
                unsharedRun = unsharedRun == 0 ? 2 : unsharedRun < 64 ? 2 * unsharedRun : 64;
                unsharedBlocks = unsharedRun;
            } else {
                unsharedRun = 0;
            }
        }
        if (FeedViews(piece, take, hits.found == kNotFound ? nullptr : &hits))
            return;
        piece += take;
        size -= take;
    }
}

void FileScan::EndFile()
{
    for (int i = 0; i < ContentViewCount; ++i) {
        if (!views[i]->Ended())
            views[i]->EndFile();
    }
}

bool FileScan::Decided() const
{
    for (int i = 0; i < ContentViewCount; ++i) {
        if (!views[i]->Ended())
            return false;
        if (views[i]->Count() != 0)
            return true;
    }
    return true;
}

unsigned long long FileScan::Result(int* view) const
{
    for (int i = 0; i < ContentViewCount; ++i) {
        if (views[i]->Count() != 0) {
            if (view != nullptr)
                *view = i;
            return views[i]->Count();
        }
    }
    if (view != nullptr)
        *view = -1;
    return 0;
}
