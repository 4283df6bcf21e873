// The window's 8-bit texts made from wide ones, as the ANSI code page spells them.
#pragma once

#include <windows.h>

#include <string>

// Spells text in the ANSI code page. A character the code page lacks becomes
// its default character ("?"), never a look-alike: a path spelled with one
// (U+0101 as "a") would name another file or folder.
std::string SpellExactly(const WCHAR* text);
