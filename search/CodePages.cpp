// Tables of single-byte and double-byte code pages from MultiByteToWideChar,
// byte by byte and pair by pair, once per code page.
#include "search/CodePages.h"

#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

// The table of a code page the system has, or nullptr.
RtfCodePage* BuildTable(unsigned codePage)
{
    CPINFO info;
    if (!IsValidCodePage(codePage) || !GetCPInfo(codePage, &info))
        return nullptr;
    bool lead[256] = {};
    bool doubleByte = false;
    for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
        for (int byte = info.LeadByte[i]; byte <= info.LeadByte[i + 1]; ++byte) {
            lead[byte] = true;
            doubleByte = true;
        }
    }
    RtfCodePage* table = new (std::nothrow) RtfCodePage();
    if (table == nullptr)
        return nullptr;
    std::uint16_t* pairs = nullptr;
    if (doubleByte) {
        pairs = static_cast<std::uint16_t*>(std::calloc(65536, sizeof(std::uint16_t)));
        if (pairs == nullptr) {
            delete table;
            return nullptr;
        }
    }
    for (int byte = 1; byte < 256; ++byte) {
        if (lead[byte])
            continue;  // 0: a lead byte
        const char one = static_cast<char>(byte);
        WCHAR unit = 0;
        if (MultiByteToWideChar(codePage, 0, &one, 1, &unit, 1) == 1)
            table->units[byte] = static_cast<std::uint16_t>(unit);
    }
    for (int byte = 1; doubleByte && byte < 256; ++byte) {
        if (!lead[byte])
            continue;
        for (int trail = 1; trail < 256; ++trail) {
            const char two[2] = {static_cast<char>(byte), static_cast<char>(trail)};
            WCHAR units[2] = {};
            if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, two, 2, units, 2) == 1)
                pairs[byte * 256 + trail] = static_cast<std::uint16_t>(units[0]);
        }
    }
    table->pairs = pairs;
    return table;
}

void ReleaseTable(RtfCodePage* table)
{
    if (table == nullptr)
        return;
    std::free(const_cast<std::uint16_t*>(table->pairs));
    delete table;
}

}  // namespace

SystemCodePages::SystemCodePages() : entries(), used(0)
{
}

SystemCodePages::~SystemCodePages()
{
    for (Entry& entry : entries)
        ReleaseTable(entry.table);
}

const RtfCodePage* SystemCodePages::Find(unsigned codePage)
{
    if (codePage == 0)
        return nullptr;
    for (int slot = 0; slot < used; ++slot) {
        if (entries[slot].codePage == codePage)
            return entries[slot].table;
    }
    // A table once returned is never released before this object: a reader
    // may hold several.
    if (used == Slots)
        return nullptr;
    Entry& entry = entries[used++];
    entry.table = BuildTable(codePage);
    entry.codePage = codePage;
    return entry.table;
}
