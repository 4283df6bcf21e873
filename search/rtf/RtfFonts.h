// A document's fonts that name a code page of their own (\fcharsetN or
// \cpgN in the font table): which code page each font's text is read in.
// Bounded: the first RtfMaxFonts fonts the table defines.
#pragma once

#include <cstddef>
#include <cstdint>

struct RtfCodePage;

const std::size_t RtfMaxFonts = 1024;

struct RtfFonts {
    std::size_t count;                      // fonts defined
    std::int32_t numbers[RtfMaxFonts];      // each one's N of \fN
    const RtfCodePage* pages[RtfMaxFonts];  // its own code page, nullptr for none
    bool pageNamed[RtfMaxFonts];            // the page comes from \cpgN, which \fcharsetN does not change
    std::uint16_t slots[2 * RtfMaxFonts];   // index + 1 by a hash of the number, 0 for none
};

// Forgets every font.
void ClearFonts(RtfFonts* fonts);
// The index of font number, or -1.
int FindFont(const RtfFonts* fonts, std::int32_t number);
// The index of font number, defined now (without a code page) unless it
// was; -1 when the table is full.
int DefineFont(RtfFonts* fonts, std::int32_t number);

// The code page of a font's character set (\fcharsetN), or 0 for the
// character sets that leave the document's code page in force (ANSI,
// default, symbol) and those that name none.
unsigned CharsetCodePage(std::int32_t charset);
