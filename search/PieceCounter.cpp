// Counting a pattern in pieces: the carry across pieces, the folded
// compares, and the anchor a shared scan looks for.
#include "search/PieceCounter.h"

#include <cstring>

void PieceCounter::Prepare(size_t elementWidth, const unsigned char* bytes, const std::uint16_t* units,
                           size_t patternLength, unsigned char* scratch)
{
    width = elementWidth;
    bytePattern = bytes;
    unitPattern = units;
    length = patternLength;
    const size_t tail = patternLength == 0 ? 0 : (patternLength - 1) * elementWidth;
    carry = scratch;
    joint = scratch + tail;
    Begin();
}

void PieceCounter::Begin()
{
    carried = 0;
    count = 0;
}

void PieceCounter::Fold(const unsigned char* bytes, const std::uint16_t* units)
{
    byteFold = bytes;
    unitFold = units;
    if (length == 0)
        return;
    if (byteFold != nullptr) {
        first = BytesFoldingLike(byteFold, bytePattern[0]);
        last = BytesFoldingLike(byteFold, bytePattern[length - 1]);
    } else if (unitFold != nullptr) {
        first = UnitsFoldingLike(unitFold, unitPattern[0]);
        last = UnitsFoldingLike(unitFold, unitPattern[length - 1]);
    }
}

size_t PieceCounter::Find(const unsigned char* text, size_t elements, size_t from) const
{
    if (width == 1)
        return byteFold != nullptr
                   ? FindBytesFolded(text, elements, from, bytePattern, length, byteFold, first, last)
                   : FindBytes(text, elements, from, bytePattern, length);
    return unitFold != nullptr ? FindUnitsFolded(text, elements, from, unitPattern, length, unitFold, first, last)
                               : FindUnits(text, elements, from, unitPattern, length);
}

// The carry holds the last elements seen at or after the point where the
// next occurrence may start, at most length - 1 of them: the only ones that
// can still begin an occurrence. Each piece first settles the occurrences
// that begin in the carry, then searches the piece where it lies.
size_t PieceCounter::SettleCarry(const unsigned char* bytes, size_t elements)
{
    if (carried == 0)
        return 0;
    const size_t tail = length - 1;
    const size_t take = elements < tail ? elements : tail;
    std::memcpy(joint, carry, carried * width);
    std::memcpy(joint + carried * width, bytes, take * width);
    const size_t jointLength = carried + take;
    size_t next = 0;
    for (size_t at = Find(joint, jointLength, 0); at != kNotFound && at < carried; at = Find(joint, jointLength, next)) {
        count += 1;
        next = at + length;
    }
    if (take < tail) {
        // The whole piece is in the joint and too short to hold an occurrence.
        size_t keep = jointLength > tail ? jointLength - tail : 0;
        if (keep < next)
            keep = next;
        carried = jointLength - keep;
        std::memmove(carry, joint + keep * width, carried * width);
        return kNotFound;
    }
    return next > carried ? next - carried : 0;
}

// Keeps the last elements from which an occurrence may still begin.
void PieceCounter::KeepTail(const unsigned char* bytes, size_t elements, size_t from)
{
    const size_t tail = length - 1;
    size_t keep = elements > tail ? elements - tail : 0;
    if (keep < from)
        keep = from;
    carried = elements - keep;
    std::memcpy(carry, bytes + keep * width, carried * width);
}

void PieceCounter::Feed(const unsigned char* bytes, size_t elements)
{
    if (length == 0 || elements == 0)
        return;
    size_t from = SettleCarry(bytes, elements);
    if (from == kNotFound)
        return;
    for (size_t at = Find(bytes, elements, from); at != kNotFound; at = Find(bytes, elements, from)) {
        count += 1;
        from = at + length;
    }
    KeepTail(bytes, elements, from);
}

bool PieceCounter::FitsAt(const unsigned char* text, size_t at) const
{
    if (width == 1) {
        const unsigned char* t = text + at;
        if (byteFold == nullptr)
            return std::memcmp(t, bytePattern, length) == 0;
        for (size_t k = 0; k < length; ++k) {
            if (byteFold[t[k]] != bytePattern[k])
                return false;
        }
        return true;
    }
    const unsigned char* t = text + 2 * at;
    for (size_t k = 0; k < length; ++k) {
        std::uint16_t unit = static_cast<std::uint16_t>(t[2 * k] | (t[2 * k + 1] << 8));
        if (unitFold != nullptr)
            unit = unitFold[unit];
        if (unit != unitPattern[k])
            return false;
    }
    return true;
}

// Every occurrence wholly in the piece holds its anchor byte in the piece,
// where the shared scan found it: it begins anchorElement elements before
// the element of that byte.
void PieceCounter::FeedAround(const unsigned char* bytes, size_t elements, const std::uint32_t* positions,
                              size_t found, size_t skip)
{
    if (length == 0 || elements == 0)
        return;
    size_t from = SettleCarry(bytes, elements);
    if (from == kNotFound)
        return;
    const size_t lead = anchorElement * width + anchorOffset + skip;
    for (size_t i = 0; i < found; ++i) {
        const size_t position = positions[i];
        if (position < lead)
            continue;
        const size_t before = position - lead;  // bytes from bytes to where the occurrence would begin
        if (before % width != 0)
            continue;
        const size_t at = before / width;
        if (at + length > elements)
            break;
        if (at < from || !anchorValue[bytes[position - skip]] || !FitsAt(bytes, at))
            continue;
        count += 1;
        from = at + length;
    }
    KeepTail(bytes, elements, from);
}

namespace {

// How often a byte value is likely to occur in files (text of many
// languages, source code, binary formats), in rough relative terms: the
// shared scan looks for the pattern's rarest bytes.
unsigned ByteWeight(unsigned char byte)
{
    static const char* const lowerOrder = "etaoinsrhldcumfpgwybvkxjqz";
    if (byte == ' ')
        return 200;
    if (byte >= 'a' && byte <= 'z') {
        static const unsigned lowerWeights[26] = {100, 80, 75, 70, 68, 66, 64, 60, 45, 42, 40, 38, 30,
                                                 28, 26, 26, 20, 16, 16, 14, 10, 8, 8, 3, 2, 3};
        for (unsigned k = 0; k < 26; ++k) {
            if (lowerOrder[k] == static_cast<char>(byte))
                return lowerWeights[k];
        }
    }
    if (byte >= 'A' && byte <= 'Z')
        return ByteWeight(static_cast<unsigned char>(byte - 'A' + 'a')) / 3 + 2;
    if (byte >= '0' && byte <= '9')
        return byte <= '2' ? 30 : 14;
    if (byte == '\n' || byte == '\t' || byte == '\r')
        return 40;
    if (byte == 0xFF)
        return 12;
    if (byte >= 0x80)
        return 6;
    if (byte < 0x20 || byte == 0x7F)
        return 5;
    switch (byte) {
    case '_': case '.': case ',': case '(': case ')': case ';': case '*': case '-': case '=': case '/':
        return 24;
    case '"': case ':': case '<': case '>': case '{': case '}': case '#': case '\'':
        return 10;
    default:
        return 5;
    }
}

}  // namespace

bool PieceCounter::ChooseAnchor(bool shared[256])
{
    anchorCount = 0;
    std::memset(anchorValue, 0, sizeof anchorValue);
    unsigned best = ~0u;
    for (size_t element = 0; element < length; ++element) {
        // A unit's variants serve both of its bytes: the table is large.
        const FoldVariants unitVariants = width == 1 ? FoldVariants{}
                                          : unitFold == nullptr ? FoldVariants{1, {unitPattern[element]}}
                                                                : UnitsFoldingLike(unitFold, unitPattern[element]);
        for (size_t offset = 0; offset < width; ++offset) {
            // The values of this byte where the element fits.
            unsigned char values[4];
            unsigned valueCount = 0;
            if (width == 1) {
                if (byteFold == nullptr) {
                    values[valueCount++] = bytePattern[element];
                } else {
                    const FoldVariants variants = BytesFoldingLike(byteFold, bytePattern[element]);
                    for (unsigned k = 0; k < variants.count; ++k)
                        values[valueCount++] = static_cast<unsigned char>(variants.values[k]);
                }
            } else {
                for (unsigned k = 0; k < unitVariants.count; ++k) {
                    const unsigned char value = static_cast<unsigned char>(unitVariants.values[k] >> (8 * offset));
                    bool known = false;
                    for (unsigned j = 0; j < valueCount; ++j)
                        known = known || values[j] == value;
                    if (!known)
                        values[valueCount++] = value;
                }
            }
            unsigned weight = valueCount == 0 ? ~0u : 0;
            for (unsigned k = 0; k < valueCount && weight != ~0u; ++k) {
                if (values[k] == 0)
                    weight = ~0u;  // zero bytes fill UTF-16 files
                else if (!shared[values[k]])
                    weight += ByteWeight(values[k]) + 2;
            }
            if (weight < best) {
                best = weight;
                anchorElement = element;
                anchorOffset = offset;
                anchorCount = valueCount;
                std::memcpy(anchorValues, values, valueCount);
            }
        }
    }
    for (unsigned k = 0; k < anchorCount; ++k) {
        anchorValue[anchorValues[k]] = true;
        shared[anchorValues[k]] = true;
    }
    return anchorCount != 0;
}
