// Runs one file's bytes through the whole view table as the walk does, for
// the engine's tests (portable: they also run natively under sanitizers).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search/ContentMatchers.h"
#include "search/SearchText.h"

struct TableRun {
    long long matches = 0;
    int decidedBy = -1;  // the view whose count decided, or -1
};

// A typed text's spellings; ansi: its spelling in the code page, nullptr for none.
inline SearchTextForms Forms(const std::u16string& typed, const char* ansi)
{
    SearchTextForms forms;
    SetTypedText(&forms, reinterpret_cast<const WCHAR*>(typed.c_str()));
    if (ansi != nullptr)
        SetAnsiText(&forms, ansi, std::string(ansi).size());
    return forms;
}

// Each typed byte becomes the code unit of the same value, as the window does.
inline std::basic_string<WCHAR> Widen(const std::string& bytes)
{
    std::basic_string<WCHAR> units;
    for (unsigned char byte : bytes)
        units.push_back(byte);
    return units;
}

// The file's bytes through a prepared scan in pieces of pieceSize bytes (0:
// the whole file in one piece), each piece in a block of exactly its size so
// that a read past it is caught by AddressSanitizer.
inline TableRun FeedInPieces(FileScan* scan, const std::string& content, size_t pieceSize)
{
    TableRun run;
    scan->BeginFile();
    const size_t step = pieceSize == 0 ? (content.empty() ? 1 : content.size()) : pieceSize;
    for (size_t at = 0; at < content.size() && !scan->Decided(); at += step) {
        const size_t size = content.size() - at < step ? content.size() - at : step;
        std::vector<unsigned char> piece(content.begin() + static_cast<std::ptrdiff_t>(at),
                                         content.begin() + static_cast<std::ptrdiff_t>(at + size));
        scan->Feed(piece.data(), piece.size());
    }
    scan->EndFile();
    run.matches = static_cast<long long>(scan->Result(&run.decidedBy));
    return run;
}

// The views selected by viewMask for a text of units each standing for a
// byte of the code page (the first three readings); codePages: for RTF documents.
inline TableRun RunUnits(const std::string& content, const std::basic_string<WCHAR>& units, unsigned viewMask,
                         size_t pieceSize = 0, RtfCodePages* codePages = nullptr)
{
    FileScan scan;
    if (!scan.Prepare(units.c_str(), viewMask, codePages)) {
        ADD_FAILURE() << "no memory for the scan";
        return TableRun();
    }
    return FeedInPieces(&scan, content, pieceSize);
}

inline TableRun RunViews(const std::string& content, const std::string& text, unsigned viewMask,
                         size_t pieceSize = 0)
{
    return RunUnits(content, Widen(text), viewMask, pieceSize);
}

// Every reading of a typed text, exactly or through folding.
inline TableRun RunReadings(const std::string& content, const SearchTextForms& forms, const CaseFolding* folding,
                            size_t pieceSize = 0, RtfCodePages* codePages = nullptr)
{
    FileScan scan;
    if (!scan.Prepare(forms, folding, AllContentViews, codePages)) {
        ADD_FAILURE() << "no memory for the scan";
        return TableRun();
    }
    return FeedInPieces(&scan, content, pieceSize);
}

inline TableRun RunTable(const std::string& content, const std::string& text, size_t pieceSize = 0)
{
    return RunViews(content, text, AllContentViews, pieceSize);
}

inline std::string Utf16le(const std::string& text, bool bom = false)
{
    std::string bytes = bom ? std::string("\xFF\xFE", 2) : std::string();
    for (char c : text) {
        bytes.push_back(c);
        bytes.push_back('\0');
    }
    return bytes;
}

// UTF-16 units as bytes, little- or big-endian.
inline std::string Utf16Bytes(const std::u16string& text, bool bigEndian)
{
    std::string bytes;
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}
