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

// The bytes that name a control symbol: ' * - : _ { | } ~ and the backslash.
struct RtfControlSymbols {
    bool is[256];
    constexpr RtfControlSymbols() : is()
    {
        const char names[] = "'*-:\\_{|}~";
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
// are, a zero too): sets the escape's parameter, *keyword to the symbol's row,
// and returns where the symbol ends; else nullptr (nothing read).
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
// after it, and holds no line break: exactly as the states would read it
// byte by byte. Returns where the token ends, or nullptr (nothing read) to
// leave the token to the states. p is just past the backslash.
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
inline void WriteCode(RtfByteSpace* space, unsigned char code)
{
    if (space->next == space->limit)
        space->makeRoom(space->owner);
    *space->next++ = code;
    KeepAfter(space, code);
}

// One byte of visible text: a fallback still to skip, the trail of a lead
// byte, a lead byte itself, or a character alone.
inline void DecodeByte(RtfPlainText* plain, unsigned char byte)
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

// The document's code page (\ansicpgN); one without a table is 1252.
void SetCodePage(RtfPlainText* plain, std::int32_t codePage);

// A brace's effect on the plain-text destination: a group's start begins or
// ends, and a brace ends the characters that stand in for a letter.
inline void PlainGroupEdge(RtfPlainText* plain, bool opening)
{
    plain->groupStart = opening;
    plain->ignorablePending = false;
    plain->fallbackLeft = 0;
}

// A keyword's effect on the plain-text destination plain, whose group state
// is state: PlainTextControl, which the plain-text loop applies without the
// call.
inline void ApplyKeyword(RtfPlainText* plain, RtfGroupState* state, const RtfKeyword& keyword,
                         std::int32_t parameter)
{
    const bool first = plain->groupStart;
    const bool ignorable = plain->ignorablePending;
    plain->groupStart = false;
    plain->ignorablePending = false;
    if (plain->fallbackLeft > 0) {
        plain->fallbackLeft -= 1;
        return;
    }
    switch (keyword.effect) {
    case RtfNoEffect:
        break;
    case RtfWrites:
        if (state->charHandler == PlainTextChar) {
            if (plain->space != nullptr && keyword.unit < 0x80)
                WriteCode(plain->space, static_cast<unsigned char>(keyword.unit));
            else
                WriteUnit(plain, keyword.unit);
        }
        break;
    case RtfSilences:
        state->charHandler = IgnoreEvent;
        break;
    case RtfMarksIgnorable:
        // A group that begins with \* is one a reader may skip: nothing in it
        // is shown unless the word after the symbol is one a reader shows
        // (writers mark footnotes and field results so).
        if (first) {
            state->charHandler = IgnoreEvent;
            plain->ignorablePending = true;
        }
        break;
    case RtfShownAfterMark:
        if (ignorable && state->enclosing != nullptr)
            state->charHandler = state->enclosing->charHandler;
        break;
    case RtfEscapedByte: {
        // A zero byte is not written: the text goes on after it.
        const unsigned char byte = static_cast<unsigned char>(static_cast<std::uint32_t>(parameter) & 0xFFu);
        if (byte != 0 && state->charHandler == PlainTextChar)
            DecodeByte(plain, byte);
        break;
    }
    case RtfLetterByNumber:
        // A signed 16-bit number: -1 is U+FFFF.
        if (state->charHandler == PlainTextChar) {
            const std::uint16_t unit = static_cast<std::uint16_t>(static_cast<std::uint32_t>(parameter) & 0xFFFFu);
            if (unit != 0)
                WriteUnit(plain, unit);
            plain->fallbackLeft = state->fallbackCount;
        }
        break;
    case RtfFallbackCount:
        state->fallbackCount = parameter < 0 ? 0 : parameter;
        break;
    case RtfDocumentCodePage:
        SetCodePage(plain, parameter);
        break;
    }
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
