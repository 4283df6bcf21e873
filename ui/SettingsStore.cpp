// Placeholder until the settings store lands.
#include "ui/SettingsStore.h"

namespace SettingsStore {
DWORD ReadDword(const char*, DWORD defaultValue) { return defaultValue; }
void WriteDword(DWORD, const char*) {}
char* ReadString(const char*, char* buffer, DWORD) { return buffer; }
void WriteString(const char*, const char*) {}
void Load(HWND) {}
void Save(HWND) {}
}  // namespace SettingsStore
