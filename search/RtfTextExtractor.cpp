// The RTF reader core, its plain-text destination and the RTF matcher
// Runs of ordinary bytes are handled a block at a time; every other rule is
// applied byte by byte.
#include "search/RtfTextExtractor.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "search/ContentMatchers.h"
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

// The advancing rule: past one byte, then past every CR and LF after it.
inline const unsigned char* SkipLineBreaks(const unsigned char* cursor)
{
    while (IsLineBreak(*cursor))
        ++cursor;
    return cursor;
}

inline void Advance(RtfReader* reader)
{
    reader->cursor = SkipLineBreaks(reader->cursor + 1);
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

// The first byte at or after p that ends a run. A zero byte lies before
// readEnd, and nothing at or past readEnd is read.
const unsigned char* FindRunEnd(const unsigned char* p, const unsigned char* readEnd)
{
#ifdef TROVIK_SSE2
    while (readEnd - p >= 16) {
        const unsigned mask = RunEndMask(p);
        if (mask != 0)
            return p + LowestSetBit(mask);
        p += 16;
    }
#else
    (void)readEnd;
#endif
    while (!EndsRun(*p))
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

// Sends the run of ordinary bytes that starts at p to a sink and returns its
// end. Copies 16 bytes at a time while the sink has room for them before its
// last slot, and the rest through WriteSinkBytes.
const unsigned char* WriteRunToSink(TextSink* sink, const unsigned char* p, const unsigned char* readEnd)
{
#ifdef TROVIK_SSE2
    unsigned char* out = sink->writePosition;
    size_t slots = sink->slotsLeft;
    while (slots > 16 && readEnd - p >= 16) {
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
    const unsigned char* end = FindRunEnd(p, readEnd);
    WriteSinkBytes(sink, p, static_cast<size_t>(end - p));
    return end;
}

// The plain text of a file as the RTF matcher counts it: kept only in a
// small window that slides along, never as a block as large as the file.
struct CountingSink {
    const unsigned char* pattern;
    size_t patternLength;
    size_t length;      // bytes of text in window
    size_t from;        // where the next occurrence may start (no overlap)
    size_t count;
    bool ended;         // a zero byte ended the text: nothing after it counts
    unsigned char window[64 * 1024];
};

void CountInWindow(CountingSink* sink, bool final);

// Appends text that holds no zero byte.
void AppendText(CountingSink* sink, const unsigned char* bytes, size_t count)
{
    while (count != 0 && !sink->ended) {
        size_t take = sizeof sink->window - sink->length;
        if (take > count)
            take = count;
        std::memcpy(sink->window + sink->length, bytes, take);
        sink->length += take;
        bytes += take;
        count -= take;
        if (sink->length == sizeof sink->window)
            CountInWindow(sink, false);
    }
}

void WriteCountingChar(int byte, RtfGroupState* state);

// Appends the run of ordinary bytes at p to the counting window, and the runs
// after it that only line breaks separate (they add no text); returns where
// the last of them ends. Copies 16 bytes at a time while the window has room.
const unsigned char* AppendRuns(CountingSink* sink, const unsigned char* p, const unsigned char* readEnd)
{
#ifdef TROVIK_SSE2
    while (!sink->ended && sizeof sink->window - sink->length >= 16 && readEnd - p >= 16) {
        const unsigned mask = RunEndMask(p);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sink->window + sink->length),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        if (mask == 0) {
            sink->length += 16;
            p += 16;
            continue;
        }
        const unsigned count = LowestSetBit(mask);
        sink->length += count;
        p += count;
        if (!IsLineBreak(*p))
            return p;
        p = SkipLineBreaks(p);
    }
#endif
    const unsigned char* end = FindRunEnd(p, readEnd);
    AppendText(sink, p, static_cast<size_t>(end - p));
    return end;
}

// Handles the run of ordinary bytes at the cursor as one character event per
// byte, then advances past it (and past the line breaks after it).
void ReadTextRun(RtfReader* reader)
{
    const unsigned char* p = reader->cursor;
    if (reader->readEnd == nullptr || p >= reader->readEnd) {
        // Only the public entry leaves the end unknown, and only a hex escape
        // that swallowed a zero byte moves past it: find the next zero.
        reader->readEnd = p + std::strlen(reinterpret_cast<const char*>(p)) + 1;
    }
    RtfGroupState* state = reader->current;
    const unsigned char* end;
    if (state->charHandler == static_cast<CharHandler>(WriteSinkChar)) {
        end = WriteRunToSink(static_cast<TextSink*>(state->charContext), p, reader->readEnd);
    } else if (state->charHandler == static_cast<CharHandler>(IgnoreEvent)) {
        end = FindRunEnd(p, reader->readEnd);
    } else if (state->charHandler == static_cast<CharHandler>(WriteCountingChar)) {
        end = AppendRuns(static_cast<CountingSink*>(state->charContext), p, reader->readEnd);
    } else {
        end = FindRunEnd(p, reader->readEnd);
        for (; p < end; ++p)
            state->charHandler(*p, state);
    }
    reader->cursor = SkipLineBreaks(end);
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

// Counts the occurrences that lie wholly in the window. Unless final, keeps
// the tail that may still begin one, and where the next may start.
void CountInWindow(CountingSink* sink, bool final)
{
    const size_t m = sink->patternLength;
    for (size_t at = FindBytes(sink->window, sink->length, sink->from, sink->pattern, m); at != kNotFound;
         at = FindBytes(sink->window, sink->length, sink->from, sink->pattern, m)) {
        sink->count += 1;
        sink->from = at + m;
    }
    if (final)
        return;
    size_t keep = sink->length >= m - 1 ? sink->length - (m - 1) : 0;
    if (keep < sink->from)
        keep = sink->from < sink->length ? sink->from : sink->length;
    std::memmove(sink->window, sink->window + keep, sink->length - keep);
    sink->length -= keep;
    sink->from = sink->from > keep ? sink->from - keep : 0;
}

void WriteCountingChar(int byte, RtfGroupState* state)
{
    CountingSink* sink = static_cast<CountingSink*>(state->charContext);
    if (byte == 0) {
        sink->ended = true;  // the terminator, or a zero from an escape
        return;
    }
    const unsigned char text = static_cast<unsigned char>(byte);
    AppendText(sink, &text, 1);
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

RtfKeywordCode ScanControlToken(RtfReader* reader)
{
    // 1. The name: one control-symbol character, or a run of letters.
    PackedName token = 0;
    size_t length = 0;
    bool symbol = false;
    if (IsControlSymbol(*reader->cursor)) {
        // A symbol of 128 or more is in no row: length 0 leaves it unknown.
        if (*reader->cursor < 0x80) {
            token = AddToPackedName(token, *reader->cursor);
            length = 1;
        }
        symbol = true;
        Advance(reader);
    } else {
        while (IsLetter(*reader->cursor)) {
            if (length < kLongestKeyword)
                token = AddToPackedName(token, *reader->cursor);
            ++length;
            Advance(reader);
        }
    }

    // 2. The code; an empty name or one longer than any row is never found.
    int code = 0;
    if (length != 0 && length <= kLongestKeyword) {
        if (!LookupPackedName(FinishPackedName(token, length), &code))
            code = 0;
    }

    // 3. b and i default their parameter to 1.
    if (code == RtfB || code == RtfI)
        reader->parameter = 1;

    // 4. The hex escape takes the next two bytes whatever they are.
    if (code == RtfHexEscape) {
        const int high = HexValue(*reader->cursor);
        Advance(reader);
        const int low = HexValue(*reader->cursor);
        Advance(reader);
        if (high >= 0)
            reader->parameter = low >= 0 ? high * 16 + low : high;
    }

    if (!symbol) {
        // 5. A numeric parameter: the whole run of digits and '-' is consumed;
        // its value is an optional sign and the digits up to the first other
        // byte or skipped line break, accumulated modulo 2^32.
        if (IsDigit(*reader->cursor) || *reader->cursor == '-') {
            std::uint32_t value = 0;
            bool negative = false;
            bool valueEnded = false;
            bool first = true;
            while (IsDigit(*reader->cursor) || *reader->cursor == '-') {
                const unsigned char byte = *reader->cursor;
                if (!valueEnded) {
                    if (IsDigit(byte))
                        value = value * 10u + static_cast<std::uint32_t>(byte - '0');
                    else if (first)
                        negative = true;
                    else
                        valueEnded = true;
                }
                first = false;
                const unsigned char* next = reader->cursor + 1;
                reader->cursor = SkipLineBreaks(next);
                if (reader->cursor != next)
                    valueEnded = true;
            }
            reader->parameter = WrapToInt32(negative ? 0u - value : value);
        }
        // One white-space byte after a control word is its delimiter.
        if (IsWhiteSpace(*reader->cursor))
            Advance(reader);
    }

    // 6. (Every advance above already skipped the line breaks after it.)
    reader->cursor = SkipLineBreaks(reader->cursor);
    return static_cast<RtfKeywordCode>(code);
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

void RunRtfReader(RtfReader* reader)
{
    RtfGroupState* outermost = reader->current;
    if (outermost->charHandler == nullptr)
        outermost->charHandler = IgnoreEvent;
    if (outermost->controlHandler == nullptr)
        outermost->controlHandler = IgnoreEvent;
    if (outermost->groupHandler == nullptr)
        outermost->groupHandler = IgnoreEvent;

    for (;;) {
        const unsigned char byte = *reader->cursor;
        switch (byte) {
        case 0:
            break;
        case '\\': {
            Advance(reader);
            const RtfKeywordCode code = ScanControlToken(reader);
            reader->current->controlHandler(code, reader->parameter, reader->current);
            continue;
        }
        case '{':
            Advance(reader);
            PushGroup(reader);
            continue;
        case '}':
            Advance(reader);
            PopGroup(reader);
            continue;
        case '\r':
        case '\n':
            // Only the very first byte of the input can be a line break here.
            Advance(reader);
            reader->current->charHandler(byte, reader->current);
            continue;
        default:
            ReadTextRun(reader);
            continue;
        }
        break;
    }

    while (reader->excessDepth != 0 || reader->depth != 0)
        PopGroup(reader);
    reader->current->charHandler(0, reader->current);

    std::free(reader->deepStates);
    reader->deepStates = nullptr;
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

namespace {

// readEnd: one past the last readable input byte, or nullptr when unknown.
void Extract(const unsigned char* input, const unsigned char* readEnd, unsigned char* output, size_t capacity)
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
    reader.readEnd = readEnd;
    RunRtfReader(&reader);
}

}  // namespace

void ExtractRtfText(const unsigned char* input, unsigned char* output, size_t capacity)
{
    Extract(input, nullptr, output, capacity);
}

int MatchRtfText(const unsigned char* buffer, size_t size, SearchRequest* request, FoundFile* record)
{
    if (size == 0)
        return 0;
    // The plain text is counted as the 8-bit matcher counts it, whole (a file's
    // plain text is never longer than the file, so nothing is cut), while it
    // is produced: no block as large as the file is needed.
    size_t units = 0;
    while (request->searchText[units] != 0)
        ++units;
    unsigned char* pattern = static_cast<unsigned char*>(std::calloc(units + 2, 1));
    if (pattern == nullptr)
        return 1;
    // The window lives on the stack: a block taken from the heap for every
    // file may land on decommitted pages and fault them in again each time.
    CountingSink window;
    CountingSink* sink = &window;
    NarrowText(reinterpret_cast<char*>(pattern), request->searchText, units + 2);
    sink->pattern = pattern;
    sink->patternLength = std::strlen(reinterpret_cast<const char*>(pattern));
    sink->length = 0;
    sink->from = 0;
    sink->count = 0;
    sink->ended = false;
    // An empty pattern (a text whose first unit is 256 or more) counts nothing.
    if (sink->patternLength != 0) {
        RtfGroupState outermost = {};
        outermost.charHandler = WriteCountingChar;
        outermost.charContext = sink;
        outermost.controlHandler = PlainTextControl;
        outermost.controlContext = sink;
        RtfReader reader = {};
        reader.cursor = buffer;
        reader.current = &outermost;
        // The walk's buffer holds the file and three zero bytes: all readable.
        reader.readEnd = buffer + size + 3;
        RunRtfReader(&reader);
        CountInWindow(sink, true);
    }
    std::free(pattern);
    if (sink->count == 0)
        return 1;
    request->totalMatches += static_cast<int>(sink->count);
    record->matchCount += static_cast<int>(sink->count);
    return 0;
}
