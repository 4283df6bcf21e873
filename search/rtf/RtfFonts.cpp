// The font table's code pages: the fonts by number, the character sets that
// name a code page, and the code page in force for the plain-text
// destination's text.
#include "search/rtf/RtfFonts.h"

#include <cstring>

#include "search/rtf/RtfReading.h"

namespace {

const unsigned kSlotMask = 2 * RtfMaxFonts - 1;

inline unsigned FirstSlot(std::int32_t number)
{
    return (static_cast<std::uint32_t>(number) * 0x9E3779B1u >> 16) & kSlotMask;
}

// The table of a code page, or nullptr when there is none.
const RtfCodePage* TableOf(const RtfPlainText* plain, unsigned codePage)
{
    if (codePage == 1252)
        return &RtfCodePage1252;
    return plain->codePages != nullptr ? plain->codePages->Find(codePage) : nullptr;
}

}  // namespace

void ClearFonts(RtfFonts* fonts)
{
    std::memset(fonts->slots, 0, sizeof fonts->slots);
    fonts->count = 0;
}

int FindFont(const RtfFonts* fonts, std::int32_t number)
{
    for (unsigned slot = FirstSlot(number); fonts->slots[slot] != 0; slot = (slot + 1) & kSlotMask) {
        const int index = fonts->slots[slot] - 1;
        if (fonts->numbers[index] == number)
            return index;
    }
    return -1;
}

int DefineFont(RtfFonts* fonts, std::int32_t number)
{
    unsigned slot = FirstSlot(number);
    for (; fonts->slots[slot] != 0; slot = (slot + 1) & kSlotMask) {
        const int index = fonts->slots[slot] - 1;
        if (fonts->numbers[index] == number)
            return index;
    }
    if (fonts->count == RtfMaxFonts)
        return -1;
    const std::size_t index = fonts->count++;
    fonts->numbers[index] = number;
    fonts->pages[index] = nullptr;
    fonts->pageNamed[index] = false;
    fonts->slots[slot] = static_cast<std::uint16_t>(index + 1);
    return static_cast<int>(index);
}

unsigned CharsetCodePage(std::int32_t charset)
{
    static const struct {
        std::int32_t charset;
        unsigned codePage;
    } rows[] = {
        {77, 10000}, {128, 932}, {129, 949}, {134, 936}, {136, 950}, {161, 1253}, {162, 1254},
        {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257}, {204, 1251}, {222, 874}, {238, 1250},
    };
    for (const auto& row : rows) {
        if (row.charset == charset)
            return row.codePage;
    }
    return 0;
}

// Makes the code page in force that of the state's font where the font table
// gives it one, else the document's; a waiting lead byte is dropped when the
// code page changes. The code pages switched to last are kept ready.
void UsePageInForce(RtfPlainText* plain, const RtfGroupState* state)
{
    const RtfCodePage* page = nullptr;
    if (state->hasFont || plain->hasDefaultFont) {
        const int font = FindFont(&plain->fonts, state->hasFont ? state->font : plain->defaultFont);
        if (font >= 0)
            page = plain->fonts.pages[font];
    }
    if (page == nullptr)
        page = plain->documentPage;
    if (page == plain->codePage)
        return;
    plain->codePage = page;
    plain->leadByte = 0;
    for (const RtfPlainText::PageUse& use : plain->pageUses) {
        if (use.page == page) {
            plain->asciiSame = use.asciiSame;
            plain->byteCodes = use.byteCodes;
            return;
        }
    }
    const unsigned slot = plain->nextPageUse;
    plain->nextPageUse = (slot + 1) % RtfPageUses;
    RtfPlainText::PageUse& use = plain->pageUses[slot];
    use.page = page;
    use.asciiSame = WritesAsciiAsItself(page);
    use.byteCodes = plain->space != nullptr ? plain->space->pageCodes(plain->space->owner, page, slot) : nullptr;
    plain->asciiSame = use.asciiSame;
    plain->byteCodes = use.byteCodes;
}

// The document's code page (\ansicpgN); one without a table is 1252. A
// waiting lead byte is dropped.
void SetCodePage(RtfPlainText* plain, const RtfGroupState* state, std::int32_t codePage)
{
    const RtfCodePage* page = codePage > 0 ? TableOf(plain, static_cast<unsigned>(codePage)) : nullptr;
    plain->documentPage = page != nullptr ? page : &RtfCodePage1252;
    plain->leadByte = 0;
    UsePageInForce(plain, state);
}

// The font keywords: fonts defined in the font table, the group's font, the
// default font.
void ApplyFontKeyword(RtfPlainText* plain, RtfGroupState* state, RtfEffect effect, std::int32_t parameter)
{
    switch (effect) {
    case RtfFontNumber:
        if (state->fontTable) {
            plain->definingFont = DefineFont(&plain->fonts, parameter);
            return;
        }
        state->hasFont = true;
        state->font = parameter;
        break;
    case RtfFontCharset:
    case RtfFontCodePage: {
        // A font's own code page is kept where the platform has its table;
        // \cpgN names it exactly, and a character set after it leaves it.
        const int font = plain->definingFont;
        if (!state->fontTable || font < 0 || (effect == RtfFontCharset && plain->fonts.pageNamed[font]))
            return;
        const unsigned codePage = effect == RtfFontCharset ? CharsetCodePage(parameter)
                                  : parameter > 0          ? static_cast<unsigned>(parameter)
                                                           : 0;
        plain->fonts.pages[font] = codePage != 0 ? TableOf(plain, codePage) : nullptr;
        plain->fonts.pageNamed[font] = effect == RtfFontCodePage;
        break;
    }
    case RtfDefaultFont:
        plain->defaultFont = parameter;
        plain->hasDefaultFont = true;
        break;
    case RtfDefaultFormatting:
        if (!state->hasFont)
            return;
        state->hasFont = false;
        break;
    default:
        return;
    }
    UsePageInForce(plain, state);
}
