// The counter of one pattern's occurrences in a text that arrives in pieces,
// exactly or through a folding table, alone or around a shared scan's hits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "search/TextScan.h"

// Counts the non-overlapping occurrences of a pattern of elements (bytes, or
// little-endian 16-bit units) in a text that arrives in pieces, exactly as a
// search of the whole text from its start would: an occurrence may straddle
// any number of pieces.
class PieceCounter {
public:
    // width: 1 or 2 bytes an element. The pattern (length elements) and the
    // scratch (3 * (length - 1) * width bytes) must outlive the counting.
    void Prepare(size_t width, const unsigned char* bytePattern, const std::uint16_t* unitPattern, size_t length,
                 unsigned char* scratch);
    // After Prepare, for a count that ignores case: each element of the text
    // is compared through the table of its width (the pattern is folded already).
    void Fold(const unsigned char* byteFold, const std::uint16_t* unitFold);
    void Begin();
    // count elements at bytes (count * width bytes).
    void Feed(const unsigned char* bytes, size_t count);
    unsigned long long Count() const { return count; }

    // A scan shared by several counters looks for one byte of each pattern,
    // its anchor, and the counters look for occurrences only around the
    // bytes it found. Picks the anchor: the byte of the pattern, with all the
    // values that fold alike, that is likely rarest in files, where the
    // values already set in shared cost nothing; sets its values in shared.
    // False (no anchor) when every byte of the pattern is zero or has too
    // many variants.
    bool ChooseAnchor(bool shared[256]);
    // As Feed, where the shared scan has found, at positions[0, found)
    // (ascending offsets from bytes - skip), every byte of bytes[0, count *
    // width) that equals one of the anchor's values, and maybe others.
    void FeedAround(const unsigned char* bytes, size_t count, const std::uint32_t* positions, size_t found,
                    size_t skip);

private:
    size_t Find(const unsigned char* text, size_t elements, size_t from) const;
    // Settles the occurrences that begin in the carry; returns where the
    // next one may begin in the piece, or kNotFound when the whole piece
    // went into the carry.
    size_t SettleCarry(const unsigned char* bytes, size_t elements);
    void KeepTail(const unsigned char* bytes, size_t elements, size_t from);
    bool FitsAt(const unsigned char* text, size_t at) const;

    size_t width = 1;
    const unsigned char* bytePattern = nullptr;
    const std::uint16_t* unitPattern = nullptr;
    size_t length = 0;
    unsigned char* carry = nullptr;  // the last elements seen that may begin an occurrence
    unsigned char* joint = nullptr;  // the carry and the start of the next piece
    size_t carried = 0;
    unsigned long long count = 0;
    const unsigned char* byteFold = nullptr;
    const std::uint16_t* unitFold = nullptr;
    FoldVariants first = {}, last = {};
    size_t anchorElement = 0;  // the anchor: byte anchorOffset of this element of the pattern
    size_t anchorOffset = 0;
    unsigned anchorCount = 0;
    unsigned char anchorValues[4] = {};
    bool anchorValue[256] = {};
};
