// Code page 1252, the one table the engine holds.
#include "search/rtf/RtfCodePages.h"

namespace {

// Bytes 0x80 to 0x9F as the platform maps them (the five it leaves
// undefined keep their C1 code points); every other byte is its own code
// point.
constexpr RtfCodePage Make1252()
{
    const std::uint16_t high[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
        0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178,
    };
    RtfCodePage page = {};
    for (int byte = 0; byte < 256; ++byte)
        page.units[byte] = byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : static_cast<std::uint16_t>(byte);
    page.pairs = nullptr;
    return page;
}

}  // namespace

const RtfCodePage RtfCodePage1252 = Make1252();

bool WritesAsciiAsItself(const RtfCodePage* page)
{
    for (int byte = 1; byte < 0x80; ++byte) {
        if (page->units[byte] != byte)
            return false;
    }
    return true;
}
