// The typed text's spellings for the readings, and the case folding tables.
#include "search/SearchText.h"

#include <cstring>
#include <new>

std::size_t EncodeUtf8Character(std::uint32_t code, unsigned char* out)
{
    if (code < 0x80) {
        out[0] = static_cast<unsigned char>(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | (code >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = static_cast<unsigned char>(0xE0 | (code >> 12));
        out[1] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = static_cast<unsigned char>(0xF0 | (code >> 18));
    out[1] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
    out[3] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    return 4;
}

std::size_t Utf8SequenceLength(unsigned char byte)
{
    if (byte < 0x80)
        return 1;
    if (byte >= 0xC2 && byte <= 0xDF)
        return 2;
    if (byte >= 0xE0 && byte <= 0xEF)
        return 3;
    if (byte >= 0xF0 && byte <= 0xF4)
        return 4;
    return 0;
}

bool DecodeUtf8Sequence(const unsigned char* bytes, std::size_t length, std::uint32_t* code)
{
    std::uint32_t value = length == 1 ? bytes[0] : length == 2 ? bytes[0] & 0x1Fu : length == 3 ? bytes[0] & 0x0Fu : bytes[0] & 0x07u;
    for (std::size_t i = 1; i < length; ++i) {
        if ((bytes[i] & 0xC0) != 0x80)
            return false;
        value = (value << 6) | (bytes[i] & 0x3Fu);
    }
    static const std::uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return false;
    *code = value;
    return true;
}

bool EncodeUtf8(const std::u16string& units, std::string* bytes)
{
    bytes->clear();
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint32_t code = units[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            bytes->clear();
            return false;
        }
        unsigned char encoded[4];
        bytes->append(reinterpret_cast<const char*>(encoded), EncodeUtf8Character(code, encoded));
    }
    return true;
}

void SetTypedText(SearchTextForms* forms, const WCHAR* typed)
{
    forms->typed.clear();
    for (std::size_t i = 0; typed != nullptr && typed[i] != 0; ++i)
        forms->typed.push_back(static_cast<char16_t>(typed[i]));
    forms->hasUtf8 = EncodeUtf8(forms->typed, &forms->utf8);
    forms->hasAnsi = false;
    forms->ansi.clear();
    forms->widenedAnsi.clear();
}

void SetAnsiText(SearchTextForms* forms, const char* bytes, std::size_t length)
{
    forms->hasAnsi = true;
    forms->ansi.assign(bytes, length);
    forms->widenedAnsi.clear();
    for (char byte : forms->ansi)
        forms->widenedAnsi.push_back(static_cast<char16_t>(static_cast<unsigned char>(byte)));
}

void ResetCaseFolding(CaseFolding* folding)
{
    for (std::uint32_t i = 0; i < 65536; ++i) {
        folding->unit[i] = static_cast<std::uint16_t>(i);
        folding->pair[i] = static_cast<std::uint16_t>(i);
    }
    for (int i = 0; i < 256; ++i) {
        folding->byte[i] = static_cast<unsigned char>(i);
        folding->lead[i] = false;
    }
}

#ifdef _WIN32

namespace {

// Text in the code page, exactly: false when a character has no spelling of
// its own there (a best-fit or default character would stand for another).
bool SpellExactly(UINT codePage, const WCHAR* units, int count, char* bytes, int room, int* length)
{
    if (count <= 0 || count > 1024)
        return false;
    BOOL usedDefault = FALSE;
    const bool utf8 = codePage == CP_UTF8;
    const int written = WideCharToMultiByte(codePage, utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS, units, count,
                                            bytes, room, nullptr, utf8 ? nullptr : &usedDefault);
    if (written <= 0 || usedDefault)
        return false;
    // Some code pages have no best-fit switch: a round trip shows a substitute.
    WCHAR back[1024];
    const int backCount = MultiByteToWideChar(codePage, 0, bytes, written, back, 1024);
    if (backCount != count || std::memcmp(back, units, static_cast<size_t>(count) * sizeof(WCHAR)) != 0)
        return false;
    *length = written;
    return true;
}

void BuildCaseFolding(CaseFolding* folding)
{
    ResetCaseFolding(folding);
    // Surrogates stay as they are: the simple mapping is per unit.
    for (std::uint32_t i = 0; i < 65536; ++i) {
        if (i >= 0xD800 && i <= 0xDFFF)
            continue;
        WCHAR unit = static_cast<WCHAR>(i);
        CharUpperBuffW(&unit, 1);
        folding->unit[i] = static_cast<std::uint16_t>(unit);
    }
    const UINT codePage = GetACP();  // the ANSI code page
    if (codePage == CP_UTF8)
        return;  // the ANSI readings of a UTF-8 system compare bytes of ASCII only
    for (int b = 1; b < 256; ++b) {
        if (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(b))) {
            folding->lead[b] = true;
            continue;
        }
        const char in = static_cast<char>(b);
        WCHAR unit = 0;
        if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, &in, 1, &unit, 1) != 1)
            continue;
        WCHAR upper = static_cast<WCHAR>(folding->unit[unit]);
        char out[4];
        int length = 0;
        if (upper != unit && SpellExactly(codePage, &upper, 1, out, sizeof out, &length) && length == 1)
            folding->byte[b] = static_cast<unsigned char>(out[0]);
    }
    for (int lead = 0; lead < 256; ++lead) {
        if (!folding->lead[lead])
            continue;
        for (int trail = 1; trail < 256; ++trail) {
            const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            WCHAR unit = 0;
            if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in, 2, &unit, 1) != 1)
                continue;
            WCHAR upper = static_cast<WCHAR>(folding->unit[unit]);
            char out[4];
            int length = 0;
            if (upper != unit && SpellExactly(codePage, &upper, 1, out, sizeof out, &length) && length == 2)
                folding->pair[(lead << 8) | trail] = static_cast<std::uint16_t>(
                    (static_cast<unsigned char>(out[0]) << 8) | static_cast<unsigned char>(out[1]));
        }
    }
}

}  // namespace

void PrepareSearchText(SearchTextForms* forms, const WCHAR* typed)
{
    SetTypedText(forms, typed);
    const int count = static_cast<int>(forms->typed.size());
    if (count == 0)
        return;
    // A typed text is at most 259 units; each takes at most 4 bytes anywhere.
    char bytes[1040];
    int length = 0;
    if (SpellExactly(GetACP(), typed, count, bytes, sizeof bytes, &length))
        SetAnsiText(forms, bytes, static_cast<std::size_t>(length));
}

const CaseFolding* SystemCaseFolding()
{
    static CaseFolding* folding = nullptr;
    if (folding == nullptr) {
        folding = new (std::nothrow) CaseFolding;
        if (folding != nullptr)
            BuildCaseFolding(folding);
    }
    return folding;
}

#endif
