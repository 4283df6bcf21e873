// The plain-text destination's handlers: the text of runs decoded in the
// document's code page, as units or as bytes of a counting window (ASCII
// copied as it lies, text no occurrence can touch left out), the keywords'
// effects, and the extraction of a whole document into units.
#include "search/rtf/RtfPlainText.h"

#include <cstdint>
#include <cstdlib>
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

// A field's instruction has been read: the target of a HYPERLINK (its first
// argument, quoted or a word that does not begin with a backslash) is kept,
// after a line break, while the targets fit RtfMaxLinkTargets.
void KeepLinkTarget(RtfPlainText* plain)
{
    const std::uint16_t* text = plain->instruction;
    const size_t length = plain->instructionLength;
    size_t at = 0;
    while (at < length && text[at] == ' ')
        ++at;
    static const char kHyperlink[] = "hyperlink";
    for (size_t k = 0; kHyperlink[k] != 0; ++k, ++at) {
        if (at == length || (text[at] | 0x20) != kHyperlink[k])
            return;
    }
    if (at == length || text[at] != ' ')
        return;
    while (at < length && text[at] == ' ')
        ++at;
    if (at == length || text[at] == '\\')
        return;
    const std::uint16_t stop = text[at] == '"' ? '"' : ' ';
    if (stop == '"')
        ++at;
    size_t end = at;
    while (end < length && text[end] != stop)
        ++end;
    if (end == at || plain->targetsFull)
        return;
    const size_t needed = 1 + (end - at);
    if (plain->targets == nullptr)
        plain->targets = static_cast<std::uint16_t*>(std::malloc(RtfMaxLinkTargets * sizeof(std::uint16_t)));
    if (plain->targets == nullptr || needed > RtfMaxLinkTargets - plain->targetsLength) {
        plain->targetsFull = true;
        return;
    }
    plain->targets[plain->targetsLength++] = '\n';
    std::memcpy(plain->targets + plain->targetsLength, text + at, (end - at) * sizeof(std::uint16_t));
    plain->targetsLength += end - at;
}

// A field's instruction where the text around it is visible (ignorable: it
// follows \* at its group's start) is read for a link's target; else its
// group is silenced, as is an instruction outside any group.
void BeginInstruction(RtfPlainText* plain, RtfGroupState* state, bool ignorable)
{
    const RtfGroupState* around = ignorable ? state->enclosing : state;
    if (state->enclosing != nullptr && around->charHandler == PlainTextChar) {
        state->charHandler = FieldInstructionChar;
        plain->instructionLength = 0;
    } else {
        state->charHandler = IgnoreEvent;
    }
}

}  // namespace

void ApplyOtherEffect(RtfPlainText* plain, RtfGroupState* state, const RtfKeyword& keyword, std::int32_t parameter,
                      bool first, bool ignorable)
{
    switch (keyword.effect) {
    case RtfWrites:
        WriteKeywordUnit(plain, state, keyword.unit);
        break;
    case RtfEscapedByte: {
        // A zero byte is not written: the text goes on after it.
        const unsigned char byte = static_cast<unsigned char>(static_cast<std::uint32_t>(parameter) & 0xFFu);
        if (byte != 0 && state->charHandler == PlainTextChar)
            DecodeByte(plain, byte);
        else if (byte != 0 && state->charHandler == FieldInstructionChar)
            FieldInstructionChar(byte, state);
        break;
    }
    case RtfSilences:
        state->charHandler = IgnoreEvent;
        break;
    case RtfMarksIgnorable:
        // A group that begins with \* is one a reader may skip: nothing in it
        // is shown unless the word after the symbol is one a reader shows
        // (writers mark footnotes and field results so).
        if (first) {
            state->charHandler = IgnoreEvent;
            plain->ignorablePending = true;
        }
        break;
    case RtfShownAfterMark:
        if (ignorable && state->enclosing != nullptr)
            state->charHandler = state->enclosing->charHandler;
        break;
    case RtfLetterByNumber:
        // A signed 16-bit number: -1 is U+FFFF.
        if (state->charHandler == PlainTextChar || state->charHandler == FieldInstructionChar) {
            const std::uint16_t unit = static_cast<std::uint16_t>(static_cast<std::uint32_t>(parameter) & 0xFFFFu);
            if (unit != 0)
                WriteKeywordUnit(plain, state, unit);
            plain->fallbackLeft = state->fallbackCount;
        }
        break;
    case RtfFallbackCount:
        state->fallbackCount = parameter < 0 ? 0 : parameter;
        break;
    case RtfDocumentCodePage:
        SetCodePage(plain, state, parameter);
        break;
    case RtfFontTable:
        state->charHandler = IgnoreEvent;
        state->fontTable = true;
        break;
    case RtfFontNumber:
        // In the body most runs name their font again.
        if (!state->fontTable && state->hasFont && state->font == parameter)
            break;
        ApplyFontKeyword(plain, state, keyword.effect, parameter);
        break;
    case RtfFontCharset:
    case RtfFontCodePage:
    case RtfDefaultFont:
    case RtfDefaultFormatting:
        ApplyFontKeyword(plain, state, keyword.effect, parameter);
        break;
    case RtfFieldInstruction:
        BeginInstruction(plain, state, ignorable);
        break;
    case RtfNoEffect:
        break;
    }
}

void EndGroupFormatting(RtfPlainText* plain, const RtfGroupState* closing, const RtfGroupState* enclosing)
{
    if (closing->charHandler == FieldInstructionChar && enclosing->charHandler != FieldInstructionChar)
        KeepLinkTarget(plain);
    if (closing->hasFont != enclosing->hasFont || closing->font != enclosing->font)
        UsePageInForce(plain, enclosing);
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
    plain->documentPage = &RtfCodePage1252;
    plain->asciiSame = true;
    plain->leadByte = 0;
    plain->fallbackLeft = 0;
    plain->groupStart = false;  // the input outside any group is no group
    plain->ignorablePending = false;
    ClearFonts(&plain->fonts);
    plain->definingFont = -1;
    plain->defaultFont = 0;
    plain->hasDefaultFont = false;
    for (RtfPlainText::PageUse& use : plain->pageUses)
        use.page = nullptr;
    plain->nextPageUse = 0;
    plain->instructionLength = 0;
    plain->targets = nullptr;
    plain->targetsLength = 0;
    plain->targetsFull = false;
    outermost->charHandler = PlainTextChar;
    outermost->charContext = plain;
    outermost->controlHandler = PlainTextControl;
    outermost->controlContext = plain;
    outermost->groupHandler = PlainTextGroup;
    outermost->groupContext = plain;
    outermost->enclosing = nullptr;
    outermost->fallbackCount = 1;
    outermost->font = 0;
    outermost->hasFont = false;
    outermost->fontTable = false;
}

void EndPlainText(RtfPlainText* plain)
{
    if (plain->targetsLength != 0)
        plain->write(plain->output, plain->targets, plain->targetsLength);
    WriteUnit(plain, 0);
    ReleasePlainText(plain);
}

void ReleasePlainText(RtfPlainText* plain)
{
    std::free(plain->targets);
    plain->targets = nullptr;
    plain->targetsLength = 0;
}

void PlainTextChar(int byte, RtfGroupState* state)
{
    RtfPlainText* plain = static_cast<RtfPlainText*>(state->charContext);
    plain->groupStart = false;
    if (byte != 0)
        DecodeByte(plain, static_cast<unsigned char>(byte));
}

void FieldInstructionChar(int byte, RtfGroupState* state)
{
    RtfPlainText* plain = static_cast<RtfPlainText*>(state->charContext);
    plain->groupStart = false;
    if (byte == 0)
        return;
    const std::uint16_t unit = ByteUnit(plain, static_cast<unsigned char>(byte));
    if (unit != 0)
        AddToInstruction(plain, unit);
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

void PlainTextGroup(int direction, RtfGroupState* other, RtfGroupState* state)
{
    RtfPlainText* plain = static_cast<RtfPlainText*>(state->groupContext);
    if (direction == -1)
        PlainGroupEdge(plain, true);
    else
        ClosePlainGroup(plain, state, other);
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
    EndPlainText(&plain);
}

