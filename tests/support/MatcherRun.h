// Runs one file's bytes through the whole matcher table as the walk does, for
// the engine's tests (portable: they also run natively under sanitizers).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "search/ContentMatchers.h"

struct TableRun {
    int matches = 0;
    int total = 0;
    int decidedBy = -1;  // index of the matcher that returned 0, or -1
};

// Each typed byte becomes the code unit of the same value, as the window does.
inline std::basic_string<WCHAR> Widen(const std::string& bytes)
{
    std::basic_string<WCHAR> units;
    for (unsigned char byte : bytes)
        units.push_back(byte);
    return units;
}

// The file's bytes plus three zero bytes, through the table in order.
inline TableRun RunTable(const std::string& content, const std::string& text)
{
    std::string buffer = content + std::string(3, '\0');
    std::basic_string<WCHAR> units = Widen(text);
    SearchRequest request = {};
    request.searchText = units.c_str();
    FoundFile record = {};
    TableRun run;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
    for (int i = 0; i < 3; ++i) {
        if (ContentMatcherTable[i](bytes, content.size(), &request, &record) == 0) {
            run.decidedBy = i;
            break;
        }
    }
    run.matches = record.matchCount;
    run.total = request.totalMatches;
    EXPECT_EQ(run.matches, run.total);
    return run;
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
