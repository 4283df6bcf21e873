// The few platform types the engine's records use, so that the pure engine
// (matchers, RTF extractor) also builds where there is no Win32.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>
typedef std::uint32_t DWORD;
typedef std::intptr_t INT_PTR;
typedef char16_t WCHAR;
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
#endif
