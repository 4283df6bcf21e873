// Recent patterns, recent folders, the two flags and the preview pane's
// height in the per-user registry. Every primitive opens the key, reads or
// writes one value and closes the key again; no state is kept between calls.
#include "ui/SettingsStore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "res/resource.h"

namespace {

const char kSettingsKey[] = "Software\\Pelmora\\Trovik\\";

// Entries travel through 260-byte buffers on the window side.
const size_t kMaxEntryLength = 259;
const int kMaxEntries = 10;

// The key, opened (and created when missing) for one read or write.
class SettingsKey {
public:
    SettingsKey()
    {
        HKEY opened = nullptr;
        LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0,
                                      KEY_ALL_ACCESS, nullptr, &opened, nullptr);
        if (result == ERROR_SUCCESS)
            key = opened;
    }
    ~SettingsKey()
    {
        if (key)
            RegCloseKey(key);
    }
    SettingsKey(const SettingsKey&) = delete;
    SettingsKey& operator=(const SettingsKey&) = delete;

    HKEY Get() const { return key; }

private:
    HKEY key = nullptr;
};

void MakeValueName(char* name, size_t size, const char* prefix, int index)
{
    snprintf(name, size, "%s%d", prefix, index);
}

void LoadList(HWND window, int controlId, const char* prefix)
{
    for (int i = 0; i < kMaxEntries; ++i) {
        char name[256];
        MakeValueName(name, sizeof name, prefix, i);
        char text[1024];
        text[0] = '\0';
        SettingsStore::ReadString(name, text, sizeof text);
        // Absent and empty values are skipped; so is anything longer than the
        // window can hand back at the next save.
        if (text[0] == '\0' || strlen(text) > kMaxEntryLength)
            continue;
        SendDlgItemMessageA(window, controlId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendDlgItemMessageA(window, controlId, CB_SETCURSEL, 0, 0);
}

// Moves the box's current text to the top of its list (replacing an entry
// that differs only in letter case) and writes the first ten entries.
void SaveList(HWND window, int controlId, const char* prefix)
{
    char text[260];
    text[0] = '\0';
    GetDlgItemTextA(window, controlId, text, sizeof text);

    LRESULT found = SendDlgItemMessageA(window, controlId, CB_FINDSTRINGEXACT,
                                        static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    if (found != CB_ERR)
        SendDlgItemMessageA(window, controlId, CB_DELETESTRING, static_cast<WPARAM>(found), 0);
    SendDlgItemMessageA(window, controlId, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendDlgItemMessageA(window, controlId, CB_SETCURSEL, 0, 0);

    for (int i = 0; i < kMaxEntries; ++i) {
        // CB_GETLBTEXT knows no buffer size: measure first.
        LRESULT length = SendDlgItemMessageA(window, controlId, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length == CB_ERR)
            break;
        if (length < 0 || static_cast<size_t>(length) > kMaxEntryLength)
            continue;
        char entry[260];
        if (SendDlgItemMessageA(window, controlId, CB_GETLBTEXT, static_cast<WPARAM>(i),
                                reinterpret_cast<LPARAM>(entry)) == CB_ERR)
            break;
        char name[256];
        MakeValueName(name, sizeof name, prefix, i);
        SettingsStore::WriteString(entry, name);
    }
}

}  // namespace

namespace SettingsStore {

// Only a 4-byte REG_DWORD counts; a value of another type or size is
// treated as absent, so the default applies.
DWORD ReadDword(const char* name, DWORD defaultValue)
{
    SettingsKey key;
    if (!key.Get() || !name)
        return defaultValue;
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof value;
    LONG result = RegQueryValueExA(key.Get(), name, nullptr, &type,
                                   reinterpret_cast<BYTE*>(&value), &size);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value)
        return defaultValue;
    return value;
}

void WriteDword(DWORD value, const char* name)
{
    SettingsKey key;
    if (!key.Get() || !name)
        return;
    RegSetValueExA(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// The value is read into a block of its own first: the caller's buffer only
// receives a REG_SZ whose text, up to its first zero or the end of the data
// when it carries no terminator, fits with a terminator.
char* ReadString(const char* name, char* buffer, DWORD size)
{
    SettingsKey key;
    if (!key.Get() || !name || !buffer || size == 0)
        return buffer;
    DWORD type = REG_NONE;
    DWORD dataSize = 0;
    if (RegQueryValueExA(key.Get(), name, nullptr, &type, nullptr, &dataSize) != ERROR_SUCCESS
        || type != REG_SZ || dataSize == MAXDWORD)
        return buffer;

    char* data = static_cast<char*>(calloc(static_cast<size_t>(dataSize) + 1, 1));
    if (!data)
        return buffer;
    DWORD readSize = dataSize;
    LONG result = RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &readSize);
    if (result == ERROR_SUCCESS && type == REG_SZ && readSize <= dataSize) {
        size_t length = strnlen(data, readSize);
        if (length < size) {
            memcpy(buffer, data, length);
            buffer[length] = '\0';
        }
    }
    free(data);
    return buffer;
}

void WriteString(const char* text, const char* name)
{
    SettingsKey key;
    if (!key.Get() || !text || !name)
        return;
    size_t length = strlen(text) + 1;
    if (length > MAXDWORD)
        return;
    RegSetValueExA(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(length));
}

int ReadPreviewHeight()
{
    // Taller than any screen: not a height the user left.
    const DWORD height = ReadDword("PreviewHeight", MAXDWORD);
    return height <= 0x7FFF ? static_cast<int>(height) : -1;
}

void WritePreviewHeight(int height)
{
    if (height >= 0)
        WriteDword(static_cast<DWORD>(height), "PreviewHeight");
}

void Load(HWND window)
{
    LoadList(window, IDC_FILESPEC, "Filespec");
    LoadList(window, IDC_LOCATION, "Location");
    // Only 0 clears the box: a state of 2 would show a grey box that the
    // search takes as unchecked.
    CheckDlgButton(window, IDC_SUBFOLDERS, ReadDword("Recursion", 1) == 0 ? BST_UNCHECKED : BST_CHECKED);
    // Exact matching unless the user has turned it off.
    CheckDlgButton(window, IDC_MATCHCASE, ReadDword("MatchCase", 1) == 0 ? BST_UNCHECKED : BST_CHECKED);
}

void Save(HWND window)
{
    SaveList(window, IDC_FILESPEC, "Filespec");
    SaveList(window, IDC_LOCATION, "Location");
    WriteDword(IsDlgButtonChecked(window, IDC_SUBFOLDERS) == BST_CHECKED ? 1 : 0, "Recursion");
    WriteDword(IsDlgButtonChecked(window, IDC_MATCHCASE) == BST_CHECKED ? 1 : 0, "MatchCase");
}

}  // namespace SettingsStore
