// The hash over the keyword table's names, found when the program starts.
#include "search/rtf/RtfKeywords.h"

#include <cstring>

namespace {

// A row's name as the reader gathers it.
RtfName NameOf(const char* text)
{
    RtfName name = {0, 0, 0};
    for (std::size_t index = 0; text[index] != 0; ++index)
        AddToName(&name, index, static_cast<unsigned char>(text[index]));
    return name;
}

}  // namespace

RtfKeywordHash::RtfKeywordHash() : multiplier(0), slots(), names()
{
    for (std::size_t row = 0; row < RtfKeywordCount; ++row)
        names[row] = NameOf(RtfKeywordTable[row].name);
    // Multipliers far apart: neighbours would put the names in nearly the
    // same slots.
    for (multiplier = 0xD6E8FEB86659FD93ull;; multiplier += 0x9E3779B97F4A7C16ull) {
        std::memset(slots, 0, sizeof slots);
        std::size_t row = 0;
        for (; row < RtfKeywordCount; ++row) {
            unsigned char& slot = slots[Slot(names[row].first, names[row].second, multiplier)];
            if (slot != 0)
                break;
            slot = static_cast<unsigned char>(row + 1);
        }
        if (row == RtfKeywordCount)
            return;
    }
}

const RtfKeywordHash RtfKeywordNames;

bool LookupRtfKeyword(const char* text, int* code)
{
    RtfName name = {0, 0, 0};
    std::size_t length = 0;
    for (; text[length] != 0; ++length) {
        const unsigned char byte = static_cast<unsigned char>(text[length]);
        if (length == RtfLongestKeyword || byte >= 0x80)
            return false;
        AddToName(&name, length, byte);
    }
    const RtfKeyword& row = FindRtfKeyword(name, length);
    if (&row == &RtfUnknownKeyword)
        return false;
    *code = row.code;
    return true;
}
