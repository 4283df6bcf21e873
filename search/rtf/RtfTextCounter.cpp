// The counting window: the plain text held while it is counted, as UTF-16
// units or one byte for each unit, and the counter that feeds a file's pieces
// through the reader into it.
#include <cstdint>
#include <cstring>

#include "search/RtfTextExtractor.h"
#include "search/TextScan.h"
#include "search/rtf/RtfReading.h"

namespace {

typedef RtfTextCounter::Window CountingWindow;

const size_t kWindowUnits = sizeof(CountingWindow::units) / sizeof(CountingWindow::units[0]);
const size_t kWindowBytes = sizeof(CountingWindow::units);
// The byte no pattern byte equals.
const unsigned char kNoPatternByte = 0xFF;

// The bytes of a byte window, which take the units' storage.
inline unsigned char* WindowBytes(CountingWindow* window)
{
    return reinterpret_cast<unsigned char*>(window->units);
}

// The next occurrence in the window at or after from, or kNotFound. (The
// window's units are in the machine's order, little-endian on every target,
// as FindUnits reads them.)
size_t FindInWindow(CountingWindow* window, size_t from)
{
    const size_t m = window->patternLength;
    if (!window->bytes)
        return FindUnits(WindowBytes(window), window->length, from, window->pattern, m);
    if (window->fold == nullptr)
        return FindBytes(WindowBytes(window), window->length, from, window->bytePattern, m);
    return FindBytesFolded(WindowBytes(window), window->length, from, window->bytePattern, m, window->byteFold,
                           window->firstVariants, window->lastVariants);
}

// Counts the occurrences that lie wholly in the window. Unless final, keeps
// the tail that may still begin one, and where the next may start.
void CountInWindow(CountingWindow* window, bool final)
{
    if (window->bytes)
        window->length = static_cast<size_t>(window->space.next - WindowBytes(window));
    const size_t m = window->patternLength;
    for (size_t at = FindInWindow(window, window->from); at != kNotFound; at = FindInWindow(window, window->from)) {
        window->count += 1;
        window->from = at + m;
    }
    if (final)
        return;
    size_t keep = window->length >= m - 1 ? window->length - (m - 1) : 0;
    if (keep < window->from)
        keep = window->from < window->length ? window->from : window->length;
    const size_t elementSize = window->bytes ? 1 : sizeof(std::uint16_t);
    unsigned char* text = WindowBytes(window);
    std::memmove(text, text + keep * elementSize, (window->length - keep) * elementSize);
    window->length -= keep;
    window->from = window->from > keep ? window->from - keep : 0;
    window->space.next = text + window->length;
}

void MakeRoom(void* owner)
{
    CountInWindow(static_cast<CountingWindow*>(owner), false);
}

inline unsigned HashUnit(std::uint16_t unit)
{
    return (unit ^ (unit >> 8) ^ (unit >> 5)) & 0xFFu;
}

// The code of a pattern unit of 128 or more, or kNoPatternByte.
inline unsigned char UnitCode(const CountingWindow* window, std::uint16_t unit)
{
    for (unsigned slot = HashUnit(unit); window->unitCodes[slot] != 0; slot = (slot + 1) & 0xFFu) {
        if (window->codedUnits[slot] == unit)
            return window->unitCodes[slot];
    }
    return kNoPatternByte;
}

// The byte of a byte window that stands for a unit (see RtfTextCounter::Window).
inline unsigned char WindowByte(const CountingWindow* window, std::uint16_t unit)
{
    if (unit < 0x80)
        return static_cast<unsigned char>(unit);
    if (window->fold == nullptr)
        return UnitCode(window, unit);
    const std::uint16_t folded = window->fold[unit];
    return folded < 0x80 ? window->asciiCodes[folded] : UnitCode(window, folded);
}

// The window bytes of a code page's bytes that write one unit alone; 0 for
// the others.
void CodePageBytes(const CountingWindow* window, const RtfCodePage* page, unsigned char* codes)
{
    for (unsigned byte = 0; byte < 0x100; ++byte)
        codes[byte] = page->units[byte] == 0 ? 0 : WindowByte(window, page->units[byte]);
}

// RtfByteSpace::pageCodes of a byte window: 1252's table is made with the
// window, another code page's in the slot asked for.
const unsigned char* PageCodes(void* owner, const RtfCodePage* page, unsigned slot)
{
    CountingWindow* window = static_cast<CountingWindow*>(owner);
    if (page == &RtfCodePage1252)
        return window->codes1252;
    CodePageBytes(window, page, window->pageCodes[slot]);
    return window->pageCodes[slot];
}

// UnitWriter of the counting window: folds the units where a table is given.
void AppendUnits(void* output, const std::uint16_t* units, size_t count)
{
    CountingWindow* window = static_cast<CountingWindow*>(output);
    if (window->bytes) {
        RtfByteSpace* space = &window->space;
        while (count != 0) {
            if (space->next == space->limit)
                CountInWindow(window, false);
            size_t take = static_cast<size_t>(space->limit - space->next);
            if (take > count)
                take = count;
            for (size_t i = 0; i < take; ++i) {
                space->next[i] = WindowByte(window, units[i]);
                KeepAfter(space, space->next[i]);
            }
            space->next += take;
            units += take;
            count -= take;
        }
        return;
    }
    while (count != 0) {
        size_t take = kWindowUnits - window->length;
        if (take > count)
            take = count;
        if (window->fold != nullptr) {
            std::uint16_t* to = window->units + window->length;
            for (size_t i = 0; i < take; ++i)
                to[i] = window->fold[units[i]];
        } else {
            std::memcpy(window->units + window->length, units, take * sizeof(std::uint16_t));
        }
        window->length += take;
        units += take;
        count -= take;
        if (window->length == kWindowUnits)
            CountInWindow(window, false);
    }
}

// Sets the window up for a pattern: on bytes when it is short enough and
// its units take no more codes than there are, else on units. The tables
// are kept while the pattern and the fold table stay the same.
void PrepareWindow(CountingWindow* window)
{
    const size_t m = window->patternLength;
    if (window->prepared && window->preparedFold == window->fold && window->preparedLength == m &&
        std::memcmp(window->preparedPattern, window->pattern, m * sizeof(std::uint16_t)) == 0)
        return;
    window->prepared = false;
    window->bytes = false;
    if (m == 0 || m > RtfTextCounter::BytePatternLimit)
        return;
    std::memset(window->unitCodes, 0, sizeof window->unitCodes);
    unsigned nextCode = 0x80;
    for (size_t i = 0; i < m; ++i) {
        const std::uint16_t unit = window->pattern[i];
        if (unit < 0x80) {
            window->bytePattern[i] = static_cast<unsigned char>(unit);
            continue;
        }
        unsigned char code = UnitCode(window, unit);
        if (code == kNoPatternByte) {
            if (nextCode == kNoPatternByte)
                return;  // more distinct units than codes
            code = static_cast<unsigned char>(nextCode++);
            unsigned slot = HashUnit(unit);
            while (window->unitCodes[slot] != 0)
                slot = (slot + 1) & 0xFFu;
            window->codedUnits[slot] = unit;
            window->unitCodes[slot] = code;
        }
        window->bytePattern[i] = code;
    }
    unsigned char startValue = window->bytePattern[0];  // a byte whose byteFold is the first pattern byte
    unsigned char endValue = window->bytePattern[m - 1];
    if (window->fold != nullptr) {
        std::memset(window->asciiCodes, kNoPatternByte, sizeof window->asciiCodes);
        for (size_t i = 0; i < m; ++i) {
            const std::uint16_t unit = window->pattern[i];
            if (unit >= 0x80 || window->asciiCodes[unit] != kNoPatternByte)
                continue;
            if (nextCode == kNoPatternByte)
                return;
            window->asciiCodes[unit] = static_cast<unsigned char>(nextCode++);
        }
        for (unsigned byte = 0; byte < 0x80; ++byte) {
            const std::uint16_t folded = window->fold[byte];
            window->byteFold[byte] = folded < 0x80 ? static_cast<unsigned char>(folded) : UnitCode(window, folded);
        }
        for (unsigned byte = 0x80; byte < 0x100; ++byte)
            window->byteFold[byte] = byte < nextCode ? static_cast<unsigned char>(byte) : kNoPatternByte;
        for (unsigned value = 0; value < 0x80; ++value) {
            if (window->asciiCodes[value] != kNoPatternByte)
                window->byteFold[window->asciiCodes[value]] = static_cast<unsigned char>(value);
        }
        if (startValue < 0x80)
            startValue = window->asciiCodes[startValue];
        if (endValue < 0x80)
            endValue = window->asciiCodes[endValue];
        window->firstVariants = BytesFoldingLike(window->byteFold, startValue);
        window->lastVariants = BytesFoldingLike(window->byteFold, endValue);
    }
    window->bytes = true;
    CodePageBytes(window, &RtfCodePage1252, window->codes1252);

    // The bytes below 128 that may begin an occurrence; up to four of them
    // let text that cannot be left out.
    RtfByteSpace* space = &window->space;
    unsigned starts = 0;
    space->filtering = true;
    for (unsigned byte = 0; byte < 0x100; ++byte) {
        const unsigned char key = window->fold != nullptr ? window->byteFold[byte] : static_cast<unsigned char>(byte);
        space->startBytes[byte] = key == window->bytePattern[0];
    }
    for (unsigned byte = 0; byte < 0x80; ++byte) {
        if (!space->startBytes[byte])
            continue;
        if (starts == 4) {
            space->filtering = false;
            break;
        }
        space->starts[starts++] = static_cast<unsigned char>(byte);
    }
    // No byte below 128 begins one: a byte that no run of them holds.
    for (unsigned k = starts; k < 4; ++k)
        space->starts[k] = starts == 0 ? 0x80 : space->starts[0];
    space->startCount = starts == 0 ? 1 : starts;
    space->gap = kNoPatternByte;
    space->span = m;

    std::memcpy(window->preparedPattern, window->pattern, m * sizeof(std::uint16_t));
    window->preparedLength = m;
    window->preparedFold = window->fold;
    window->prepared = true;
}

}  // namespace

RtfTextCounter::RtfTextCounter() : reader(), outermost(), plain(), count(0), ended(true)
{
    window.pattern = nullptr;
    window.patternLength = 0;
    window.fold = nullptr;
    window.bytes = false;
    window.prepared = false;
    window.space = RtfByteSpace();
    window.length = 0;
    window.from = 0;
    window.count = 0;
}

RtfTextCounter::~RtfTextCounter()
{
    ReleaseRtfReader(&reader);
    ReleasePlainText(&plain);
}

void RtfTextCounter::Begin(const std::uint16_t* pattern, size_t patternLength, const std::uint16_t* fold,
                           RtfCodePages* codePages)
{
    // Every field but the inline group states, which each group sets when it
    // opens: a fresh reader for every file without clearing 4 KiB each time.
    ReleaseRtfReader(&reader);
    reader.cursor = nullptr;
    reader.parameter = 0;
    reader.current = &outermost;
    reader.runCharHandler = PlainTextChar;
    reader.runHandler = PlainTextRun;
    reader.readState = RtfReadText;
    reader.started = false;
    reader.name = RtfName();
    reader.nameLength = 0;
    reader.keyword = &RtfUnknownKeyword;
    reader.number = RtfNumber();
    reader.hasNumber = false;
    reader.escapeFirst = 0;
    reader.binaryLeft = 0;
    reader.depth = 0;
    reader.deepStatesUnavailable = false;
    reader.excessDepth = 0;
    reader.excessSnapshot = RtfGroupState();

    ReleasePlainText(&plain);
    BeginPlainText(&plain, AppendUnits, &window, codePages, &outermost);

    window.pattern = pattern;
    window.patternLength = patternLength;
    window.fold = fold;
    PrepareWindow(&window);
    if (window.bytes) {
        RtfByteSpace* space = &window.space;
        space->next = WindowBytes(&window);
        space->limit = space->next + kWindowBytes;
        space->owner = &window;
        space->makeRoom = MakeRoom;
        space->pageCodes = PageCodes;
        space->keep = 0;
        plain.space = space;
        plain.byteCodes = window.codes1252;
    }
    window.length = 0;
    window.from = 0;
    window.count = 0;
    count = 0;
    ended = patternLength == 0;
}

void RtfTextCounter::Feed(const unsigned char* bytes, size_t byteCount)
{
    if (ended)
        return;
    FeedRtfReader(&reader, bytes, byteCount);
    if (reader.readState == RtfReadEnded)
        Close();
}

void RtfTextCounter::End()
{
    if (ended)
        return;
    EndRtfInput(&reader);
    Close();
}

void RtfTextCounter::Close()
{
    EndPlainText(&plain);
    CountInWindow(&window, true);
    count = window.count;
    ended = true;
    ReleaseRtfReader(&reader);
}
