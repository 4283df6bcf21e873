// Texts between the tests' UTF-8 and the program's UTF-16: names are
// written in UTF-8 in a test and compared with a record's UTF-16.
#pragma once

#include <windows.h>

#include <string>

inline std::string Utf8(const WCHAR* text)
{
    if (text == nullptr)
        return std::string();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &result[0], bytes, nullptr, nullptr);
    result.resize(result.size() - 1);
    return result;
}

inline std::wstring Wide(const std::string& utf8)
{
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring result(static_cast<size_t>(units > 0 ? units : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &result[0], units);
    result.resize(result.size() - 1);
    return result;
}
