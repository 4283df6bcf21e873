// The general reader: the states that read any token byte by byte across
// pieces, whole tokens at once, and the group stack. Where the current group
// belongs to the plain-text destination over a byte window, the plain-text
// loop reads in its place.
#include "search/rtf/RtfReader.h"

#include <cstdint>
#include <cstdlib>

#include "search/TextScan.h"
#include "search/rtf/RtfReading.h"

namespace {

// The state for inner depth (1-based) depth + 1, or nullptr when none can be had.
RtfGroupState* StateSlot(RtfReader* reader, size_t depth)
{
    if (depth < RtfInlineGroups)
        return &reader->inlineStates[depth];
    if (depth >= RtfMaxGroupDepth)
        return nullptr;
    if (reader->deepStates == nullptr) {
        if (reader->deepStatesUnavailable)
            return nullptr;
        reader->deepStates = static_cast<RtfGroupState*>(
            std::malloc((RtfMaxGroupDepth - RtfInlineGroups) * sizeof(RtfGroupState)));
        if (reader->deepStates == nullptr) {
            reader->deepStatesUnavailable = true;
            return nullptr;
        }
    }
    return &reader->deepStates[depth - RtfInlineGroups];
}

void SendControl(RtfReader* reader, const RtfKeyword& keyword)
{
    reader->current->controlHandler(keyword.code, reader->parameter, reader->current);
}

void SendControlWord(RtfReader* reader, const RtfKeyword& keyword, bool hasNumber)
{
    SendControl(reader, keyword);
    EndControlWord(reader, keyword, hasNumber);
}

// Hands the run of ordinary bytes at p to the current state's character
// handler, whole where the handler takes runs; returns where the run ends.
const unsigned char* SendRun(RtfReader* reader, const unsigned char* p, const unsigned char* end)
{
    RtfGroupState* state = reader->current;
    if (state->charHandler == static_cast<CharHandler>(IgnoreEvent))
        return FindRtfRunEnd(p, end);
    if (reader->runHandler != nullptr && state->charHandler == reader->runCharHandler)
        return reader->runHandler(p, end, state);
    const unsigned char* runEnd = FindRtfRunEnd(p, end);
    for (; p < runEnd; ++p)
        state->charHandler(*p, state);
    return runEnd;
}

// The end of the input: every open group is closed, innermost first, and
// the terminator is sent.
void FinishInput(RtfReader* reader)
{
    while (reader->excessDepth != 0 || reader->depth != 0)
        PopGroup(reader);
    reader->current->charHandler(0, reader->current);
    ReleaseRtfReader(reader);
    reader->readState = RtfReadEnded;
}

// The first byte: the outermost state's missing handlers ignore their events,
// and a line break there is the only one that reaches the character handler.
const unsigned char* Start(RtfReader* reader, const unsigned char* p, const unsigned char* end)
{
    reader->started = true;
    RtfGroupState* outermost = reader->current;
    if (outermost->charHandler == nullptr)
        outermost->charHandler = IgnoreEvent;
    if (outermost->controlHandler == nullptr)
        outermost->controlHandler = IgnoreEvent;
    if (outermost->groupHandler == nullptr)
        outermost->groupHandler = IgnoreEvent;
    if (p < end && IsLineBreak(*p)) {
        const unsigned char byte = *p++;
        outermost->charHandler(byte, outermost);
    }
    return p;
}

}  // namespace

void IgnoreEvent(int, RtfGroupState*) {}
void IgnoreEvent(int, std::int32_t, RtfGroupState*) {}
void IgnoreEvent(int, RtfGroupState*, RtfGroupState*) {}

const unsigned char* ReadWholeToken(RtfReader* reader, const unsigned char* p, const unsigned char* end)
{
    if (p == end)
        return nullptr;
    const unsigned char first = *p;
    if (IsControlSymbol(first)) {
        const RtfKeyword* symbol;
        const unsigned char* after = ReadSymbol(reader, p, end, &symbol);
        if (after != nullptr)
            SendControl(reader, *symbol);
        return after;
    }
    // The letters, gathered in registers while they fill the name's three
    // words (more than a row's name), then only passed.
    std::uint64_t words[3] = {0, 0, 0};
    const unsigned char* q = p;
    for (std::uint64_t& word : words) {
        unsigned shift = 0;
        for (; shift < 64 && q < end && IsLetter(*q); ++q, shift += 8)
            word |= static_cast<std::uint64_t>(*q) << shift;
        if (shift < 64)
            break;
    }
    while (q < end && IsLetter(*q))
        ++q;
    const RtfName name = {words[0], words[1], words[2]};
    if (q == end)
        return nullptr;
    const RtfKeyword& keyword = FindRtfKeyword(name, static_cast<size_t>(q - p));
    std::int32_t parameter = keyword.kind == RtfToggleWord ? 1 : reader->parameter;
    const bool hasNumber = IsDigit(*q) || *q == '-';
    if (hasNumber) {
        RtfNumber number = {0, false, false, false};
        const unsigned char* r = q;
        for (; r < end && (IsDigit(*r) || *r == '-'); ++r)
            AddToNumber(&number, *r);
        if (r == end)
            return nullptr;
        parameter = NumberValue(number);
        q = r;
    }
    if (IsWhiteSpace(*q))
        ++q;
    reader->parameter = parameter;
    SendControlWord(reader, keyword, hasNumber);
    return q;
}

// Line breaks are no part of the text: everywhere but at the very first byte
// they are skipped. A line break ends a control word (a delimiter, as a
// space is) and a backslash before one is a paragraph mark; only the two
// bytes of an escape pass it.
size_t FeedRtfReader(RtfReader* reader, const unsigned char* bytes, size_t count)
{
    const unsigned char* p = bytes;
    const unsigned char* const end = bytes + count;
    if (reader->readState == RtfReadEnded)
        return 0;
    if (!reader->started && p < end)
        p = Start(reader, p, end);
    while (p < end) {
        const unsigned char byte = *p;
        switch (reader->readState) {
        case RtfReadText: {
            if (RtfPlainText* plain = FastPlainText(reader->current)) {
                const unsigned char* after = ReadPlainText(reader, plain, p, end);
                if (after != p) {
                    p = after;
                    continue;
                }
            }
            if (!EndsRtfRun(byte)) {
                p = SendRun(reader, p, end);
                continue;
            }
            ++p;
            if (byte == 0) {
                FinishInput(reader);
                return static_cast<size_t>(p - bytes);
            }
            if (byte == '\\') {
                const unsigned char* after = ReadWholeToken(reader, p, end);
                if (after != nullptr)
                    p = after;
                else
                    reader->readState = RtfReadTokenStart;
            } else if (byte == '{')
                PushGroup(reader);
            else if (byte == '}')
                PopGroup(reader);
            continue;
        }

        case RtfReadTokenStart:
            reader->name = RtfName();
            reader->nameLength = 0;
            reader->hasNumber = false;
            if (IsControlSymbol(byte)) {
                // A symbol takes neither a parameter nor a delimiter.
                ++p;
                const RtfKeyword& symbol = RtfSymbolKeyword(byte);
                if (symbol.kind == RtfEscapeSymbol) {
                    reader->keyword = &symbol;
                    reader->readState = RtfReadHexHigh;
                    continue;
                }
                SendControl(reader, symbol);
                reader->readState = RtfReadText;
                continue;
            }
            if (IsLetter(byte)) {
                reader->readState = RtfReadName;
                continue;
            }
            reader->keyword = &RtfUnknownKeyword;  // an empty name
            reader->readState = RtfReadAfterName;
            continue;

        case RtfReadName: {
            if (IsLetter(byte)) {
                if (reader->nameLength < RtfLongestKeyword)
                    AddToName(&reader->name, reader->nameLength, byte);
                reader->nameLength += 1;
                ++p;
                continue;
            }
            reader->keyword = &FindRtfKeyword(reader->name, reader->nameLength);
            if (reader->keyword->kind == RtfToggleWord)
                reader->parameter = 1;
            reader->readState = RtfReadAfterName;
            continue;
        }

        case RtfReadAfterName:
            if (IsDigit(byte) || byte == '-') {
                reader->hasNumber = true;
                reader->number = RtfNumber();
                reader->readState = RtfReadNumber;
                continue;
            }
            // One white-space byte after a control word (a line break too)
            // is its delimiter.
            if (IsWhiteSpace(byte))
                ++p;
            SendControlWord(reader, *reader->keyword, false);
            continue;

        case RtfReadNumber:
            // The whole run of digits and '-' is consumed; its value is an
            // optional sign and the digits up to the first other byte,
            // accumulated modulo 2^32.
            if (IsDigit(byte) || byte == '-') {
                AddToNumber(&reader->number, byte);
                ++p;
                continue;
            }
            reader->parameter = NumberValue(reader->number);
            if (IsWhiteSpace(byte))
                ++p;
            SendControlWord(reader, *reader->keyword, true);
            continue;

        case RtfReadHexHigh:
            // The escape takes the next two bytes whatever they are, a zero too.
            ++p;
            if (IsLineBreak(byte))
                continue;
            reader->escapeFirst = byte;
            reader->readState = RtfReadHexLow;
            continue;

        case RtfReadHexLow: {
            ++p;
            if (IsLineBreak(byte))
                continue;
            SetEscapeParameter(reader, reader->escapeFirst, byte);
            SendControl(reader, *reader->keyword);
            reader->readState = RtfReadText;
            continue;
        }

        case RtfReadBinary: {
            size_t take = static_cast<size_t>(end - p);
            if (take > reader->binaryLeft)
                take = reader->binaryLeft;
            p += take;
            reader->binaryLeft -= static_cast<std::uint32_t>(take);
            if (reader->binaryLeft == 0)
                reader->readState = RtfReadText;
            continue;
        }

        case RtfReadEnded:
        default:
            return static_cast<size_t>(p - bytes);
        }
    }
    return count;
}

void EndRtfInput(RtfReader* reader)
{
    static const unsigned char zero = 0;
    // A token or an escape in progress takes at most two of the zeros; the
    // next one ends the input.
    for (int i = 0; i < 3 && reader->readState != RtfReadEnded; ++i)
        FeedRtfReader(reader, &zero, 1);
    if (reader->readState != RtfReadEnded)
        FinishInput(reader);
}

void ReleaseRtfReader(RtfReader* reader)
{
    std::free(reader->deepStates);
    reader->deepStates = nullptr;
}

void RunRtfReader(RtfReader* reader, size_t size)
{
    // The reader stops at a zero byte that ends the input, and reads on past
    // one that an escape or binary data takes; the zeros after the input end
    // it in any case.
    reader->cursor += FeedRtfReader(reader, reader->cursor, size);
    EndRtfInput(reader);
}

void PushGroup(RtfReader* reader)
{
    if (reader->excessDepth == 0) {
        RtfGroupState* state = StateSlot(reader, reader->depth);
        if (state != nullptr) {
            RtfGroupState* current = reader->current;
            *state = *current;
            current->groupHandler(-1, state, current);
            state->enclosing = current;
            reader->current = state;
            reader->depth += 1;
            return;
        }
        // Beyond the cap the deepest state stands for every deeper group.
        reader->excessSnapshot = *reader->current;
    }
    reader->excessDepth += 1;
}

void PopGroup(RtfReader* reader)
{
    if (reader->excessDepth != 0) {
        reader->excessDepth -= 1;
        if (reader->excessDepth == 0)
            *reader->current = reader->excessSnapshot;
        return;
    }
    if (reader->depth == 0)
        return;  // a closing brace never removes the outermost state
    RtfGroupState* closing = reader->current;
    RtfGroupState* enclosing = closing->enclosing;
    closing->groupHandler(0, enclosing, closing);
    reader->current = enclosing;
    reader->depth -= 1;
}

