// The view table: the UTF-16, RTF and 8-bit readings of a file fed piece by
// piece, each ending where its text ends. Occurrences are exact,
// case-sensitive and never overlap.
#include "search/ContentMatchers.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "search/TextScan.h"

const char* const ContentViewNames[ContentViewCount] = {"UTF-16", "RTF", "8-bit"};

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

size_t PieceCounter::Find(const unsigned char* text, size_t elements, size_t from) const
{
    return width == 1 ? FindBytes(text, elements, from, bytePattern, length)
                      : FindUnits(text, elements, from, unitPattern, length);
}

// The carry holds the last elements seen at or after the point where the
// next occurrence may start, at most length - 1 of them: the only ones that
// can still begin an occurrence. Each piece first settles the occurrences
// that begin in the carry, then searches the piece where it lies.
void PieceCounter::Feed(const unsigned char* bytes, size_t elements)
{
    if (length == 0 || elements == 0)
        return;
    const size_t tail = length - 1;
    size_t from = 0;
    if (carried != 0) {
        const size_t take = elements < tail ? elements : tail;
        std::memcpy(joint, carry, carried * width);
        std::memcpy(joint + carried * width, bytes, take * width);
        const size_t jointLength = carried + take;
        size_t next = 0;
        for (size_t at = Find(joint, jointLength, 0); at != kNotFound && at < carried;
             at = Find(joint, jointLength, next)) {
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
            return;
        }
        from = next > carried ? next - carried : 0;
    }
    for (size_t at = Find(bytes, elements, from); at != kNotFound; at = Find(bytes, elements, from)) {
        count += 1;
        from = at + length;
    }
    size_t keep = elements > tail ? elements - tail : 0;
    if (keep < from)
        keep = from;
    carried = elements - keep;
    std::memcpy(carry, bytes + keep * width, carried * width);
}

// UTF-16LE from the first byte up to the first zero unit at an even offset.
// A last odd byte is the low half of a unit whose high half is zero.
class Utf16TextView : public ContentView {
public:
    PieceCounter counter;

    void BeginFile() override
    {
        counter.Begin();
        hasOdd = false;
        ended = false;
    }
    void Feed(const unsigned char* bytes, size_t count) override
    {
        if (count == 0)
            return;
        if (hasOdd) {
            const unsigned char unit[2] = {odd, bytes[0]};
            hasOdd = false;
            ++bytes;
            --count;
            if (unit[0] == 0 && unit[1] == 0) {
                ended = true;
                return;
            }
            counter.Feed(unit, 1);
        }
        const size_t units = count / 2;
        const size_t zero = FindZeroUnit(bytes, units);
        counter.Feed(bytes, zero);
        if (zero < units) {
            ended = true;
            return;
        }
        if (count % 2 != 0) {
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
    const std::uint16_t* pattern = nullptr;
    size_t patternLength = 0;
    const std::uint16_t* fold = nullptr;  // nullptr: units compared exactly
    RtfCodePages* codePages = nullptr;

    void BeginFile() override { counter.Begin(pattern, patternLength, fold, codePages); }
    void Feed(const unsigned char* bytes, size_t count) override { counter.Feed(bytes, count); }
    void EndFile() override { counter.End(); }
    bool Ended() const override { return counter.Ended(); }
    unsigned long long Count() const override { return counter.Count(); }

private:
    RtfTextCounter counter;
};

// Bytes up to the first zero byte. A text that starts with a unit of 256 or
// more narrows to nothing and counts nothing.
class AnsiTextView : public ContentView {
public:
    PieceCounter counter;
    bool emptyPattern = true;

    void BeginFile() override
    {
        counter.Begin();
        ended = emptyPattern;
    }
    void Feed(const unsigned char* bytes, size_t count) override
    {
        const size_t zero = FindZeroByte(bytes, count);
        counter.Feed(bytes, zero);
        if (zero < count)
            ended = true;
    }
    void EndFile() override { ended = true; }
    bool Ended() const override { return ended; }
    unsigned long long Count() const override { return counter.Count(); }

private:
    bool ended = true;
};

FileScan::FileScan() : block(nullptr), viewMask(0), utf16(nullptr), rtf(nullptr), ansi(nullptr), views()
{
}

FileScan::~FileScan()
{
    Release();
    delete utf16;
    delete rtf;
    delete ansi;
}

void FileScan::Release()
{
    std::free(block);
    block = nullptr;
}

bool FileScan::Prepare(const WCHAR* searchText, unsigned mask, RtfCodePages* codePages)
{
    Release();
    viewMask = mask & AllContentViews;
    if (utf16 == nullptr)
        utf16 = new (std::nothrow) Utf16TextView;
    if (rtf == nullptr)
        rtf = new (std::nothrow) RtfTextView;
    if (ansi == nullptr)
        ansi = new (std::nothrow) AnsiTextView;
    if (utf16 == nullptr || rtf == nullptr || ansi == nullptr)
        return false;
    views[Utf16View] = utf16;
    views[RtfView] = rtf;
    views[AnsiView] = ansi;

    size_t units = 0;
    while (searchText[units] != 0)
        ++units;
    const size_t tail = units == 0 ? 0 : units - 1;
    // The unit pattern, the narrow pattern and its terminator, and the scratch
    // of the two counters, in one block.
    const size_t unitBytes = units * sizeof(std::uint16_t);
    const size_t narrowBytes = units + 2;
    const size_t size = unitBytes + narrowBytes + 3 * tail * 2 + 3 * tail;
    block = static_cast<unsigned char*>(std::calloc(size, 1));
    if (block == nullptr)
        return false;
    std::uint16_t* unitPattern = reinterpret_cast<std::uint16_t*>(block);
    for (size_t i = 0; i < units; ++i)
        unitPattern[i] = static_cast<std::uint16_t>(searchText[i]);
    unsigned char* narrow = block + unitBytes;
    NarrowText(reinterpret_cast<char*>(narrow), searchText, narrowBytes);
    const size_t narrowLength = std::strlen(reinterpret_cast<const char*>(narrow));
    unsigned char* scratch = narrow + narrowBytes;

    utf16->counter.Prepare(2, nullptr, unitPattern, units, scratch);
    ansi->counter.Prepare(1, narrow, nullptr, narrowLength, scratch + 3 * tail * 2);
    ansi->emptyPattern = narrowLength == 0;
    // The plain text is Unicode: it is compared with the typed units whatever they are.
    rtf->pattern = unitPattern;
    rtf->patternLength = units;
    rtf->fold = nullptr;
    rtf->codePages = codePages;
    return true;
}

void FileScan::BeginFile()
{
    for (int i = 0; i < ContentViewCount; ++i) {
        if ((viewMask & (1u << i)) != 0)
            views[i]->BeginFile();
    }
}

void FileScan::Feed(const unsigned char* piece, size_t size)
{
    for (int i = 0; i < ContentViewCount; ++i) {
        if ((viewMask & (1u << i)) == 0)
            continue;
        ContentView* view = views[i];
        if (!view->Ended())
            view->Feed(piece, size);
        // A view that has ended with a count leaves nothing to the views after it.
        if (view->Ended() && view->Count() != 0)
            return;
    }
}

void FileScan::EndFile()
{
    for (int i = 0; i < ContentViewCount; ++i) {
        if ((viewMask & (1u << i)) != 0 && !views[i]->Ended())
            views[i]->EndFile();
    }
}

bool FileScan::Decided() const
{
    for (int i = 0; i < ContentViewCount; ++i) {
        if ((viewMask & (1u << i)) == 0)
            continue;
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
        if ((viewMask & (1u << i)) != 0 && views[i]->Count() != 0) {
            if (view != nullptr)
                *view = i;
            return views[i]->Count();
        }
    }
    if (view != nullptr)
        *view = -1;
    return 0;
}
