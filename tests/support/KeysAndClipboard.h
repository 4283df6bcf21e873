// The keyboard state a key handler reads, and the clipboard's text, for the
// tests of keys that copy.
#pragma once

#include <windows.h>

#include <string>

// Marks a key down or up in the thread's keyboard state (GetKeyState).
inline void SetKey(int key, bool down)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[key] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

// The clipboard's text in one format, CF_TEXT or CF_UNICODETEXT.
template <typename Char>
std::basic_string<Char> ClipboardText(UINT format)
{
    std::basic_string<Char> text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(format)) {
        text = static_cast<const Char*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}
