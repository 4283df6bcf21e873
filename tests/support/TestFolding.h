// A small stand-in for the platform's case folding tables, for the engine's
// portable tests.
#pragma once

#include <cstdint>
#include <memory>

#include "search/SearchText.h"

// A small stand-in for the platform's tables: ASCII, é, ÿ (whose capital is
// beyond Latin-1), ɐ (whose capital needs more UTF-8 bytes), α, the long s
// (whose capital is ASCII), and one double-byte letter pair behind lead byte 0x82.
inline std::unique_ptr<CaseFolding> TestFolding()
{
    std::unique_ptr<CaseFolding> folding(new CaseFolding);
    ResetCaseFolding(folding.get());
    for (unsigned c = 'a'; c <= 'z'; ++c) {
        folding->unit[c] = static_cast<std::uint16_t>(c - 32);
        folding->byte[c] = static_cast<unsigned char>(c - 32);
    }
    folding->unit[0xE9] = 0xC9;
    folding->byte[0xE9] = 0xC9;
    folding->unit[0xFF] = 0x178;
    folding->byte[0xFF] = 0x9F;
    folding->unit[0x250] = 0x2C6F;
    folding->unit[0x3B1] = 0x391;
    folding->unit[0x17F] = 'S';
    folding->lead[0x82] = true;
    folding->pair[0x8281] = 0x8260;  // a full-width small a to its capital
    return folding;
}

