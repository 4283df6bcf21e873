// Fast scans over byte and 16-bit-unit strings: the end of a string and the
// next occurrence of a pattern. Pure functions; every read stays in range.
#pragma once

#include <cstddef>
#include <cstdint>

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
