// The plain-text destination's handlers: the text of runs decoded in the
// document's code page, as units or as bytes of a counting window (ASCII
// copied as it lies, text no occurrence can touch left out), the keywords'
// effects, and the extraction of a whole document into units.
#include "search/rtf/RtfPlainText.h"

#include <cstdint>
#include <cstring>

#include "search/RtfTextExtractor.h"
#include "search/TextScan.h"
#include "search/rtf/RtfReading.h"

namespace {

// Widens the bytes at p, up to runEnd (none of them ends a run), into units
// of the document's code page.
const unsigned char* DecodeRun(RtfPlainText* plain, const unsigned char* p, const unsigned char* runEnd)
{
    std::uint16_t units[512];
    while (p < runEnd) {
        if (plain->fallbackLeft > 0 || plain->leadByte != 0) {
            DecodeByte(plain, *p++);
            continue;
        }
        const RtfCodePage* page = plain->codePage;
        size_t count = 0;
        bool lead = false;
        while (p < runEnd && count < sizeof units / sizeof units[0]) {
#ifdef TROVIK_SSE2
            if (plain->asciiSame && runEnd - p >= 16 && sizeof units / sizeof units[0] - count >= 16) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
                if (_mm_movemask_epi8(bytes) == 0) {
                    const __m128i zero = _mm_setzero_si128();
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(units + count), _mm_unpacklo_epi8(bytes, zero));
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(units + count + 8), _mm_unpackhi_epi8(bytes, zero));
                    count += 16;
                    p += 16;
                    continue;
                }
            }
#endif
            const std::uint16_t unit = page->units[*p];
            if (unit == 0 && page->pairs != nullptr) {
                lead = true;
                break;
            }
            if (unit != 0)
                units[count++] = unit;
            ++p;
        }
        if (count != 0)
            plain->write(plain->output, units, count);
        if (lead)
            DecodeByte(plain, *p++);
    }
    return p;
}

// Writes the window bytes of the bytes at p, up to runEnd (none of them
// ends a run), into a byte window's space; stops at a byte below 128 that no
// fallback or lead byte takes.
const unsigned char* CodeRun(RtfPlainText* plain, const unsigned char* p, const unsigned char* runEnd)
{
    RtfByteSpace* const space = plain->space;
    while (p < runEnd) {
        if (plain->fallbackLeft > 0 || plain->leadByte != 0) {
            DecodeByte(plain, *p++);
            continue;
        }
        if (*p < 0x80)
            break;
        const unsigned char code = plain->byteCodes[*p];
        if (code != 0)
            WriteCode(space, code);
        else
            DecodeByte(plain, *p);
        ++p;
    }
    return p;
}

// Writes the bytes at p into the byte window's space, skipping line breaks,
// up to the first byte of 128 or more, the first other byte that ends a run,
// or end. Text that no occurrence can touch is left out, a gap byte in its
// place.
const unsigned char* CopyAscii(RtfPlainText* plain, const unsigned char* p, const unsigned char* end)
{
    RtfByteSpace* const space = plain->space;
    unsigned char* to = space->next;
    size_t keep = space->keep;
    bool gapWritten = false;
    for (;;) {
        if (static_cast<size_t>(space->limit - to) < 48) {
            space->next = to;
            space->makeRoom(space->owner);
            to = space->next;
        }
        size_t bytes = static_cast<size_t>(end - p) < 32 ? static_cast<size_t>(end - p) : 32;
        if (keep == 0 && space->filtering && !gapWritten) {
            const unsigned char* after = SkipRtfText(p, end, space->starts, space->startCount);
            if (after != p) {
                *to++ = space->gap;
                gapWritten = true;
                p = after;
                // It stopped at a byte that may begin an occurrence, or at
                // one that ends the copy.
                if (p == end || !IsStart(*p, space->starts))
                    break;
                continue;
            }
        }
#ifdef TROVIK_SSE2
        if (end - p >= 34) {
            // 16 bytes with at most two line breaks and nothing else that
            // stops the copy are stored without a branch on where the breaks
            // are (lines are short): whole, then again from after the first
            // break and from after the second, each store one byte further
            // back. Stores for breaks that are not there land past the kept
            // bytes, and so do the bytes they read past the block.
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const unsigned breaks = LineBreakMask(block);
            const unsigned stops = (RtfRunEndMask(p) & ~breaks) | static_cast<unsigned>(_mm_movemask_epi8(block));
            const unsigned later = breaks & (breaks - 1);
            if (stops == 0 && (later & (later - 1)) == 0) {
                const unsigned first = LowestSetBit(breaks | 0x10000u);
                const unsigned second = LowestSetBit(later | 0x20000u);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(to), block);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(to + first),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + first + 1)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(to + second - 1),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + second + 1)));
                const size_t written = 16 - (breaks != 0 ? 1 : 0) - (later != 0 ? 1 : 0);
                to += written;
                p += 16;
                gapWritten = false;
                if (HasStart(block, space->starts))
                    keep = space->span;
                else
                    keep = keep > written ? keep - written : 0;
                continue;
            }
            bytes = 16;
        }
#endif
        // Byte by byte: near the end, and blocks with markup, high bytes or
        // many line breaks.
        const unsigned char* const stop = p + bytes;
        bool stopped = p == end;
        for (; p < stop; ++p) {
            const unsigned char byte = *p;
            if (IsLineBreak(byte))
                continue;
            if (byte >= 0x80 || EndsRtfRun(byte)) {
                stopped = true;
                break;
            }
            *to++ = byte;
            gapWritten = false;
            if (space->startBytes[byte])
                keep = space->span;
            else if (keep != 0)
                --keep;
        }
        if (stopped || p == end)
            break;
    }
    space->next = to;
    space->keep = keep;
    return p;
}

}  // namespace

void SetCodePage(RtfPlainText* plain, std::int32_t codePage)
{
    const RtfCodePage* page = nullptr;
    if (codePage != 1252 && codePage > 0 && plain->codePages != nullptr)
        page = plain->codePages->Find(static_cast<unsigned>(codePage));
    if (page == nullptr)
        page = &RtfCodePage1252;
    plain->codePage = page;
    plain->asciiSame = WritesAsciiAsItself(page);
    plain->leadByte = 0;
    if (plain->space != nullptr)
        plain->byteCodes = plain->space->pageCodes(plain->space->owner, page);
}

void BeginPlainText(RtfPlainText* plain, UnitWriter write, void* output, RtfCodePages* codePages,
                    RtfGroupState* outermost)
{
    plain->write = write;
    plain->output = output;
    plain->space = nullptr;
    plain->byteCodes = nullptr;
    plain->codePages = codePages;
    plain->codePage = &RtfCodePage1252;
    plain->asciiSame = true;
    plain->leadByte = 0;
    plain->fallbackLeft = 0;
    plain->groupStart = false;  // the input outside any group is no group
    plain->ignorablePending = false;
    outermost->charHandler = PlainTextChar;
    outermost->charContext = plain;
    outermost->controlHandler = PlainTextControl;
    outermost->controlContext = plain;
    outermost->groupHandler = PlainTextGroup;
    outermost->groupContext = plain;
    outermost->enclosing = nullptr;
    outermost->fallbackCount = 1;
}

void PlainTextChar(int byte, RtfGroupState* state)
{
    RtfPlainText* plain = static_cast<RtfPlainText*>(state->charContext);
    plain->groupStart = false;
    if (byte == 0)
        WriteUnit(plain, 0);  // the terminator
    else
        DecodeByte(plain, static_cast<unsigned char>(byte));
}

const unsigned char* PlainTextRun(const unsigned char* p, const unsigned char* end, RtfGroupState* state)
{
    RtfPlainText* plain = static_cast<RtfPlainText*>(state->charContext);
    if (plain->space == nullptr || !plain->asciiSame) {
        const unsigned char* const runEnd = FindRtfRunEnd(p, end);
        if (p == runEnd)
            return runEnd;
        plain->groupStart = false;
        return DecodeRun(plain, p, runEnd);
    }
    // ASCII bytes go to the byte window as they are, line after line; the
    // other bytes as their codes.
    if (p == end || EndsRtfRun(*p))
        return p;
    plain->groupStart = false;
    const unsigned char* runEnd = p;  // the end of the last run FindRtfRunEnd found
    while (p < end) {
        if (plain->fallbackLeft == 0 && plain->leadByte == 0) {
            p = CopyAscii(plain, p, end);
            if (p == end || EndsRtfRun(*p))
                break;
        } else if (IsLineBreak(*p)) {
            ++p;
            continue;
        } else if (EndsRtfRun(*p)) {
            break;
        }
        if (p >= runEnd)
            runEnd = FindRtfRunEnd(p, end);
        p = CodeRun(plain, p, runEnd);
    }
    return p;
}

void PlainTextControl(int code, std::int32_t parameter, RtfGroupState* state)
{
    ApplyKeyword(static_cast<RtfPlainText*>(state->controlContext), state, RtfKeywordOfCode(code), parameter);
}

void PlainTextGroup(int direction, RtfGroupState*, RtfGroupState* state)
{
    PlainGroupEdge(static_cast<RtfPlainText*>(state->groupContext), direction == -1);
}

void WriteSinkUnits(void* output, const std::uint16_t* units, size_t count)
{
    TextSink* sink = static_cast<TextSink*>(output);
    if (count == 0 || sink->slotsLeft == 0)
        return;
    const size_t room = sink->slotsLeft - 1;
    if (count <= room) {
        std::memcpy(sink->writePosition, units, count * sizeof(std::uint16_t));
        sink->writePosition += count;
        sink->slotsLeft -= count;
        return;
    }
    std::memcpy(sink->writePosition, units, room * sizeof(std::uint16_t));
    sink->writePosition += room;
    *sink->writePosition = 0;
    sink->slotsLeft = 0;
}

void ExtractRtfText(const unsigned char* input, size_t size, std::uint16_t* output, size_t capacity,
                    RtfCodePages* codePages)
{
    TextSink sink = {output, capacity};
    RtfPlainText plain;
    RtfGroupState outermost = {};
    BeginPlainText(&plain, WriteSinkUnits, &sink, codePages, &outermost);
    RtfReader reader = {};
    reader.cursor = input;
    reader.current = &outermost;
    reader.runCharHandler = PlainTextChar;
    reader.runHandler = PlainTextRun;
    RunRtfReader(&reader, size);
}

