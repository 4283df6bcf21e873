// Case folding of text that arrives in pieces, for searches without Match
// case: each piece is mapped into a scratch buffer through the folding
// tables, and the readings count the folded text against the folded search
// text. Pure: the tables come from the caller.
#pragma once

#include <cstddef>
#include <cstdint>

#include "search/SearchText.h"

// 16-bit units, little- or big-endian, one to one. out may be bytes itself.
void FoldUnits(const CaseFolding& folding, bool bigEndian, const unsigned char* bytes, std::size_t units,
               unsigned char* out);

// Text in the ANSI code page: single-byte characters through the byte table,
// double-byte characters through the pair table. A lead byte at the end of a
// piece waits for its trail byte in the next one.
class CodePageFolder {
public:
    void Begin() { pendingLead = -1; }
    // Writes at most count + 1 bytes to out; returns how many.
    std::size_t Fold(const CaseFolding& folding, const unsigned char* bytes, std::size_t count, unsigned char* out);
    // The text has ended: a lead byte still waiting is written as it is.
    std::size_t Finish(unsigned char* out);

private:
    int pendingLead = -1;
};

// UTF-8: each well-formed character is decoded, folded by the unit table
// (characters beyond the first 65,536 keep their case) and encoded again;
// any other byte passes as it is. An incomplete character at the end of a
// piece waits for the rest.
class Utf8Folder {
public:
    // Once per folding: whether its ASCII part is the plain a-z to A-Z, which
    // runs of ASCII then fold sixteen bytes at a time.
    void Prepare(const CaseFolding& folding);
    void Begin() { pending = 0; }
    // Whether no character waits for its last bytes.
    bool Idle() const { return pending == 0; }
    // Writes at most 2 * count + 4 bytes to out; returns how many.
    std::size_t Fold(const CaseFolding& folding, const unsigned char* bytes, std::size_t count, unsigned char* out);
    // The text has ended: bytes still waiting are written as they are.
    std::size_t Finish(unsigned char* out);

private:
    unsigned char held[4] = {};
    std::size_t pending = 0;
    bool plainAscii = false;
};

// The folded forms of search texts, with the same rules.
std::u16string FoldedUnits(const CaseFolding& folding, const std::u16string& units);
std::string FoldedCodePageText(const CaseFolding& folding, const std::string& bytes);
std::string FoldedUtf8(const CaseFolding& folding, const std::string& bytes);
