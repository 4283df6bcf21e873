// What the general reader and the plain-text loop share, so that the two
// read every token alike: the byte classes, numbers and escapes of tokens,
// and each keyword's effect on the plain-text destination. For the files of
// search/rtf only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "search/TextScan.h"
#include "search/rtf/RtfKeywords.h"
#include "search/rtf/RtfPlainText.h"
#include "search/rtf/RtfReader.h"

// The helpers a reading loop runs for each token or byte are inlined
// whatever the compiler estimates of how often they run: a call for each
// token costs as much as the token.
#if defined(_MSC_VER)
#define TROVIK_RTF_INLINE __forceinline
#else
#define TROVIK_RTF_INLINE inline __attribute__((always_inline))
#endif

// --- Tokens ---

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

// The bytes that name a control symbol: ' * - : _ { | } ~, the backslash,
// and a line break (a backslash before one is a paragraph mark).
struct RtfControlSymbols {
    bool is[256];
    constexpr RtfControlSymbols() : is()
    {
        const char names[] = "'*-:\\_{|}~\r\n";
        for (size_t i = 0; names[i] != 0; ++i)
            is[static_cast<unsigned char>(names[i])] = true;
    }
};
inline constexpr RtfControlSymbols RtfSymbolBytes;

inline bool IsControlSymbol(unsigned char byte)
{
    return RtfSymbolBytes.is[byte];
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

// Reinterprets the 32 bits as a two's-complement value, without relying on
// implementation-defined conversions.
inline std::int32_t WrapToInt32(std::uint32_t value)
{
    if (value < 0x80000000u)
        return static_cast<std::int32_t>(value);
    return static_cast<std::int32_t>(value - 0x80000000u) + INT32_MIN;
}

// Adds a byte of the run (a digit or '-') to a number.
inline void AddToNumber(RtfNumber* number, unsigned char byte)
{
    if (!number->ended) {
        if (IsDigit(byte))
            number->value = number->value * 10u + static_cast<std::uint32_t>(byte - '0');
        else if (!number->started)
            number->negative = true;
        else
            number->ended = true;
    }
    number->started = true;
}

inline std::int32_t NumberValue(const RtfNumber& number)
{
    return WrapToInt32(number.negative ? 0u - number.value : number.value);
}

// \'xx: two hexadecimal digits, or the first alone, become the parameter;
// without a first digit the parameter stays.
inline void SetEscapeParameter(RtfReader* reader, unsigned char first, unsigned char second)
{
    const int high = HexValue(first);
    const int low = HexValue(second);
    if (high >= 0)
        reader->parameter = low >= 0 ? high * 16 + low : high;
}

// After a control word: \binN with a parameter N > 0 is followed by N raw
// bytes, which are skipped whatever they hold; else text follows.
inline void EndControlWord(RtfReader* reader, const RtfKeyword& keyword, bool hasNumber)
{
    if (keyword.kind == RtfBinaryWord && hasNumber && reader->parameter > 0) {
        reader->binaryLeft = static_cast<std::uint32_t>(reader->parameter);
        reader->readState = RtfReadBinary;
    } else {
        reader->readState = RtfReadText;
    }
}

// Reads the control symbol at p with the two bytes of an escape, when they
// lie before end and hold no line break (the escape takes them whatever they
// are, a zero too, and passes line breaks): sets the escape's parameter,
// *keyword to the symbol's row, and returns where the symbol ends; else
// nullptr (nothing read).
inline const unsigned char* ReadSymbol(RtfReader* reader, const unsigned char* p, const unsigned char* end,
                                       const RtfKeyword** keyword)
{
    const RtfKeyword& symbol = RtfSymbolKeyword(*p);
    *keyword = &symbol;
    if (symbol.kind != RtfEscapeSymbol)
        return p + 1;
    if (end - p < 3 || IsLineBreak(p[1]) || IsLineBreak(p[2]))
        return nullptr;
    SetEscapeParameter(reader, p[1], p[2]);
    return p + 3;
}

// Reads at once a control token that lies whole before end, with the byte
// after it (an escape: with no line break in its two bytes): exactly as the
// states would read it byte by byte. Returns where the token ends, or
// nullptr (nothing read) to leave the token to the states. p is just past the
// backslash.
const unsigned char* ReadWholeToken(RtfReader* reader, const unsigned char* p, const unsigned char* end);

// --- The plain-text destination ---

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
TROVIK_RTF_INLINE void WriteCode(RtfByteSpace* space, unsigned char code)
{
    if (space->next == space->limit)
        space->makeRoom(space->owner);
    *space->next++ = code;
    KeepAfter(space, code);
}

// The unit of one byte of text in the code page in force, or 0: a fallback
// still to skip, the trail of a lead byte, a lead byte itself (which waits
// for its trail), or a character alone.
inline std::uint16_t ByteUnit(RtfPlainText* plain, unsigned char byte)
{
    if (plain->fallbackLeft > 0) {
        plain->fallbackLeft -= 1;
        return 0;
    }
    const RtfCodePage* page = plain->codePage;
    if (plain->leadByte != 0) {
        const std::uint16_t unit = page->pairs[plain->leadByte * 256u + byte];
        plain->leadByte = 0;
        return unit;
    }
    const std::uint16_t unit = page->units[byte];
    if (unit == 0 && page->pairs != nullptr)
        plain->leadByte = byte;
    return unit;
}

// One byte of visible text.
inline void DecodeByte(RtfPlainText* plain, unsigned char byte)
{
    if (plain->byteCodes != nullptr && plain->byteCodes[byte] != 0 && plain->fallbackLeft == 0 &&
        plain->leadByte == 0) {
        WriteCode(plain->space, plain->byteCodes[byte]);
        return;
    }
    const std::uint16_t unit = ByteUnit(plain, byte);
    if (unit != 0)
        WriteUnit(plain, unit);
}

// Adds a unit to the field instruction being read; units beyond
// RtfMaxInstruction are left out.
inline void AddToInstruction(RtfPlainText* plain, std::uint16_t unit)
{
    if (plain->instructionLength < RtfMaxInstruction)
        plain->instruction[plain->instructionLength++] = unit;
}

// A keyword's unit: into the text where the state's text is visible, into
// the instruction where a field's instruction is read.
inline void WriteKeywordUnit(RtfPlainText* plain, const RtfGroupState* state, std::uint16_t unit)
{
    if (state->charHandler == PlainTextChar) {
        if (plain->space != nullptr && unit < 0x80)
            WriteCode(plain->space, static_cast<unsigned char>(unit));
        else
            WriteUnit(plain, unit);
    } else if (state->charHandler == FieldInstructionChar) {
        AddToInstruction(plain, unit);
    }
}

// A brace's effect on the plain-text destination: a group's start begins or
// ends, and a brace ends the characters that stand in for a letter.
inline void PlainGroupEdge(RtfPlainText* plain, bool opening)
{
    plain->groupStart = opening;
    plain->ignorablePending = false;
    plain->fallbackLeft = 0;
}

// The document's code page (\ansicpgN); one without a table is 1252. A
// waiting lead byte is dropped.
void SetCodePage(RtfPlainText* plain, const RtfGroupState* state, std::int32_t codePage);
// Makes the code page in force that of the state's font where the font table
// gives it one, else the document's; a waiting lead byte is dropped when the
// code page changes.
void UsePageInForce(RtfPlainText* plain, const RtfGroupState* state);
// The font keywords: fonts defined in the font table, the group's font, the
// default font.
void ApplyFontKeyword(RtfPlainText* plain, RtfGroupState* state, RtfEffect effect, std::int32_t parameter);

// The effects of the keywords that ApplyKeyword does not apply itself: first
// and ignorable tell whether the keyword is its group's first token and
// whether it follows \* there.
void ApplyOtherEffect(RtfPlainText* plain, RtfGroupState* state, const RtfKeyword& keyword, std::int32_t parameter,
                      bool first, bool ignorable);

// A keyword's effect on the plain-text destination plain, whose group state
// is state: PlainTextControl, which the plain-text loop applies without the
// call. The frequent effects are applied here, the others by one call.
TROVIK_RTF_INLINE void ApplyKeyword(RtfPlainText* plain, RtfGroupState* state, const RtfKeyword& keyword,
                                    std::int32_t parameter)
{
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
    if (keyword.effect == RtfNoEffect)
        return;
    if (keyword.effect == RtfWrites && state->charHandler == PlainTextChar) {
        if (plain->space != nullptr && keyword.unit < 0x80)
            WriteCode(plain->space, static_cast<unsigned char>(keyword.unit));
        else
            WriteUnit(plain, keyword.unit);
        return;
    }
    ApplyOtherEffect(plain, state, keyword, parameter, first, ignorable);
}

// The end of a group whose font or character handler differs from the
// enclosing group's: a field's instruction is read for a link's target, and
// the code page of the enclosing group's font is in force again.
void EndGroupFormatting(RtfPlainText* plain, const RtfGroupState* closing, const RtfGroupState* enclosing);

// A group of the plain-text destination has closed and enclosing is current
// again: the group's start, a letter's fallbacks, the group's font and a
// field's instruction end.
inline void ClosePlainGroup(RtfPlainText* plain, const RtfGroupState* closing, const RtfGroupState* enclosing)
{
    PlainGroupEdge(plain, false);
    if (closing->charHandler != enclosing->charHandler || closing->font != enclosing->font ||
        closing->hasFont != enclosing->hasFont)
        EndGroupFormatting(plain, closing, enclosing);
}

// --- The plain-text loop ---

// The plain-text destination over a byte window to which all of state's
// events go, or nullptr: where the plain-text loop may read in place of the
// general reader (it looks at where the state's characters go for each run).
inline RtfPlainText* FastPlainText(const RtfGroupState* state)
{
    if (state->controlHandler != PlainTextControl)
        return nullptr;
    RtfPlainText* plain = static_cast<RtfPlainText*>(state->controlContext);
    if (plain->space == nullptr || state->groupHandler != PlainTextGroup || state->groupContext != plain ||
        state->charContext != plain)
        return nullptr;
    return plain;
}

// The reader in the text state while FastPlainText holds for the current
// state: text, braces and whole tokens with the effect the handlers would
// have. Returns where it stops: at the end, at a zero byte, at a token not
// whole before end, or where the current state no longer reads fast; the
// general loop reads on from there.
const unsigned char* ReadPlainText(RtfReader* reader, RtfPlainText* plain, const unsigned char* p,
                                   const unsigned char* end);
