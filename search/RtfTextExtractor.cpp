// The RTF reader core as a resumable state machine, its plain-text
// destination (UTF-16 text in the document's code page), and the counting of
// the plain text while it is produced. Runs of ordinary bytes are handled a
// block at a time; every other rule is applied byte by byte.
#include "search/RtfTextExtractor.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "search/TextScan.h"

const RtfKeyword RtfKeywordTable[RtfKeywordCount] = {
    {"'", RtfHexEscape},        {"*", RtfIgnorable},         {"-", RtfOptionalHyphen},
    {"_", RtfNonBreakingHyphen}, {"ansi", RtfAnsi},          {"ansicpg", RtfAnsicpg},
    {"b", RtfB},                {"bin", RtfBin},             {"blue", RtfBlue},
    {"bullet", RtfBullet},      {"cell", RtfCell},           {"colorschememapping", RtfColorschememapping},
    {"colortbl", RtfColortbl},  {"datastore", RtfDatastore}, {"emdash", RtfEmdash},
    {"endash", RtfEndash},      {"f", RtfF},                 {"fi", RtfFi},
    {"fldinst", RtfFldinst},    {"fldrslt", RtfFldrslt},     {"fnil", RtfFnil},           {"fonttbl", RtfFonttbl},
    {"footnote", RtfFootnote},  {"fs", RtfFs},               {"fswiss", RtfFswiss},
    {"green", RtfGreen},        {"i", RtfI},                 {"info", RtfInfo},
    {"latentstyles", RtfLatentstyles}, {"ldblquote", RtfLdblquote}, {"li", RtfLi},
    {"line", RtfLine},          {"listoverridetable", RtfListoverridetable}, {"listtable", RtfListtable},
    {"lquote", RtfLquote},      {"nonesttables", RtfNonesttables}, {"objdata", RtfObjdata},
    {"page", RtfPage},          {"par", RtfPar},             {"pard", RtfPard},
    {"pict", RtfPict},          {"plain", RtfPlain},         {"rdblquote", RtfRdblquote},
    {"red", RtfRed},            {"revtbl", RtfRevtbl},       {"ri", RtfRi},
    {"row", RtfRow},            {"rquote", RtfRquote},       {"rsidtbl", RtfRsidtbl},
    {"rtf", RtfRtf},            {"sect", RtfSect},           {"sp", RtfSp},
    {"stylesheet", RtfStylesheet}, {"super", RtfSuper},      {"tab", RtfTab},
    {"themedata", RtfThemedata}, {"tx", RtfTx},              {"u", RtfU},
    {"uc", RtfUc},              {"xmlnstbl", RtfXmlnstbl},   {"{", RtfOpenBrace},
    {"}", RtfCloseBrace},       {"~", RtfNonBreakingSpace},
};

namespace {

// Code page 1252: bytes 0x80 to 0x9F as the platform maps them (the five it
// leaves undefined keep their C1 code points); every other byte is its own
// code point.
constexpr RtfCodePage Make1252()
{
    const std::uint16_t high[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
        0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178,
    };
    RtfCodePage page = {};
    for (int byte = 0; byte < 256; ++byte)
        page.units[byte] = byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : static_cast<std::uint16_t>(byte);
    page.pairs = nullptr;
    return page;
}

// The longest name in RtfKeywordTable is 18 letters; a longer name is never
// looked up, only counted (any length is consumed whole).
const size_t kLongestKeyword = 18;
// Letters packed into one 64-bit word of a name.
const size_t kPackedLetters = 9;

inline bool IsLineBreak(unsigned char byte)
{
    return byte == '\r' || byte == '\n';
}

inline bool IsLetter(unsigned char byte)
{
    return static_cast<unsigned char>((byte | 0x20) - 'a') < 26;
}

inline bool IsDigit(unsigned char byte)
{
    return byte >= '0' && byte <= '9';
}

inline bool IsWhiteSpace(unsigned char byte)
{
    return (byte >= 9 && byte <= 13) || byte == ' ';
}

// The bytes that name a control symbol: ' * - : _ { | } ~ and the backslash.
struct ControlSymbols {
    bool is[256];
    constexpr ControlSymbols() : is()
    {
        const char names[] = "'*-:\\_{|}~";
        for (size_t i = 0; names[i] != 0; ++i)
            is[static_cast<unsigned char>(names[i])] = true;
    }
};
constexpr ControlSymbols kControlSymbols;

inline bool IsControlSymbol(unsigned char byte)
{
    return kControlSymbols.is[byte];
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

// A bit for each of the 16 bytes that is a line break.
inline unsigned LineBreakMask(__m128i bytes)
{
    const __m128i breaks =
        _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')));
    return static_cast<unsigned>(_mm_movemask_epi8(breaks));
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

// Whether the code page writes the bytes 1 to 127 as themselves (runs of
// them are then widened 16 at a time).
bool AsciiSame(const RtfCodePage* page)
{
    for (int byte = 1; byte < 0x80; ++byte) {
        if (page->units[byte] != byte)
            return false;
    }
    return true;
}

inline void WriteUnit(RtfPlainText* plain, std::uint16_t unit)
{
    plain->write(plain->output, &unit, 1);
}

// Counts one byte of text written into a byte window for what it lets go.
inline void KeepAfter(RtfByteSpace* space, unsigned char byte)
{
    if (space->startBytes[byte])
        space->keep = space->span;
    else if (space->keep != 0)
        space->keep -= 1;
}

// Writes one byte of a byte window's text.
inline void WriteCode(RtfByteSpace* space, unsigned char code)
{
    if (space->next == space->limit)
        space->makeRoom(space->owner);
    *space->next++ = code;
    KeepAfter(space, code);
}

// One byte of visible text: a fallback still to skip, the trail of a lead
// byte, a lead byte itself, or a character alone.
void DecodeByte(RtfPlainText* plain, unsigned char byte)
{
    if (plain->fallbackLeft > 0) {
        plain->fallbackLeft -= 1;
        return;
    }
    const RtfCodePage* page = plain->codePage;
    if (plain->leadByte != 0) {
        const std::uint16_t unit = page->pairs[plain->leadByte * 256u + byte];
        plain->leadByte = 0;
        if (unit != 0)
            WriteUnit(plain, unit);
        return;
    }
    if (plain->byteCodes != nullptr && plain->byteCodes[byte] != 0) {
        WriteCode(plain->space, plain->byteCodes[byte]);
        return;
    }
    const std::uint16_t unit = page->units[byte];
    if (unit != 0)
        WriteUnit(plain, unit);
    else if (page->pairs != nullptr)
        plain->leadByte = byte;
}

void SetCodePage(RtfPlainText* plain, std::int32_t codePage)
{
    const RtfCodePage* page = nullptr;
    if (codePage != 1252 && codePage > 0 && plain->codePages != nullptr)
        page = plain->codePages->Find(static_cast<unsigned>(codePage));
    if (page == nullptr)
        page = &RtfCodePage1252;
    plain->codePage = page;
    plain->asciiSame = AsciiSame(page);
    plain->leadByte = 0;
    if (plain->space != nullptr)
        plain->byteCodes = plain->space->pageCodes(plain->space->owner, page);
}

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

inline bool IsStart(unsigned char byte, const unsigned char* starts)
{
    return byte == starts[0] || byte == starts[1] || byte == starts[2] || byte == starts[3];
}

#ifdef TROVIK_SSE2
// SkipText for starts of n distinct values (the rest repeat them).
template <unsigned n>
const unsigned char* SkipTextOf(const unsigned char* p, const unsigned char* end, const unsigned char* starts)
{
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i open = _mm_set1_epi8('{');
    const __m128i close = _mm_set1_epi8('}');
    __m128i start[n];
    for (unsigned k = 0; k < n; ++k)
        start[k] = _mm_set1_epi8(static_cast<char>(starts[k]));
    // The top bit of each byte of the result: the byte stops the skip. A
    // zero and a byte of 128 or more are those below one as signed bytes.
    const __m128i one = _mm_set1_epi8(1);
    const auto hits = [&](const unsigned char* at) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i markup = _mm_or_si128(_mm_or_si128(_mm_cmplt_epi8(block, one), _mm_cmpeq_epi8(block, backslash)),
                                            _mm_or_si128(_mm_cmpeq_epi8(block, open), _mm_cmpeq_epi8(block, close)));
        __m128i begins = _mm_cmpeq_epi8(block, start[0]);
        for (unsigned k = 1; k < n; ++k)
            begins = _mm_or_si128(begins, _mm_cmpeq_epi8(block, start[k]));
        return _mm_or_si128(markup, begins);
    };
    while (end - p >= 32) {
        const __m128i a = hits(p);
        const __m128i b = hits(p + 16);
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(a)) |
                              static_cast<unsigned>(_mm_movemask_epi8(b)) << 16;
        if (mask != 0)
            return p + LowestSetBit(mask);
        p += 32;
    }
    if (end - p >= 16) {
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits(p)));
        if (mask != 0)
            return p + LowestSetBit(mask);
        p += 16;
    }
    return p;
}
#endif

// The first byte at or after p that stops a copy of text (markup, a zero, a
// byte of 128 or more) or is one of starts (count distinct values, the rest
// repeating them), or end; line breaks are passed.
const unsigned char* SkipText(const unsigned char* p, const unsigned char* end, const unsigned char* starts,
                              unsigned count)
{
#ifdef TROVIK_SSE2
    // Compares with fewer starts where there are fewer: most patterns have one.
    p = count == 1 ? SkipTextOf<1>(p, end, starts) : count == 2 ? SkipTextOf<2>(p, end, starts)
                                                               : SkipTextOf<4>(p, end, starts);
    if (end - p >= 16)
        return p;
#else
    (void)count;
#endif
    while (p < end && (IsLineBreak(*p) || !(*p >= 0x80 || EndsRun(*p) || IsStart(*p, starts))))
        ++p;
    return p;
}

#ifdef TROVIK_SSE2
// Whether one of the 16 bytes is one of starts.
inline bool HasStart(__m128i block, const unsigned char* starts)
{
    const __m128i hits =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(starts[0]))),
                                  _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(starts[1])))),
                     _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(starts[2]))),
                                  _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(starts[3])))));
    return _mm_movemask_epi8(hits) != 0;
}
#endif

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
            const unsigned char* after = SkipText(p, end, space->starts, space->startCount);
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
            const unsigned stops = (RunEndMask(p) & ~breaks) | static_cast<unsigned>(_mm_movemask_epi8(block));
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
            if (byte >= 0x80 || EndsRun(byte)) {
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

inline void WriteVisible(RtfGroupState* state, RtfPlainText* plain, std::uint16_t unit)
{
    if (state->charHandler == PlainTextChar)
        WriteUnit(plain, unit);
}

// What the plain-text destination does with each control code, besides
// ending a group's start and a pending \*: nothing (0), writing one ASCII
// unit where the text is visible, or kControlSwitch: the rest of
// PlainTextControl's rules (destinations, escapes, letters by number, code
// pages). The reader's fast path reads it to leave out the call.
const unsigned char kControlSwitch = 0xFF;
struct PlainControls {
    unsigned char action[RtfNonBreakingSpace + 1];
    constexpr PlainControls() : action()
    {
        const int lines[] = {RtfPar, RtfLine, RtfRow, RtfSect, RtfPage};
        for (int code : lines)
            action[code] = '\n';
        action[RtfTab] = action[RtfCell] = '\t';
        action[RtfNonBreakingSpace] = ' ';
        action[RtfNonBreakingHyphen] = action[RtfEndash] = action[RtfEmdash] = '-';
        action[RtfLquote] = action[RtfRquote] = '\'';
        action[RtfLdblquote] = action[RtfRdblquote] = '"';
        const int others[] = {RtfIgnorable, RtfFootnote, RtfFldrslt, RtfFonttbl, RtfColortbl, RtfStylesheet,
                              RtfInfo, RtfListtable, RtfListoverridetable, RtfRevtbl, RtfRsidtbl, RtfPict,
                              RtfObjdata, RtfSp, RtfNonesttables, RtfFldinst, RtfXmlnstbl, RtfThemedata,
                              RtfColorschememapping, RtfLatentstyles, RtfDatastore, RtfHexEscape, RtfU, RtfUc,
                              RtfAnsicpg};
        for (int code : others)
            action[code] = kControlSwitch;
    }
};
constexpr PlainControls kPlainControls;

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
// window, another code page's when a document names it, and kept while the
// next document names the same.
const unsigned char* PageCodes(void* owner, const RtfCodePage* page)
{
    CountingWindow* window = static_cast<CountingWindow*>(owner);
    if (page == &RtfCodePage1252)
        return window->codes1252;
    if (!window->hasOther || std::memcmp(window->otherUnits, page->units, sizeof window->otherUnits) != 0) {
        CodePageBytes(window, page, window->otherCodes);
        std::memcpy(window->otherUnits, page->units, sizeof window->otherUnits);
        window->hasOther = true;
    }
    return window->otherCodes;
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
    if (window->prepared && window->preparedFold == window->fold && m != 0 && m <= RtfTextCounter::BytePatternLimit &&
        std::memcmp(window->preparedPattern, window->pattern, m * sizeof(std::uint16_t)) == 0)
        return;
    window->prepared = false;
    window->bytes = false;
    window->hasOther = false;
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
    window->preparedFold = window->fold;
    window->prepared = true;
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

// A name of at most kLongestKeyword (eighteen) 7-bit bytes as two numbers
// that order as the names do (a name before its extensions): seven bits a
// byte, first byte highest, the first nine bytes in high and the next nine in
// low, each zero-padded to nine. A byte of 128 or more is in no row, so such
// a name is never found.
struct PackedName {
    std::uint64_t high;
    std::uint64_t low;
};

// Adds the letter at index (below kLongestKeyword) of a name.
inline void AddToPackedName(PackedName* packed, size_t index, unsigned char byte)
{
    if (index < kPackedLetters)
        packed->high = packed->high << 7 | byte;
    else
        packed->low = packed->low << 7 | byte;
}

// Pads a name of length bytes (1 to kLongestKeyword), packed byte by byte.
inline PackedName FinishPackedName(PackedName packed, size_t length)
{
    if (length <= kPackedLetters) {
        packed.high <<= 7 * (kPackedLetters - length);
        packed.low = 0;
    } else {
        packed.low <<= 7 * (kLongestKeyword - length);
    }
    return packed;
}

// A control symbol's one-byte name, packed but not padded.
inline PackedName PackedSymbol(unsigned char byte)
{
    PackedName packed = {byte, 0};
    return packed;
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
                AddToPackedName(&rows[row], length, static_cast<unsigned char>(name[length]));
            rows[row] = FinishPackedName(rows[row], length);
        }
    }
};

const PackedKeywordTable kPackedKeywords;

// The first multiplier from start on, by step, under which slotOf(row,
// multiplier) puts no two of the rows to hash in one slot; slots (slotCount)
// then hold row + 1 for each of them, 0 elsewhere.
template <typename SlotOf>
std::uint64_t PerfectMultiplier(std::uint64_t start, std::uint64_t step, const bool* hashed, unsigned char* slots,
                                size_t slotCount, SlotOf slotOf)
{
    for (std::uint64_t multiplier = start;; multiplier += step) {
        std::memset(slots, 0, slotCount);
        size_t row = 0;
        for (; row < kKeywordRows; ++row) {
            if (!hashed[row])
                continue;
            unsigned char& slot = slots[slotOf(row, multiplier)];
            if (slot != 0)
                break;
            slot = static_cast<unsigned char>(row + 1);
        }
        if (row == kKeywordRows)
            return multiplier;
    }
}

// RtfKeywordTable's rows by a perfect hash of their packed names: the
// first multiplier (tried in a fixed order when the program starts) under
// which no two rows share a slot.
struct KeywordHash {
    static const unsigned kSlotBits = 10;
    std::uint64_t multiplier;
    unsigned char slots[1u << kSlotBits];  // row + 1, 0 for none

    static unsigned Slot(const PackedName& name, std::uint64_t multiplier)
    {
        const std::uint64_t mixed = name.high ^ (name.low * 0x9E3779B97F4A7C15ull);
        return static_cast<unsigned>((mixed * multiplier) >> (64 - kSlotBits));
    }

    KeywordHash() : multiplier(0), slots()
    {
        bool hashed[kKeywordRows];
        for (bool& row : hashed)
            row = true;
        multiplier = PerfectMultiplier(0x9E3779B97F4A7C15ull, 2, hashed, slots, sizeof slots,
                                       [](size_t row, std::uint64_t m) { return Slot(kPackedKeywords.rows[row], m); });
    }
};

const KeywordHash kKeywordHash;

bool LookupPackedName(const PackedName& name, int* code)
{
    const unsigned slot = kKeywordHash.slots[KeywordHash::Slot(name, kKeywordHash.multiplier)];
    if (slot == 0)
        return false;
    const PackedName& row = kPackedKeywords.rows[slot - 1];
    if (row.high != name.high || row.low != name.low)
        return false;
    *code = RtfKeywordTable[slot - 1].code;
    return true;
}

// The code of a complete name of length letters (packed while they fitted).
int NameCode(const PackedName& name, size_t length)
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

// Sends a control word and reads on: \binN with a parameter N > 0 is
// followed by N raw bytes, which are skipped whatever they hold.
void SendControlWord(RtfReader* reader, int code, bool hasNumber)
{
    SendControl(reader, code);
    if (code == RtfBin && hasNumber && reader->parameter > 0) {
        reader->binaryLeft = static_cast<std::uint32_t>(reader->parameter);
        reader->readState = RtfReadBinary;
    } else {
        reader->readState = RtfReadText;
    }
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
            SendControl(reader, NameCode(PackedSymbol(first), 1));
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
    // The letters packed as AddToPackedName does, in registers: the first
    // nine, the nine after them, then the rest only passed.
    const unsigned char* q = p;
    PackedName name = {0, 0};
    const unsigned char* const highEnd = end - p > static_cast<std::ptrdiff_t>(kPackedLetters) ? p + kPackedLetters : end;
    std::uint64_t high = 0;
    for (; q < highEnd && IsLetter(*q); ++q)
        high = high << 7 | *q;
    name.high = high;
    if (q == highEnd && q < end && IsLetter(*q)) {
        const unsigned char* const lowEnd = end - q > static_cast<std::ptrdiff_t>(kPackedLetters) ? q + kPackedLetters : end;
        std::uint64_t low = 0;
        for (; q < lowEnd && IsLetter(*q); ++q)
            low = low << 7 | *q;
        name.low = low;
        while (q < end && IsLetter(*q))
            ++q;
    }
    if (q == end || IsLineBreak(*q))
        return nullptr;
    const int code = NameCode(name, static_cast<size_t>(q - p));
    std::int32_t parameter = code == RtfB || code == RtfI ? 1 : reader->parameter;
    const bool hasNumber = IsDigit(*q) || *q == '-';
    if (hasNumber) {
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
    SendControlWord(reader, code, hasNumber);
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

#ifdef TROVIK_SSE2
// A control token's effect on a plain-text state whose handlers are the
// plain-text destination's: PlainTextControl, with the codes that only end a
// group's start or write one unit done here.
inline void PlainControl(RtfPlainText* plain, RtfGroupState* state, int code, std::int32_t parameter)
{
    const unsigned char action = kPlainControls.action[code];
    if (action == kControlSwitch) {
        PlainTextControl(code, parameter, state);
        return;
    }
    plain->groupStart = false;
    plain->ignorablePending = false;
    if (plain->fallbackLeft > 0)
        plain->fallbackLeft -= 1;
    else if (action != 0 && state->charHandler == PlainTextChar)
        WriteCode(plain->space, action);
}
#endif

// A brace's effect on the plain-text destination: a group's start begins or
// ends, and a brace ends the characters that stand in for a letter.
inline void PlainGroupEdge(RtfPlainText* plain, bool opening)
{
    plain->groupStart = opening;
    plain->ignorablePending = false;
    plain->fallbackLeft = 0;
}

// Whether a state's events go to the plain-text destination plain (its
// characters may also go nowhere: the fast path looks at that for each run).
inline bool IsPlainState(const RtfGroupState* state, const RtfPlainText* plain)
{
    return state->controlHandler == PlainTextControl && state->groupHandler == PlainTextGroup &&
           state->controlContext == plain && state->groupContext == plain && state->charContext == plain;
}

// What the fast path does with a byte in the text state.
enum ByteKind : unsigned char { kTextByte, kLineBreakByte, kOpenByte, kCloseByte, kBackslashByte, kZeroByte };
struct ByteKinds {
    unsigned char kinds[256];
    constexpr ByteKinds() : kinds()
    {
        kinds[0] = kZeroByte;
        kinds[static_cast<unsigned char>('\r')] = kinds[static_cast<unsigned char>('\n')] = kLineBreakByte;
        kinds[static_cast<unsigned char>('{')] = kOpenByte;
        kinds[static_cast<unsigned char>('}')] = kCloseByte;
        kinds[static_cast<unsigned char>('\\')] = kBackslashByte;
    }
};
constexpr ByteKinds kByteKinds;

#ifdef TROVIK_SSE2
// The code of every control symbol but the escape.
struct SymbolCodes {
    int codes[256];
    SymbolCodes() : codes()
    {
        for (unsigned byte = 0; byte < 0x100; ++byte) {
            if (IsControlSymbol(static_cast<unsigned char>(byte)))
                codes[byte] = NameCode(PackedSymbol(static_cast<unsigned char>(byte)), 1);
        }
    }
};
const SymbolCodes kSymbolCodes;

// The names of RtfKeywordTable of letters only, up to 15 of them, as they lie
// in the input: their first eight bytes and the next eight, zero-padded, read
// as two numbers, by a perfect hash found when the program starts, as for
// KeywordHash.
const size_t kRawNameLimit = 15;
struct RawKeywordHash {
    static const unsigned kSlotBits = 10;
    std::uint64_t multiplier;
    unsigned char slots[1u << kSlotBits];  // row + 1, 0 for none
    std::uint64_t low[kKeywordRows];
    std::uint64_t high[kKeywordRows];

    static unsigned Slot(std::uint64_t low, std::uint64_t high, std::uint64_t multiplier)
    {
        return static_cast<unsigned>(((low ^ high * 0x9E3779B97F4A7C15ull) * multiplier) >> (64 - kSlotBits));
    }

    RawKeywordHash() : multiplier(0), slots(), low(), high()
    {
        bool hashed[kKeywordRows] = {};
        for (size_t row = 0; row < kKeywordRows; ++row) {
            const char* name = RtfKeywordTable[row].name;
            unsigned char padded[16] = {};
            size_t length = 0;
            for (; name[length] != 0 && length < 16; ++length)
                padded[length] = static_cast<unsigned char>(name[length]);
            std::memcpy(&low[row], padded, 8);
            std::memcpy(&high[row], padded + 8, 8);
            hashed[row] = IsLetter(padded[0]) && std::strlen(name) <= kRawNameLimit;
        }
        // Multipliers far apart: neighbours would put the names in nearly
        // the same slots.
        multiplier = PerfectMultiplier(0xD6E8FEB86659FD93ull, 0x9E3779B97F4A7C16ull, hashed, slots, sizeof slots,
                                       [this](size_t row, std::uint64_t m) { return Slot(low[row], high[row], m); });
    }
};
const RawKeywordHash kRawKeywords;

// The eight bytes at p as a number, with those from count on (count at most
// 8) zero.
inline std::uint64_t FirstBytes(const unsigned char* p, size_t count)
{
    static const unsigned char ones[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    std::uint64_t value;
    std::uint64_t mask;
    std::memcpy(&value, p, 8);
    std::memcpy(&mask, ones + 8 - count, 8);
    return value & mask;
}

// A bit for each of the 16 bytes that is in [low, low + span).
inline unsigned RangeMask(__m128i bytes, unsigned char low, unsigned char span)
{
    const __m128i offset = _mm_sub_epi8(bytes, _mm_set1_epi8(static_cast<char>(low)));
    const __m128i inside = _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(static_cast<char>(span - 1))), offset);
    return static_cast<unsigned>(_mm_movemask_epi8(inside));
}

// The bytes a run of text left out stops at, as SkipText finds them.
struct TextStops {
    __m128i zero, backslash, open, close;
    __m128i starts[4];
    bool one;  // the starts are one value repeated

    explicit TextStops(const unsigned char* startBytes, unsigned startCount)
        : zero(_mm_setzero_si128()), backslash(_mm_set1_epi8('\\')), open(_mm_set1_epi8('{')),
          close(_mm_set1_epi8('}')), one(startCount == 1)
    {
        for (int k = 0; k < 4; ++k)
            starts[k] = _mm_set1_epi8(static_cast<char>(startBytes[k]));
    }

    // A bit for each of the 16 bytes that is markup (a zero, a backslash, a
    // brace) in *markup; for each that is markup, a possible start or a
    // byte of 128 or more as the result.
    unsigned Find(__m128i block, unsigned* markup) const
    {
        const __m128i marks =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, zero), _mm_cmpeq_epi8(block, backslash)),
                         _mm_or_si128(_mm_cmpeq_epi8(block, open), _mm_cmpeq_epi8(block, close)));
        const __m128i begins =
            one ? _mm_cmpeq_epi8(block, starts[0])
                : _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, starts[0]), _mm_cmpeq_epi8(block, starts[1])),
                               _mm_or_si128(_mm_cmpeq_epi8(block, starts[2]), _mm_cmpeq_epi8(block, starts[3])));
        *markup = static_cast<unsigned>(_mm_movemask_epi8(marks));
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(marks, begins), block)));
    }
};

// The value of 1 to 8 decimal digits at p, with at least 8 bytes readable.
inline std::uint32_t EightDigits(const unsigned char* p, size_t count)
{
    std::uint64_t value;
    std::memcpy(&value, p, 8);
    // The digits to the top (the machine's order is little-endian), zeros
    // before them; then pairs, fours and eights combined by multiplication.
    value = (value & 0x0F0F0F0F0F0F0F0Full) << (8 * (8 - count));
    value = (value * 2561) >> 8;
    value = ((value & 0x00FF00FF00FF00FFull) * 6553601) >> 16;
    return static_cast<std::uint32_t>(((value & 0x0000FFFF0000FFFFull) * 42949672960001ull) >> 32);
}

// Reads a control word whose name is 1 to 15 letters, with 32 bytes
// readable at p (just past the backslash; block holds the first 16), exactly
// as ReadWholeToken does, and sends it to the plain-text destination.
// Returns where it ends, or nullptr (nothing read) for every other token.
const unsigned char* ReadPlainWord(RtfReader* reader, RtfPlainText* plain, const unsigned char* p,
                                   const __m128i& block)
{
    const unsigned letters = RangeMask(_mm_or_si128(block, _mm_set1_epi8(0x20)), 'a', 26);
    const size_t length = LowestSetBit(~letters);  // 16: the name may go on
    if (length == 0 || length > kRawNameLimit)
        return nullptr;
    const std::uint64_t low = length <= 8 ? FirstBytes(p, length) : FirstBytes(p, 8);
    const std::uint64_t high = length <= 8 ? 0 : FirstBytes(p + 8, length - 8);
    const unsigned slot = kRawKeywords.slots[RawKeywordHash::Slot(low, high, kRawKeywords.multiplier)];
    int code = 0;
    if (slot != 0 && kRawKeywords.low[slot - 1] == low && kRawKeywords.high[slot - 1] == high)
        code = RtfKeywordTable[slot - 1].code;

    // Line breaks after the name are passed; a number may still follow them,
    // which the states read. Nothing at or past limit is looked at.
    const unsigned char* const limit = p + 31;
    const unsigned char* q = p + length;
    if (IsLineBreak(*q)) {
        while (q < limit && IsLineBreak(*q))
            ++q;
        if (q == limit || IsDigit(*q) || *q == '-')
            return nullptr;
    }
    std::int32_t parameter = code == RtfB || code == RtfI ? 1 : reader->parameter;
    const bool hasNumber = IsDigit(*q) || *q == '-';
    if (hasNumber) {
        // The run of digits and '-': a sign only at its start, else the
        // states read it.
        const __m128i run = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
        const unsigned minus = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(run, _mm_set1_epi8('-'))));
        const unsigned runMask = RangeMask(run, '0', 10) | minus;
        const size_t runLength = LowestSetBit(~runMask);
        if (runLength == 16 || (minus & ~1u & ((1u << runLength) - 1)) != 0)
            return nullptr;
        const bool negative = (minus & 1u) != 0;
        const unsigned char* digits = q + (negative ? 1 : 0);
        const size_t count = runLength - (negative ? 1 : 0);
        std::uint32_t value = 0;
        if (count <= 8) {
            if (count != 0)
                value = EightDigits(digits, count);
        } else {
            for (size_t i = 0; i < count; ++i)
                value = value * 10u + static_cast<std::uint32_t>(digits[i] - '0');
        }
        parameter = WrapToInt32(negative ? 0u - value : value);
        q += runLength;
        // A line break ends the value; the digits and '-' after it are
        // passed with any further line breaks.
        while (q < limit && (IsLineBreak(*q) || IsDigit(*q) || *q == '-'))
            ++q;
        if (q == limit)
            return nullptr;
    }
    if (IsWhiteSpace(*q))
        ++q;
    reader->parameter = parameter;
    PlainControl(plain, reader->current, code, parameter);
    if (code == RtfBin && hasNumber && parameter > 0) {
        reader->binaryLeft = static_cast<std::uint32_t>(parameter);
        reader->readState = RtfReadBinary;
    }
    return q;
}
#endif

// The reader in the text state while the current state belongs to the
// plain-text destination over a byte window: text, braces and whole tokens
// handled in one loop without the handlers' indirect calls, with the effect
// the handlers would have. Returns where it stops: at the end, at a zero
// byte, at a token not whole before end, or where the current state is no
// longer the destination's; the general loop reads on from there.
const unsigned char* ReadPlainText(RtfReader* reader, const unsigned char* p, const unsigned char* end)
{
    RtfGroupState* state = reader->current;
    RtfPlainText* const plain = static_cast<RtfPlainText*>(state->controlContext);
    if (state->controlHandler != PlainTextControl || plain->space == nullptr || !IsPlainState(state, plain))
        return p;
    RtfByteSpace* const space = plain->space;
#ifdef TROVIK_SSE2
    const TextStops textStops(space->starts, space->startCount);
#endif
    while (p < end) {
        const unsigned char byte = *p;
        switch (kByteKinds.kinds[byte]) {
        case kTextByte: {
            if (state->charHandler != PlainTextChar) {
                if (state->charHandler != static_cast<CharHandler>(IgnoreEvent))
                    return p;
                p = FindRunEnd(p, end);
                continue;
            }
            if (space->keep != 0 || !space->filtering || !plain->asciiSame || plain->fallbackLeft != 0 ||
                plain->leadByte != 0) {
                p = PlainTextRun(p, end, state);
                continue;
            }
            // Text no occurrence can touch, left out where it lies: a gap
            // byte in its place. Runs are short in documents: the first 16
            // bytes are looked at here.
            const unsigned char* after;
#ifdef TROVIK_SSE2
            if (end - p >= 16) {
                unsigned markup;
                const unsigned stops = textStops.Find(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), &markup);
                after = stops != 0 ? p + LowestSetBit(stops) : SkipText(p + 16, end, space->starts, space->startCount);
            } else
#endif
                after = SkipText(p, end, space->starts, space->startCount);
            if (after == p) {
                p = PlainTextRun(p, end, state);
                continue;
            }
            if (space->next == space->limit)
                space->makeRoom(space->owner);
            *space->next++ = space->gap;
            plain->groupStart = false;
            p = after;
            continue;
        }
        case kLineBreakByte:
            ++p;
            continue;
        case kOpenByte:
            if (reader->excessDepth != 0 || reader->depth >= RtfInlineGroups) {
                PushGroup(reader);
                state = reader->current;
            } else {
                RtfGroupState* inner = &reader->inlineStates[reader->depth];
                *inner = *state;
                inner->enclosing = state;
                PlainGroupEdge(plain, true);
                reader->current = state = inner;
                reader->depth += 1;
            }
            ++p;
            continue;
        case kCloseByte:
            PopGroup(reader);
            ++p;
            state = reader->current;
            if (!IsPlainState(state, plain))
                return p;
            continue;
        case kBackslashByte:
            break;
        default:
            return p;  // the zero byte that ends the input
        }
        const unsigned char* token = p + 1;
        const unsigned char* after = nullptr;
        if (token < end && IsLineBreak(*token)) {
            // Line breaks right after the backslash are passed (a line may
            // end inside a token); the token is the same after them.
            do
                ++token;
            while (token < end && IsLineBreak(*token));
            after = ReadWholeToken(reader, token, end);
        }
#ifdef TROVIK_SSE2
        else if (end - token >= 32) {
            const unsigned char first = *token;
            if (IsLetter(first)) {
                const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(token));
                unsigned markup;
                const unsigned stops = textStops.Find(block, &markup);
                after = ReadPlainWord(reader, plain, token, block);
                // The run of text after the word, up to the next markup,
                // when it lies in the 16 bytes: its end does not wait for
                // where the word ends (no byte of a word is markup).
                if (after != nullptr && markup != 0 && reader->readState == RtfReadText) {
                    const unsigned next = LowestSetBit(markup);
                    const unsigned from = static_cast<unsigned>(after - token);
                    if (from <= next && (stops & ~markup & ((1u << next) - 1) & ~((1u << from) - 1)) == 0) {
                        if (state->charHandler == static_cast<CharHandler>(IgnoreEvent)) {
                            after = token + next;
                        } else if (state->charHandler == PlainTextChar && space->keep == 0 && space->filtering &&
                                   plain->asciiSame && plain->fallbackLeft == 0 && plain->leadByte == 0) {
                            // Text or line breaks only; the word has already
                            // ended the group's start.
                            if (from != next) {
                                if (space->next == space->limit)
                                    space->makeRoom(space->owner);
                                *space->next++ = space->gap;
                            }
                            after = token + next;
                        }
                    }
                }
            } else if (first == '\'') {
                // The escape takes the next two bytes whatever they are; a
                // zero byte is not written.
                if (!IsLineBreak(token[1]) && !IsLineBreak(token[2])) {
                    const int high = HexValue(token[1]);
                    const int low = HexValue(token[2]);
                    if (high >= 0)
                        reader->parameter = low >= 0 ? high * 16 + low : high;
                    plain->groupStart = false;
                    plain->ignorablePending = false;
                    const unsigned char escaped = static_cast<unsigned char>(reader->parameter & 0xFF);
                    if (plain->fallbackLeft > 0)
                        plain->fallbackLeft -= 1;
                    else if (escaped != 0 && state->charHandler == PlainTextChar)
                        DecodeByte(plain, escaped);
                    after = token + 3;
                }
            } else if (IsControlSymbol(first)) {
                PlainControl(plain, state, kSymbolCodes.codes[first], reader->parameter);
                after = token + 1;
            }
        }
#endif
        if (after == nullptr) {
            after = ReadWholeToken(reader, token, end);
            if (after == nullptr) {
                // The states read the token on (as the general loop would).
                reader->readState = RtfReadTokenStart;
                return token;
            }
        }
        p = after;
        // The token may begin binary data; it may have changed where the
        // state's characters go, which the next run looks at.
        if (reader->readState != RtfReadText)
            return p;
    }
    return p;
}

}  // namespace

const RtfCodePage RtfCodePage1252 = Make1252();

void IgnoreEvent(int, RtfGroupState*) {}
void IgnoreEvent(int, std::int32_t, RtfGroupState*) {}
void IgnoreEvent(int, RtfGroupState*, RtfGroupState*) {}

bool LookupRtfKeyword(const char* name, int* code)
{
    PackedName packed = {0, 0};
    size_t length = 0;
    for (; name[length] != 0; ++length) {
        const unsigned char byte = static_cast<unsigned char>(name[length]);
        if (length == kLongestKeyword || byte >= 0x80)
            return false;
        AddToPackedName(&packed, length, byte);
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
        case RtfReadText: {
            const unsigned char* after = ReadPlainText(reader, p, end);
            if (after != p) {
                p = after;
                continue;
            }
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
        }

        case RtfReadTokenStart:
            if (IsLineBreak(byte)) {
                ++p;
                continue;
            }
            reader->name = 0;
            reader->nameRest = 0;
            reader->nameLength = 0;
            reader->hasNumber = false;
            if (IsControlSymbol(byte)) {
                // A symbol takes neither a parameter nor a delimiter.
                ++p;
                const int code = NameCode(PackedSymbol(byte), 1);
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

        case RtfReadName: {
            // A line break ends the name like any other byte that is no
            // letter; a numeric parameter may still follow it.
            if (IsLetter(byte)) {
                if (reader->nameLength < kLongestKeyword) {
                    PackedName name = {reader->name, reader->nameRest};
                    AddToPackedName(&name, reader->nameLength, byte);
                    reader->name = name.high;
                    reader->nameRest = name.low;
                }
                reader->nameLength += 1;
                ++p;
                continue;
            }
            const PackedName name = {reader->name, reader->nameRest};
            reader->code = NameCode(name, reader->nameLength);
            if (reader->code == RtfB || reader->code == RtfI)
                reader->parameter = 1;
            reader->readState = RtfReadAfterName;
            continue;
        }

        case RtfReadAfterName:
            if (IsLineBreak(byte)) {
                ++p;
                continue;
            }
            if (IsDigit(byte) || byte == '-') {
                reader->hasNumber = true;
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
            SendControlWord(reader, reader->code, false);
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
            SendControlWord(reader, reader->code, true);
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
        const unsigned char* const runEnd = FindRunEnd(p, end);
        if (p == runEnd)
            return runEnd;
        plain->groupStart = false;
        return DecodeRun(plain, p, runEnd);
    }
    // ASCII bytes go to the byte window as they are, line after line; the
    // other bytes as their codes.
    if (p == end || EndsRun(*p))
        return p;
    plain->groupStart = false;
    const unsigned char* runEnd = p;  // the end of the last run FindRunEnd found
    while (p < end) {
        if (plain->fallbackLeft == 0 && plain->leadByte == 0) {
            p = CopyAscii(plain, p, end);
            if (p == end || EndsRun(*p))
                break;
        } else if (IsLineBreak(*p)) {
            ++p;
            continue;
        } else if (EndsRun(*p)) {
            break;
        }
        if (p >= runEnd)
            runEnd = FindRunEnd(p, end);
        p = CodeRun(plain, p, runEnd);
    }
    return p;
}

void PlainTextControl(int code, std::int32_t parameter, RtfGroupState* state)
{
    RtfPlainText* plain = static_cast<RtfPlainText*>(state->controlContext);
    const bool first = plain->groupStart;
    const bool ignorable = plain->ignorablePending;
    plain->groupStart = false;
    plain->ignorablePending = false;
    // A control word or symbol may be one of the characters that stand in
    // for a letter written by its number.
    if (plain->fallbackLeft > 0) {
        plain->fallbackLeft -= 1;
        return;
    }
    switch (code) {
    case RtfIgnorable:
        // A group that begins with \* is one a reader may skip: nothing in it
        // is shown unless the word after the symbol is one a reader shows
        // (writers mark footnotes and field results so).
        if (first) {
            state->charHandler = IgnoreEvent;
            plain->ignorablePending = true;
        }
        break;
    case RtfFootnote:
    case RtfFldrslt:
        if (ignorable && state->enclosing != nullptr)
            state->charHandler = state->enclosing->charHandler;
        break;
    case RtfFonttbl:
    case RtfColortbl:
    case RtfStylesheet:
    case RtfInfo:
    case RtfListtable:
    case RtfListoverridetable:
    case RtfRevtbl:
    case RtfRsidtbl:
    case RtfPict:
    case RtfObjdata:
    case RtfSp:
    case RtfNonesttables:
    case RtfFldinst:
    case RtfXmlnstbl:
    case RtfThemedata:
    case RtfColorschememapping:
    case RtfLatentstyles:
    case RtfDatastore:
        state->charHandler = IgnoreEvent;
        break;
    case RtfHexEscape: {
        // A zero byte is not written: the text goes on after it.
        const unsigned char byte = static_cast<unsigned char>(static_cast<std::uint32_t>(parameter) & 0xFFu);
        if (byte != 0 && state->charHandler == PlainTextChar)
            DecodeByte(plain, byte);
        break;
    }
    case RtfU:
        // A signed 16-bit number: -1 is U+FFFF.
        if (state->charHandler == PlainTextChar) {
            const std::uint16_t unit = static_cast<std::uint16_t>(static_cast<std::uint32_t>(parameter) & 0xFFFFu);
            if (unit != 0)
                WriteUnit(plain, unit);
            plain->fallbackLeft = state->fallbackCount;
        }
        break;
    case RtfUc:
        state->fallbackCount = parameter < 0 ? 0 : parameter;
        break;
    case RtfAnsicpg:
        SetCodePage(plain, parameter);
        break;
    default:
        // Paragraph, line, cell and tab marks and the punctuation keywords.
        if (code >= 0 && code <= RtfNonBreakingSpace && kPlainControls.action[code] != 0)
            WriteVisible(state, plain, kPlainControls.action[code]);
        break;
    }
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

RtfTextCounter::RtfTextCounter() : reader(), outermost(), plain(), count(0), ended(true)
{
    window.pattern = nullptr;
    window.patternLength = 0;
    window.fold = nullptr;
    window.bytes = false;
    window.prepared = false;
    window.hasOther = false;
    window.space = RtfByteSpace();
    window.length = 0;
    window.from = 0;
    window.count = 0;
}

RtfTextCounter::~RtfTextCounter()
{
    ReleaseRtfReader(&reader);
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
    reader.name = 0;
    reader.nameRest = 0;
    reader.nameLength = 0;
    reader.code = 0;
    reader.number = 0;
    reader.hasNumber = false;
    reader.negative = false;
    reader.numberEnded = false;
    reader.numberStarted = false;
    reader.hexHigh = 0;
    reader.binaryLeft = 0;
    reader.depth = 0;
    reader.deepStatesUnavailable = false;
    reader.excessDepth = 0;
    reader.excessSnapshot = RtfGroupState();

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
        plain.byteCodes = PageCodes(&window, &RtfCodePage1252);
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
    CountInWindow(&window, true);
    count = window.count;
    ended = true;
    ReleaseRtfReader(&reader);
}
