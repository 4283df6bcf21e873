// Fast scans over byte and 16-bit-unit strings: the end of a string, the
// next occurrence of a pattern, the runs of RTF text. Pure functions; every
// read stays in range.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The scans (and the RTF reader's runs) compare 16 bytes at a time with SSE2
// where the target has it, and fall back to plain loops elsewhere.
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define TROVIK_SSE2 1
#include <emmintrin.h>
#endif

#if defined(_MSC_VER)
#include <intrin.h>
#endif

const size_t kNotFound = static_cast<size_t>(-1);

// Index of the first zero byte among bytes[0, count), or count.
size_t FindZeroByte(const unsigned char* bytes, size_t count);

// Index of the first zero unit among the little-endian 16-bit units at
// bytes[0, 2 * units), or units.
size_t FindZeroUnit(const unsigned char* bytes, size_t units);

// First position at or after from where pattern (length >= 1) occurs in
// text[0, length), or kNotFound.
size_t FindBytes(const unsigned char* text, size_t length, size_t from, const unsigned char* pattern,
                 size_t patternLength);

// The same over little-endian 16-bit units; positions and lengths in units.
size_t FindUnits(const unsigned char* text, size_t units, size_t from, const std::uint16_t* pattern,
                 size_t patternLength);

// The values that fold to the same value as one element of a pattern, for
// a search that ignores case: at most four (more: every value is a candidate).
struct FoldVariants {
    unsigned count;  // 0: too many to scan for
    std::uint16_t values[4];
};

// The values v below size with fold[v] == fold[value].
FoldVariants BytesFoldingLike(const unsigned char* fold, unsigned value);
FoldVariants UnitsFoldingLike(const std::uint16_t* fold, unsigned value);

// As FindBytes and FindUnits, comparing every element of the text through
// fold with the pattern, which is already folded. first and last: the
// variants of the pattern's first and last element.
size_t FindBytesFolded(const unsigned char* text, size_t length, size_t from, const unsigned char* pattern,
                       size_t patternLength, const unsigned char* fold, const FoldVariants& first,
                       const FoldVariants& last);
size_t FindUnitsFolded(const unsigned char* text, size_t units, size_t from, const std::uint16_t* pattern,
                       size_t patternLength, const std::uint16_t* fold, const FoldVariants& first,
                       const FoldVariants& last);

// The positions, ascending, of the bytes among bytes[0, count) that equal
// one of values[0, valueCount) (1 to 8 values, none zero), and the index of
// the first zero byte (count when none) in *zero, and whether every byte is
// below 128 in *ascii. Returns how many positions
// were written, or kNotFound (and *zero and *ascii unset) when there are
// more than room.
size_t FindAnyOf(const unsigned char* bytes, size_t count, const unsigned char* values, unsigned valueCount,
                 std::uint32_t* positions, size_t room, size_t* zero, bool* ascii);

// Index of the lowest set bit of a mask that is not zero.
inline unsigned LowestSetBit(unsigned mask)
{
#if defined(_MSC_VER)
    unsigned long index;
    _BitScanForward(&index, mask);
    return static_cast<unsigned>(index);
#else
    return static_cast<unsigned>(__builtin_ctz(mask));
#endif
}

// --- Runs of RTF text ---

inline bool IsLineBreak(unsigned char byte)
{
    return byte == '\r' || byte == '\n';
}

// A byte that ends a run of RTF text: markup, a line break or the end.
inline bool EndsRtfRun(unsigned char byte)
{
    return byte == 0 || byte == '\n' || byte == '\r' || byte == '\\' || byte == '{' || byte == '}';
}

// Whether byte is one of the four starts (values repeated to fill them).
inline bool IsStart(unsigned char byte, const unsigned char* starts)
{
    return byte == starts[0] || byte == starts[1] || byte == starts[2] || byte == starts[3];
}

// The eight bytes at p as a number in the machine's order (little-endian on
// every target), with those from count on (count at most 8) zero; the eight
// bytes must be readable.
inline std::uint64_t FirstBytes(const unsigned char* p, size_t count)
{
    static const unsigned char ones[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    std::uint64_t value;
    std::uint64_t mask;
    std::memcpy(&value, p, 8);
    std::memcpy(&mask, ones + 8 - count, 8);
    return value & mask;
}

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

#ifdef TROVIK_SSE2
// A bit for each of the 16 bytes at p that ends a run of RTF text.
inline unsigned RtfRunEndMask(const unsigned char* p)
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

// A bit for each of the 16 bytes that is in [low, low + span).
inline unsigned RangeMask(__m128i bytes, unsigned char low, unsigned char span)
{
    const __m128i offset = _mm_sub_epi8(bytes, _mm_set1_epi8(static_cast<char>(low)));
    const __m128i inside = _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(static_cast<char>(span - 1))), offset);
    return static_cast<unsigned>(_mm_movemask_epi8(inside));
}

// Whether one of the 16 bytes is one of the four starts.
inline bool HasStart(__m128i block, const unsigned char* starts)
{
    const __m128i hits =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(starts[0]))),
                                  _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(starts[1])))),
                     _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(starts[2]))),
                                  _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(starts[3])))));
    return _mm_movemask_epi8(hits) != 0;
}

// SkipRtfText for starts of n distinct values (the rest repeat them).
template <unsigned n>
const unsigned char* SkipRtfTextOf(const unsigned char* p, const unsigned char* end, const unsigned char* starts)
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

// The bytes a run of RTF text left out stops at, as SkipRtfText finds them,
// 16 at a time.
struct RtfTextStops {
    __m128i zero, backslash, open, close;
    __m128i starts[4];
    bool one;  // the starts are one value repeated

    RtfTextStops(const unsigned char* startBytes, unsigned startCount)
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
#endif

// The first byte at or after p that ends a run of RTF text, or end. Nothing
// at or past end is read.
inline const unsigned char* FindRtfRunEnd(const unsigned char* p, const unsigned char* end)
{
#ifdef TROVIK_SSE2
    while (end - p >= 16) {
        const unsigned mask = RtfRunEndMask(p);
        if (mask != 0)
            return p + LowestSetBit(mask);
        p += 16;
    }
#endif
    while (p < end && !EndsRtfRun(*p))
        ++p;
    return p;
}

// The first byte at or after p that stops a copy of RTF text (markup, a
// zero, a byte of 128 or more) or is one of starts (count distinct values,
// the rest repeating them), or end; line breaks are passed.
inline const unsigned char* SkipRtfText(const unsigned char* p, const unsigned char* end, const unsigned char* starts,
                                        unsigned count)
{
#ifdef TROVIK_SSE2
    // Compares with fewer starts where there are fewer: most patterns have one.
    p = count == 1 ? SkipRtfTextOf<1>(p, end, starts) : count == 2 ? SkipRtfTextOf<2>(p, end, starts)
                                                                   : SkipRtfTextOf<4>(p, end, starts);
    if (end - p >= 16)
        return p;
#else
    (void)count;
#endif
    while (p < end && (IsLineBreak(*p) || !(*p >= 0x80 || EndsRtfRun(*p) || IsStart(*p, starts))))
        ++p;
    return p;
}
