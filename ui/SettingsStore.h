// Recent patterns, recent folders, the subfolder and Match case flags and the
// preview pane's height, kept per user in the registry. The key is opened and closed for every single value.
#pragma once

#include <windows.h>

namespace SettingsStore {

DWORD ReadDword(const char* name, DWORD defaultValue);
void WriteDword(DWORD value, const char* name);
// A REG_SZ value, read and written with the wide calls: any script, and
// values that earlier versions wrote with the ANSI calls read back as they
// were. size counts units. Leaves buffer untouched when the value is absent
// or unusable.
WCHAR* ReadString(const char* name, WCHAR* buffer, DWORD size);
void WriteString(const WCHAR* text, const char* name);

// The preview pane's height at 96 DPI as the user last left it; -1 when none
// is stored or the value is unusable.
int ReadPreviewHeight();
void WritePreviewHeight(int height);

// Fills the two recent lists and the two check boxes of the window.
void Load(HWND window);
// Records the window's current pattern, folder and check boxes.
void Save(HWND window);

}  // namespace SettingsStore
