// Wide texts spelled in the ANSI code page without look-alikes.
#include "ui/AnsiText.h"

std::string SpellExactly(const WCHAR* text)
{
    const UINT codePage = GetACP();
    // UTF-8 spells every character; it takes no best-fit flag.
    const DWORD exactOnly = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = WideCharToMultiByte(codePage, exactOnly, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string spelled(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(codePage, exactOnly, text, -1, &spelled[0], size, nullptr, nullptr) != size)
        return std::string();
    spelled.resize(static_cast<size_t>(size) - 1);
    return spelled;
}
