// The RTF reader core as a resumable state machine, its plain-text
// destination, and the counting of the plain text while it is produced.
// Runs of ordinary bytes are handled a block at a time; every other rule is
// applied byte by byte.
#include "search/RtfTextExtractor.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "search/SearchText.h"
#include "search/TextScan.h"

const RtfKeyword RtfKeywordTable[28] = {
    {"'", RtfHexEscape},  {"ansi", RtfAnsi},         {"b", RtfB},        {"blue", RtfBlue},
    {"colortbl", RtfColortbl}, {"endash", RtfEndash}, {"f", RtfF},        {"fi", RtfFi},
    {"fnil", RtfFnil},    {"fonttbl", RtfFonttbl},   {"fs", RtfFs},      {"fswiss", RtfFswiss},
    {"green", RtfGreen},  {"i", RtfI},               {"li", RtfLi},      {"page", RtfPage},
    {"par", RtfPar},      {"pard", RtfPard},         {"plain", RtfPlain}, {"rdblquote", RtfRdblquote},
    {"red", RtfRed},      {"ri", RtfRi},             {"rtf", RtfRtf},    {"super", RtfSuper},
    {"tab", RtfTab},      {"tx", RtfTx},             {"{", RtfOpenBrace}, {"}", RtfCloseBrace},
};

namespace {

// The longest name in RtfKeywordTable is 9 letters; a longer name is never
// looked up, only counted (any length is consumed whole).
const size_t kLongestKeyword = 9;

inline bool IsLineBreak(unsigned char byte)
{
    return byte == '\r' || byte == '\n';
}

inline bool IsLetter(unsigned char byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

inline bool IsDigit(unsigned char byte)
{
    return byte >= '0' && byte <= '9';
}

inline bool IsWhiteSpace(unsigned char byte)
{
    return (byte >= 9 && byte <= 13) || byte == ' ';
}

inline bool IsControlSymbol(unsigned char byte)
{
    switch (byte) {
    case '\'': case '*': case '-': case ':': case '\\':
    case '_': case '{': case '|': case '}': case '~':
        return true;
    default:
        return false;
    }
}

inline int HexValue(unsigned char byte)
{
    if (byte >= '0' && byte <= '9')
        return byte - '0';
    if (byte >= 'A' && byte <= 'F')
        return byte - 'A' + 10;
    if (byte >= 'a' && byte <= 'f')
        return byte - 'a' + 10;
    return -1;
}

// A byte that ends a run of text: markup, a line break or the end.
inline bool EndsRun(unsigned char byte)
{
    return byte == 0 || byte == '\n' || byte == '\r' || byte == '\\' || byte == '{' || byte == '}';
}

// Past the line breaks at p, never at or past end.
inline const unsigned char* SkipLineBreaks(const unsigned char* p, const unsigned char* end)
{
    while (p < end && IsLineBreak(*p))
        ++p;
    return p;
}

// Reinterprets the 32 bits as a two's-complement value, without relying on
// implementation-defined conversions.
inline std::int32_t WrapToInt32(std::uint32_t value)
{
    if (value < 0x80000000u)
        return static_cast<std::int32_t>(value);
    return static_cast<std::int32_t>(value - 0x80000000u) + INT32_MIN;
}

#ifdef TROVIK_SSE2
// A bit for each of the 16 bytes at p that ends a run.
inline unsigned RunEndMask(const unsigned char* p)
{
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i hits = _mm_cmpeq_epi8(bytes, _mm_setzero_si128());
    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')));
    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')));
    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\\')));
    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('{')));
    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('}')));
    return static_cast<unsigned>(_mm_movemask_epi8(hits));
}
#endif

// The first byte at or after p that ends a run, or end. Nothing at or past
// end is read.
const unsigned char* FindRunEnd(const unsigned char* p, const unsigned char* end)
{
#ifdef TROVIK_SSE2
    while (end - p >= 16) {
        const unsigned mask = RunEndMask(p);
        if (mask != 0)
            return p + LowestSetBit(mask);
        p += 16;
    }
#endif
    while (p < end && !EndsRun(*p))
        ++p;
    return p;
}

// Writes count bytes through the sink with exactly the effect of count calls
// of WriteSinkChar: the byte that uses the last slot becomes the terminator.
void WriteSinkBytes(TextSink* sink, const unsigned char* bytes, size_t count)
{
    if (count == 0 || sink->slotsLeft == 0)
        return;
    const size_t room = sink->slotsLeft - 1;
    if (count <= room) {
        std::memcpy(sink->writePosition, bytes, count);
        sink->writePosition += count;
        sink->slotsLeft -= count;
        return;
    }
    std::memcpy(sink->writePosition, bytes, room);
    sink->writePosition += room;
    *sink->writePosition = 0;
    sink->slotsLeft = 0;
}

// The plain-text sink's run handler. Copies 16 bytes at a time while the sink
// has room for them before its last slot, and the rest through WriteSinkBytes.
const unsigned char* WriteRunToSink(const unsigned char* p, const unsigned char* end, RtfGroupState* state)
{
    TextSink* sink = static_cast<TextSink*>(state->charContext);
#ifdef TROVIK_SSE2
    unsigned char* out = sink->writePosition;
    size_t slots = sink->slotsLeft;
    while (slots > 16 && end - p >= 16) {
        const unsigned mask = RunEndMask(p);
        if (mask != 0) {
            const unsigned count = LowestSetBit(mask);
            std::memcpy(out, p, count);
            sink->writePosition = out + count;
            sink->slotsLeft = slots - count;
            return p + count;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        out += 16;
        p += 16;
        slots -= 16;
    }
    sink->writePosition = out;
    sink->slotsLeft = slots;
#endif
    const unsigned char* runEnd = FindRunEnd(p, end);
    WriteSinkBytes(sink, p, static_cast<size_t>(runEnd - p));
    return runEnd;
}

typedef RtfTextCounter::Window CountingWindow;

// Counts the occurrences that lie wholly in the window. Unless final, keeps
// the tail that may still begin one, and where the next may start.
void CountInWindow(CountingWindow* window, bool final)
{
    if (window->folding != nullptr) {
        // By the code page's characters: a lead byte and its trail byte
        // together; a lead byte last waits for its trail byte, unless final.
        const CaseFolding& folding = *window->folding;
        size_t i = window->folded;
        while (i < window->length) {
            const unsigned char byte = window->bytes[i];
            if (!folding.lead[byte]) {
                window->bytes[i++] = folding.byte[byte];
            } else if (i + 1 < window->length) {
                const unsigned pair = folding.pair[(static_cast<unsigned>(byte) << 8) | window->bytes[i + 1]];
                window->bytes[i] = static_cast<unsigned char>(pair >> 8);
                window->bytes[i + 1] = static_cast<unsigned char>(pair);
                i += 2;
            } else if (final) {
                ++i;
            } else {
                break;
            }
        }
        window->folded = i;
    } else {
        window->folded = window->length;
    }
    const size_t m = window->patternLength;
    for (size_t at = FindBytes(window->bytes, window->length, window->from, window->pattern, m); at != kNotFound;
         at = FindBytes(window->bytes, window->length, window->from, window->pattern, m)) {
        window->count += 1;
        window->from = at + m;
    }
    if (final)
        return;
    size_t keep = window->length >= m - 1 ? window->length - (m - 1) : 0;
    if (keep < window->from)
        keep = window->from < window->length ? window->from : window->length;
    std::memmove(window->bytes, window->bytes + keep, window->length - keep);
    window->length -= keep;
    window->folded = window->folded > keep ? window->folded - keep : 0;
    window->from = window->from > keep ? window->from - keep : 0;
}

// Appends text that holds no zero byte.
void AppendText(CountingWindow* window, const unsigned char* bytes, size_t count)
{
    while (count != 0 && !window->ended) {
        size_t take = sizeof window->bytes - window->length;
        if (take > count)
            take = count;
        std::memcpy(window->bytes + window->length, bytes, take);
        window->length += take;
        bytes += take;
        count -= take;
        if (window->length == sizeof window->bytes)
            CountInWindow(window, false);
    }
}

void WriteCountingChar(int byte, RtfGroupState* state)
{
    CountingWindow* window = static_cast<CountingWindow*>(state->charContext);
    if (byte == 0) {
        window->ended = true;  // the terminator, or a zero from an escape
        return;
    }
    const unsigned char text = static_cast<unsigned char>(byte);
    AppendText(window, &text, 1);
}

// The counting window's run handler: appends the run of ordinary bytes at p,
// and the runs after it that only line breaks separate (they add no text).
// Copies 16 bytes at a time while the window has room.
const unsigned char* AppendRuns(const unsigned char* p, const unsigned char* end, RtfGroupState* state)
{
    CountingWindow* window = static_cast<CountingWindow*>(state->charContext);
#ifdef TROVIK_SSE2
    while (!window->ended && sizeof window->bytes - window->length >= 16 && end - p >= 16) {
        const unsigned mask = RunEndMask(p);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(window->bytes + window->length),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        if (mask == 0) {
            window->length += 16;
            p += 16;
            continue;
        }
        const unsigned count = LowestSetBit(mask);
        window->length += count;
        p += count;
        if (!IsLineBreak(*p))
            return p;
        p = SkipLineBreaks(p, end);
    }
#endif
    const unsigned char* runEnd = FindRunEnd(p, end);
    AppendText(window, p, static_cast<size_t>(runEnd - p));
    return runEnd;
}

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

// A name of at most kLongestKeyword (nine) 7-bit bytes as one number that
// orders as the names do (a name before its extensions): seven bits a byte,
// first byte highest, zero-padded to nine. A byte of 128 or more is in no
// row, so such a name is never found.
typedef std::uint64_t PackedName;

inline PackedName AddToPackedName(PackedName packed, unsigned char byte)
{
    return packed << 7 | byte;
}

// Pads a name of length bytes (1 to kLongestKeyword), packed byte by byte.
inline PackedName FinishPackedName(PackedName packed, size_t length)
{
    return packed << (7 * (kLongestKeyword - length));
}

const size_t kKeywordRows = sizeof RtfKeywordTable / sizeof RtfKeywordTable[0];

// RtfKeywordTable's names packed, row for row.
struct PackedKeywordTable {
    PackedName rows[kKeywordRows];
    PackedKeywordTable() : rows()
    {
        for (size_t row = 0; row < kKeywordRows; ++row) {
            const char* name = RtfKeywordTable[row].name;
            size_t length = 0;
            for (; name[length] != 0; ++length)
                rows[row] = AddToPackedName(rows[row], static_cast<unsigned char>(name[length]));
            rows[row] = FinishPackedName(rows[row], length);
        }
    }
};

const PackedKeywordTable kPackedKeywords;

// The binary search of RtfKeywordTable, on packed names, without branches
// that depend on the name: halve the range, keep the upper half when its
// first row orders below the name.
bool LookupPackedName(PackedName name, int* code)
{
    size_t base = 0;
    size_t count = kKeywordRows;
    while (count > 1) {
        const size_t half = count / 2;
        base = kPackedKeywords.rows[base + half] <= name ? base + half : base;
        count -= half;
    }
    if (kPackedKeywords.rows[base] != name)
        return false;
    *code = RtfKeywordTable[base].code;
    return true;
}

// The code of a complete name of length letters (packed while they fitted).
int NameCode(PackedName name, size_t length)
{
    int code = 0;
    if (length == 0 || length > kLongestKeyword || !LookupPackedName(FinishPackedName(name, length), &code))
        return 0;
    return code;
}

void SendControl(RtfReader* reader, int code)
{
    reader->current->controlHandler(code, reader->parameter, reader->current);
}

// Reads at once a control token that lies whole before end, with the byte
// after it, and holds no line break: exactly as the states would read it
// byte by byte. Returns where the token ends, or nullptr (nothing read) to
// leave the token to the states. p is just past the backslash.
const unsigned char* ReadWholeToken(RtfReader* reader, const unsigned char* p, const unsigned char* end)
{
    if (p == end || IsLineBreak(*p))
        return nullptr;
    const unsigned char first = *p;
    if (IsControlSymbol(first)) {
        if (first != '\'') {
            SendControl(reader, NameCode(AddToPackedName(0, first), 1));
            return p + 1;
        }
        // The escape takes the next two bytes whatever they are, a zero too.
        if (end - p < 3 || IsLineBreak(p[1]) || IsLineBreak(p[2]))
            return nullptr;
        const int high = HexValue(p[1]);
        const int low = HexValue(p[2]);
        if (high >= 0)
            reader->parameter = low >= 0 ? high * 16 + low : high;
        SendControl(reader, RtfHexEscape);
        return p + 3;
    }
    const unsigned char* q = p;
    PackedName name = 0;
    for (; q < end && IsLetter(*q); ++q) {
        if (static_cast<size_t>(q - p) < kLongestKeyword)
            name = AddToPackedName(name, *q);
    }
    if (q == end || IsLineBreak(*q))
        return nullptr;
    const int code = NameCode(name, static_cast<size_t>(q - p));
    std::int32_t parameter = code == RtfB || code == RtfI ? 1 : reader->parameter;
    if (IsDigit(*q) || *q == '-') {
        std::uint32_t value = 0;
        bool negative = false;
        bool valueEnded = false;
        const unsigned char* r = q;
        for (; r < end && (IsDigit(*r) || *r == '-'); ++r) {
            if (valueEnded)
                continue;
            if (IsDigit(*r))
                value = value * 10u + static_cast<std::uint32_t>(*r - '0');
            else if (r == q)
                negative = true;
            else
                valueEnded = true;
        }
        if (r == end || IsLineBreak(*r))
            return nullptr;
        parameter = WrapToInt32(negative ? 0u - value : value);
        q = r;
    }
    if (IsWhiteSpace(*q))
        ++q;
    reader->parameter = parameter;
    SendControl(reader, code);
    return q;
}

// Hands the run of ordinary bytes at p to the current state's character
// handler, whole where the handler takes runs; returns where the run ends.
const unsigned char* SendRun(RtfReader* reader, const unsigned char* p, const unsigned char* end)
{
    RtfGroupState* state = reader->current;
    if (state->charHandler == static_cast<CharHandler>(IgnoreEvent))
        return FindRunEnd(p, end);
    if (reader->runHandler != nullptr && state->charHandler == reader->runCharHandler)
        return reader->runHandler(p, end, state);
    const unsigned char* runEnd = FindRunEnd(p, end);
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

bool LookupRtfKeyword(const char* name, int* code)
{
    PackedName packed = 0;
    size_t length = 0;
    for (; name[length] != 0; ++length) {
        const unsigned char byte = static_cast<unsigned char>(name[length]);
        if (length == kLongestKeyword || byte >= 0x80)
            return false;
        packed = AddToPackedName(packed, byte);
    }
    return length != 0 && LookupPackedName(FinishPackedName(packed, length), code);
}

// Line breaks are no part of the text: everywhere but at the very first byte
// they are skipped, and only inside a numeric parameter do they matter (they
// end its value).
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
        case RtfReadText:
            if (!EndsRun(byte)) {
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

        case RtfReadTokenStart:
            if (IsLineBreak(byte)) {
                ++p;
                continue;
            }
            reader->name = 0;
            reader->nameLength = 0;
            if (IsControlSymbol(byte)) {
                // A symbol takes neither a parameter nor a delimiter.
                ++p;
                const int code = NameCode(AddToPackedName(0, byte), 1);
                if (code == RtfHexEscape) {
                    reader->readState = RtfReadHexHigh;
                    continue;
                }
                SendControl(reader, code);
                reader->readState = RtfReadText;
                continue;
            }
            if (IsLetter(byte)) {
                reader->readState = RtfReadName;
                continue;
            }
            reader->code = 0;  // an empty name
            reader->readState = RtfReadAfterName;
            continue;

        case RtfReadName:
            if (IsLetter(byte)) {
                if (reader->nameLength < kLongestKeyword)
                    reader->name = AddToPackedName(reader->name, byte);
                reader->nameLength += 1;
                ++p;
                continue;
            }
            if (IsLineBreak(byte)) {
                ++p;
                continue;
            }
            reader->code = NameCode(reader->name, reader->nameLength);
            if (reader->code == RtfB || reader->code == RtfI)
                reader->parameter = 1;
            reader->readState = RtfReadAfterName;
            continue;

        case RtfReadAfterName:
            if (IsDigit(byte) || byte == '-') {
                reader->number = 0;
                reader->negative = false;
                reader->numberEnded = false;
                reader->numberStarted = false;
                reader->readState = RtfReadNumber;
                continue;
            }
            // One white-space byte after a control word is its delimiter.
            if (IsWhiteSpace(byte))
                ++p;
            SendControl(reader, reader->code);
            reader->readState = RtfReadText;
            continue;

        case RtfReadNumber:
            // The whole run of digits and '-' is consumed; its value is an
            // optional sign and the digits up to the first other byte or
            // line break, accumulated modulo 2^32.
            if (IsDigit(byte) || byte == '-') {
                if (!reader->numberEnded) {
                    if (IsDigit(byte))
                        reader->number = reader->number * 10u + static_cast<std::uint32_t>(byte - '0');
                    else if (!reader->numberStarted)
                        reader->negative = true;
                    else
                        reader->numberEnded = true;
                }
                reader->numberStarted = true;
                ++p;
                continue;
            }
            if (IsLineBreak(byte)) {
                reader->numberEnded = true;
                ++p;
                continue;
            }
            reader->parameter = WrapToInt32(reader->negative ? 0u - reader->number : reader->number);
            if (IsWhiteSpace(byte))
                ++p;
            SendControl(reader, reader->code);
            reader->readState = RtfReadText;
            continue;

        case RtfReadHexHigh:
            // The escape takes the next two bytes whatever they are, a zero too.
            ++p;
            if (IsLineBreak(byte))
                continue;
            reader->hexHigh = HexValue(byte);
            reader->readState = RtfReadHexLow;
            continue;

        case RtfReadHexLow: {
            ++p;
            if (IsLineBreak(byte))
                continue;
            const int low = HexValue(byte);
            if (reader->hexHigh >= 0)
                reader->parameter = low >= 0 ? reader->hexHigh * 16 + low : reader->hexHigh;
            SendControl(reader, RtfHexEscape);
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

void RunRtfReader(RtfReader* reader)
{
    // Up to and including each zero byte: the reader stops at the one that
    // ends the input, and reads on past one that an escape swallows.
    const unsigned char* p = reader->cursor;
    while (reader->readState != RtfReadEnded) {
        const size_t chunk = std::strlen(reinterpret_cast<const char*>(p)) + 1;
        p += FeedRtfReader(reader, p, chunk);
    }
    reader->cursor = p;
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

void WriteSinkChar(int byte, RtfGroupState* state)
{
    TextSink* sink = static_cast<TextSink*>(state->charContext);
    if (sink->slotsLeft == 0)
        return;
    sink->slotsLeft -= 1;
    if (sink->slotsLeft == 0) {
        *sink->writePosition = 0;
    } else {
        *sink->writePosition = static_cast<unsigned char>(byte);
        sink->writePosition += 1;
    }
}

void PlainTextControl(int code, std::int32_t parameter, RtfGroupState* state)
{
    switch (code) {
    case RtfFonttbl:
    case RtfColortbl:
        state->charHandler = IgnoreEvent;
        break;
    case RtfPar:
        state->charHandler('\n', state);
        break;
    case RtfTab:
        state->charHandler('\t', state);
        break;
    case RtfRdblquote:
        state->charHandler('"', state);
        break;
    case RtfHexEscape:
        state->charHandler(static_cast<int>(static_cast<std::uint32_t>(parameter) & 0xFFu), state);
        break;
    default:
        break;
    }
}

void ExtractRtfText(const unsigned char* input, unsigned char* output, size_t capacity)
{
    TextSink sink = {output, capacity};
    RtfGroupState outermost = {};
    outermost.charHandler = WriteSinkChar;
    outermost.charContext = &sink;
    outermost.controlHandler = PlainTextControl;
    outermost.controlContext = &sink;
    RtfReader reader = {};
    reader.cursor = input;
    reader.current = &outermost;
    reader.runCharHandler = WriteSinkChar;
    reader.runHandler = WriteRunToSink;
    RunRtfReader(&reader);
}

RtfTextCounter::RtfTextCounter() : reader(), outermost(), count(0), ended(true)
{
    window.pattern = nullptr;
    window.patternLength = 0;
    window.length = 0;
    window.from = 0;
    window.count = 0;
    window.ended = true;
    window.folding = nullptr;
    window.folded = 0;
}

RtfTextCounter::~RtfTextCounter()
{
    ReleaseRtfReader(&reader);
}

void RtfTextCounter::Begin(const unsigned char* pattern, size_t patternLength, const CaseFolding* folding)
{
    // Every field but the inline group states, which each group sets when it
    // opens: a fresh reader for every file without clearing 4 KiB each time.
    ReleaseRtfReader(&reader);
    reader.cursor = nullptr;
    reader.parameter = 0;
    reader.current = &outermost;
    reader.runCharHandler = WriteCountingChar;
    reader.runHandler = AppendRuns;
    reader.readState = RtfReadText;
    reader.started = false;
    reader.name = 0;
    reader.nameLength = 0;
    reader.code = 0;
    reader.number = 0;
    reader.negative = false;
    reader.numberEnded = false;
    reader.numberStarted = false;
    reader.hexHigh = 0;
    reader.depth = 0;
    reader.deepStatesUnavailable = false;
    reader.excessDepth = 0;
    reader.excessSnapshot = RtfGroupState();

    outermost.charHandler = WriteCountingChar;
    outermost.charContext = &window;
    outermost.controlHandler = PlainTextControl;
    outermost.controlContext = &window;
    outermost.groupHandler = IgnoreEvent;
    outermost.groupContext = nullptr;
    outermost.enclosing = nullptr;

    window.pattern = pattern;
    window.patternLength = patternLength;
    window.length = 0;
    window.from = 0;
    window.count = 0;
    window.ended = patternLength == 0;
    window.folding = folding;
    window.folded = 0;
    count = 0;
    ended = window.ended;
}

void RtfTextCounter::Feed(const unsigned char* bytes, size_t byteCount)
{
    if (ended)
        return;
    FeedRtfReader(&reader, bytes, byteCount);
    if (reader.readState == RtfReadEnded || window.ended)
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
    CountInWindow(&window, true);
    count = window.count;
    ended = true;
    ReleaseRtfReader(&reader);
}
