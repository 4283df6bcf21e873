// The SSE2 scans and the plain loops give the same answers.
#include "search/TextScan.h"

#include <cstring>

namespace {

inline std::uint16_t UnitAt(const unsigned char* bytes, size_t index)
{
    return static_cast<std::uint16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8));
}

bool UnitsEqual(const unsigned char* text, size_t at, const std::uint16_t* pattern, size_t count)
{
    for (size_t k = 0; k < count; ++k) {
        if (UnitAt(text, at + k) != pattern[k])
            return false;
    }
    return true;
}

}  // namespace

size_t FindZeroByte(const unsigned char* bytes, size_t count)
{
    size_t i = 0;
#ifdef TROVIK_SSE2
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= count; i += 16) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, zero)));
        if (mask != 0)
            return i + LowestSetBit(mask);
    }
#endif
    for (; i < count; ++i) {
        if (bytes[i] == 0)
            return i;
    }
    return count;
}

size_t FindZeroUnit(const unsigned char* bytes, size_t units)
{
    size_t i = 0;
#ifdef TROVIK_SSE2
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= units; i += 8) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 2 * i));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(block, zero)));
        if (mask != 0)
            return i + LowestSetBit(mask) / 2;
    }
#endif
    for (; i < units; ++i) {
        if (UnitAt(bytes, i) == 0)
            return i;
    }
    return units;
}

size_t FindBytes(const unsigned char* text, size_t length, size_t from, const unsigned char* pattern,
                 size_t patternLength)
{
    if (patternLength == 0 || from > length || length - from < patternLength)
        return kNotFound;
    const size_t last = patternLength - 1;
    size_t i = from;
#ifdef TROVIK_SSE2
    // Candidates are where both the first and the last byte of the pattern fit.
    const __m128i first = _mm_set1_epi8(static_cast<char>(pattern[0]));
    const __m128i lastByte = _mm_set1_epi8(static_cast<char>(pattern[last]));
    for (; i + last + 16 <= length; i += 16) {
        __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + last));
        unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(head, first), _mm_cmpeq_epi8(tail, lastByte))));
        while (mask != 0) {
            size_t at = i + LowestSetBit(mask);
            if (std::memcmp(text + at + 1, pattern + 1, last) == 0)
                return at;
            mask &= mask - 1;
        }
    }
#endif
    for (; i + patternLength <= length; ++i) {
        if (text[i] == pattern[0] && text[i + last] == pattern[last] &&
            std::memcmp(text + i + 1, pattern + 1, last) == 0)
            return i;
    }
    return kNotFound;
}

size_t FindUnits(const unsigned char* text, size_t units, size_t from, const std::uint16_t* pattern,
                 size_t patternLength)
{
    if (patternLength == 0 || from > units || units - from < patternLength)
        return kNotFound;
    const size_t last = patternLength - 1;
    size_t i = from;
#ifdef TROVIK_SSE2
    const __m128i first = _mm_set1_epi16(static_cast<short>(pattern[0]));
    const __m128i lastUnit = _mm_set1_epi16(static_cast<short>(pattern[last]));
    for (; i + last + 8 <= units; i += 8) {
        __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 2 * i));
        __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 2 * (i + last)));
        unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(head, first), _mm_cmpeq_epi16(tail, lastUnit))));
        mask &= 0x5555u;  // one bit per unit
        while (mask != 0) {
            size_t at = i + LowestSetBit(mask) / 2;
            if (UnitsEqual(text, at + 1, pattern + 1, last))
                return at;
            mask &= mask - 1;
        }
    }
#endif
    for (; i + patternLength <= units; ++i) {
        if (UnitAt(text, i) == pattern[0] && UnitsEqual(text, i + 1, pattern + 1, last))
            return i;
    }
    return kNotFound;
}

namespace {

// Unused slots repeat the first value, so that a scan may test all four.
FoldVariants Padded(FoldVariants variants)
{
    for (unsigned k = variants.count; k < 4; ++k)
        variants.values[k] = variants.values[0];
    return variants;
}

template <typename Table>
FoldVariants VariantsOf(const Table* fold, unsigned size, unsigned value)
{
    FoldVariants variants = {};
    const unsigned target = fold[value];
    for (unsigned v = 0; v < size; ++v) {
        if (fold[v] != target)
            continue;
        if (variants.count == 4)
            return FoldVariants{};
        variants.values[variants.count++] = static_cast<std::uint16_t>(v);
    }
    return Padded(variants);
}

}  // namespace

FoldVariants BytesFoldingLike(const unsigned char* fold, unsigned value)
{
    return VariantsOf(fold, 256, value);
}

FoldVariants UnitsFoldingLike(const std::uint16_t* fold, unsigned value)
{
#ifdef TROVIK_SSE2
    // The table is 128 KiB and a search asks it once for each unit of its
    // text: eight entries a compare, one value at a time only where one
    // folds like value.
    FoldVariants variants = {};
    const std::uint16_t target = fold[value];
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(target));
    for (unsigned v = 0; v < 65536; v += 8) {
        const __m128i entries = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fold + v));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(entries, wanted))) & 0x5555u;
        while (mask != 0) {
            if (variants.count == 4)
                return FoldVariants{};
            variants.values[variants.count++] = static_cast<std::uint16_t>(v + LowestSetBit(mask) / 2);
            mask &= mask - 1;
        }
    }
    return Padded(variants);
#else
    return VariantsOf(fold, 65536, value);
#endif
}

namespace {

// The elements of the folded scans: bytes, or little-endian 16-bit units.
struct Bytes {
    typedef unsigned char Element;
    static const size_t width = 1;
    static unsigned At(const unsigned char* text, size_t index) { return text[index]; }
#ifdef TROVIK_SSE2
    static __m128i Broadcast(unsigned value) { return _mm_set1_epi8(static_cast<char>(value)); }
    static __m128i Equal(__m128i a, __m128i b) { return _mm_cmpeq_epi8(a, b); }
    static const unsigned kMaskBits = 0xFFFFu;  // a bit an element
#endif
};

struct Units {
    typedef std::uint16_t Element;
    static const size_t width = 2;
    static unsigned At(const unsigned char* text, size_t index) { return UnitAt(text, index); }
#ifdef TROVIK_SSE2
    static __m128i Broadcast(unsigned value) { return _mm_set1_epi16(static_cast<short>(value)); }
    static __m128i Equal(__m128i a, __m128i b) { return _mm_cmpeq_epi16(a, b); }
    static const unsigned kMaskBits = 0x5555u;  // one of the two bits an element
#endif
};

template <typename E>
size_t FindFolded(const unsigned char* text, size_t length, size_t from, const typename E::Element* pattern,
                  size_t patternLength, const typename E::Element* fold, const FoldVariants& first,
                  const FoldVariants& last)
{
    if (patternLength == 0 || from > length || length - from < patternLength)
        return kNotFound;
    const size_t end = patternLength - 1;
    size_t i = from;
#ifdef TROVIK_SSE2
    if (first.count != 0 && last.count != 0) {
        const size_t perBlock = 16 / E::width;
        __m128i f[4], l[4];
        for (int k = 0; k < 4; ++k) {
            f[k] = E::Broadcast(first.values[k]);
            l[k] = E::Broadcast(last.values[k]);
        }
        for (; i + end + perBlock <= length; i += perBlock) {
            const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + E::width * i));
            const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + E::width * (i + end)));
            const __m128i heads = _mm_or_si128(_mm_or_si128(E::Equal(head, f[0]), E::Equal(head, f[1])),
                                               _mm_or_si128(E::Equal(head, f[2]), E::Equal(head, f[3])));
            const __m128i tails = _mm_or_si128(_mm_or_si128(E::Equal(tail, l[0]), E::Equal(tail, l[1])),
                                               _mm_or_si128(E::Equal(tail, l[2]), E::Equal(tail, l[3])));
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(heads, tails))) & E::kMaskBits;
            while (mask != 0) {
                const size_t at = i + LowestSetBit(mask) / E::width;
                size_t k = 1;
                while (k < end && fold[E::At(text, at + k)] == pattern[k])
                    ++k;
                if (k >= end)
                    return at;
                mask &= mask - 1;
            }
        }
    }
#endif
    for (; i + patternLength <= length; ++i) {
        size_t k = 0;
        while (k < patternLength && fold[E::At(text, i + k)] == pattern[k])
            ++k;
        if (k == patternLength)
            return i;
    }
    return kNotFound;
}

}  // namespace

size_t FindBytesFolded(const unsigned char* text, size_t length, size_t from, const unsigned char* pattern,
                       size_t patternLength, const unsigned char* fold, const FoldVariants& first,
                       const FoldVariants& last)
{
    return FindFolded<Bytes>(text, length, from, pattern, patternLength, fold, first, last);
}

size_t FindUnitsFolded(const unsigned char* text, size_t units, size_t from, const std::uint16_t* pattern,
                       size_t patternLength, const std::uint16_t* fold, const FoldVariants& first,
                       const FoldVariants& last)
{
    return FindFolded<Units>(text, units, from, pattern, patternLength, fold, first, last);
}

namespace {

#ifdef TROVIK_SSE2
// The SSE2 part of FindAnyOf for n values (the set padded to n by repeats):
// scans while whole blocks remain, and notes whether a zero byte or a high
// byte went by. Returns where it stopped; true in *full when the positions
// ran out.
template <unsigned n>
size_t FindAnyOfBlocks(const unsigned char* bytes, size_t count, const unsigned char* values, std::uint32_t* positions,
                       size_t room, size_t* found, bool* zeroSeen, bool* ascii, bool* full)
{
    __m128i wanted[n];
    for (unsigned k = 0; k < n; ++k)
        wanted[k] = _mm_set1_epi8(static_cast<char>(values[k]));
    __m128i high = _mm_setzero_si128();
    __m128i low = _mm_set1_epi8(-1);
    size_t i = 0;
    size_t hits = *found;
    for (; i + 16 <= count; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        high = _mm_or_si128(high, block);
        low = _mm_min_epu8(low, block);
        __m128i equal = _mm_cmpeq_epi8(block, wanted[0]);
        for (unsigned k = 1; k < n; ++k)
            equal = _mm_or_si128(equal, _mm_cmpeq_epi8(block, wanted[k]));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(equal));
        while (mask != 0) {
            if (hits == room) {
                *full = true;
                return i;
            }
            positions[hits++] = static_cast<std::uint32_t>(i + LowestSetBit(mask));
            mask &= mask - 1;
        }
    }
    *found = hits;
    *zeroSeen = _mm_movemask_epi8(_mm_cmpeq_epi8(low, _mm_setzero_si128())) != 0;
    *ascii = _mm_movemask_epi8(high) == 0;
    return i;
}
#endif

}  // namespace

size_t FindAnyOf(const unsigned char* bytes, size_t count, const unsigned char* values, unsigned valueCount,
                 std::uint32_t* positions, size_t room, size_t* zero, bool* ascii)
{
    bool wanted[256] = {};
    for (unsigned k = 0; k < valueCount; ++k)
        wanted[values[k]] = true;
    size_t found = 0;
    size_t i = 0;
    size_t firstZero = count;
    bool allAscii = true;
#ifdef TROVIK_SSE2
    // All eight slots are filled, the first value standing in for missing
    // ones; the scan reads the first n.
    unsigned char padded[8];
    const unsigned n = valueCount <= 1 ? 1 : valueCount <= 2 ? 2 : valueCount <= 4 ? 4 : 8;
    for (unsigned k = 0; k < 8; ++k)
        padded[k] = values[k < valueCount ? k : 0];
    bool full = false;
    bool zeroSeen = false;
    switch (n) {
    case 1: i = FindAnyOfBlocks<1>(bytes, count, padded, positions, room, &found, &zeroSeen, &allAscii, &full); break;
    case 2: i = FindAnyOfBlocks<2>(bytes, count, padded, positions, room, &found, &zeroSeen, &allAscii, &full); break;
    case 4: i = FindAnyOfBlocks<4>(bytes, count, padded, positions, room, &found, &zeroSeen, &allAscii, &full); break;
    default: i = FindAnyOfBlocks<8>(bytes, count, padded, positions, room, &found, &zeroSeen, &allAscii, &full); break;
    }
    if (full)
        return kNotFound;
    // Text holds no zero byte: it is looked for only where one went by.
    if (zeroSeen)
        firstZero = FindZeroByte(bytes, i);
#endif
    for (; i < count; ++i) {
        if (bytes[i] == 0 && firstZero == count)
            firstZero = i;
        allAscii = allAscii && bytes[i] < 0x80;
        if (!wanted[bytes[i]])
            continue;
        if (found == room)
            return kNotFound;
        positions[found++] = static_cast<std::uint32_t>(i);
    }
    *zero = firstZero;
    *ascii = allAscii;
    return found;
}
