// Code page tables for the native tests, the fuzzer and the recall
// benchmark, where the platform's conversions are not at hand: 1251 as the
// platform maps it, and a small double-byte page numbered 932 whose lead
// bytes are those of 932 and whose pairs are real for a few characters
// (hiragana, and three kanji) and made up for the rest.
#pragma once

#include <cstdint>
#include <vector>

#include "search/RtfTextExtractor.h"

namespace testpages {

class TestCodePages : public RtfCodePages {
public:
    TestCodePages() : pairs(65536, 0)
    {
        static const std::uint16_t high1251[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
        };
        for (int byte = 0; byte < 256; ++byte)
            cp1251.units[byte] = byte < 0x80 ? static_cast<std::uint16_t>(byte) : high1251[byte - 0x80];
        cp1251.pairs = nullptr;

        for (int byte = 0; byte < 256; ++byte) {
            const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
            std::uint16_t unit = static_cast<std::uint16_t>(byte);
            if (lead)
                unit = 0;
            else if (byte >= 0xA1 && byte <= 0xDF)
                unit = static_cast<std::uint16_t>(0xFF61 + (byte - 0xA1));  // half-width katakana
            cp932.units[byte] = unit;
            if (!lead)
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (trail != 0x7F)
                    pairs[byte * 256 + trail] = static_cast<std::uint16_t>(0x5000 + (byte * 256 + trail) % 0x4000);
            }
        }
        for (int trail = 0x9F; trail <= 0xF1; ++trail)
            pairs[0x82 * 256 + trail] = static_cast<std::uint16_t>(0x3041 + (trail - 0x9F));  // hiragana
        pairs[0x93FA] = 0x65E5;
        pairs[0x967B] = 0x672C;
        pairs[0x8CEA] = 0x8A9E;
        cp932.pairs = pairs.data();
    }

    const RtfCodePage* Find(unsigned codePage) override
    {
        if (codePage == 1251)
            return &cp1251;
        if (codePage == 932)
            return &cp932;
        return nullptr;
    }

private:
    std::vector<std::uint16_t> pairs;
    RtfCodePage cp1251 = {};
    RtfCodePage cp932 = {};
};

}  // namespace testpages
