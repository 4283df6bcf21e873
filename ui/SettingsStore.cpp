// Recent patterns, recent folders, the two flags and the preview pane's
// height in the per-user registry. Every primitive opens the key, reads or
// writes one value and closes the key again; no state is kept between calls.
#include "ui/SettingsStore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "res/resource.h"
#include "search/LongPaths.h"

namespace {

const char kSettingsKey[] = "Software\\Pelmora\\Trovik\\";

// The longest entry each box takes: a pattern travels through a buffer of
// 260 units on the window side; a folder may be as long as the platform's paths.
const size_t kMaxPatternLength = 259;
const size_t kMaxFolderLength = MaxPathUnits - 1;
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

// A value name (ASCII) for the wide calls.
std::wstring WideName(const char* name)
{
    return std::wstring(name, name + strlen(name));
}

size_t LongestEntry(int controlId)
{
    return controlId == IDC_LOCATION ? kMaxFolderLength : kMaxPatternLength;
}

void LoadList(HWND window, int controlId, const char* prefix)
{
    const size_t longest = LongestEntry(controlId);
    std::wstring text(longest + 2, L'\0');
    for (int i = 0; i < kMaxEntries; ++i) {
        char name[256];
        MakeValueName(name, sizeof name, prefix, i);
        text[0] = L'\0';
        SettingsStore::ReadString(name, &text[0], static_cast<DWORD>(text.size()));
        // Absent and empty values are skipped; so is anything longer than the
        // box can hand back at the next save.
        if (text[0] == L'\0' || wcslen(text.c_str()) > longest)
            continue;
        SendDlgItemMessageW(window, controlId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendDlgItemMessageW(window, controlId, CB_SETCURSEL, 0, 0);
}

// Moves the box's current text to the top of its list (replacing an entry
// that differs only in letter case) and writes the first ten entries.
void SaveList(HWND window, int controlId, const char* prefix)
{
    const size_t longest = LongestEntry(controlId);
    HWND box = GetDlgItem(window, controlId);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(box, &text[0], static_cast<int>(text.size()))));

    LRESULT found = SendMessageW(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
    if (found != CB_ERR)
        SendMessageW(box, CB_DELETESTRING, static_cast<WPARAM>(found), 0);
    SendMessageW(box, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(box, CB_SETCURSEL, 0, 0);

    for (int i = 0; i < kMaxEntries; ++i) {
        // CB_GETLBTEXT knows no buffer size: measure first.
        LRESULT length = SendMessageW(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length == CB_ERR)
            break;
        if (length < 0 || static_cast<size_t>(length) > longest)
            continue;
        std::wstring entry(static_cast<size_t>(length) + 1, L'\0');
        if (SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&entry[0])) == CB_ERR)
            break;
        char name[256];
        MakeValueName(name, sizeof name, prefix, i);
        SettingsStore::WriteString(entry.c_str(), name);
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
WCHAR* ReadString(const char* name, WCHAR* buffer, DWORD size)
{
    SettingsKey key;
    if (!key.Get() || !name || !buffer || size == 0)
        return buffer;
    const std::wstring wideName = WideName(name);
    DWORD type = REG_NONE;
    DWORD dataSize = 0;
    if (RegQueryValueExW(key.Get(), wideName.c_str(), nullptr, &type, nullptr, &dataSize) != ERROR_SUCCESS
        || type != REG_SZ || dataSize >= MAXDWORD - sizeof(WCHAR))
        return buffer;

    // Whole units, and one more unit of zeros after the data.
    const size_t units = dataSize / sizeof(WCHAR) + 1;
    WCHAR* data = static_cast<WCHAR*>(calloc(units + 1, sizeof(WCHAR)));
    if (!data)
        return buffer;
    DWORD readSize = dataSize;
    LONG result = RegQueryValueExW(key.Get(), wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data),
                                   &readSize);
    if (result == ERROR_SUCCESS && type == REG_SZ && readSize <= dataSize) {
        const size_t length = wcsnlen(data, readSize / sizeof(WCHAR));
        if (length < size) {
            memcpy(buffer, data, length * sizeof(WCHAR));
            buffer[length] = L'\0';
        }
    }
    free(data);
    return buffer;
}

void WriteString(const WCHAR* text, const char* name)
{
    SettingsKey key;
    if (!key.Get() || !text || !name)
        return;
    const size_t bytes = (wcslen(text) + 1) * sizeof(WCHAR);
    if (bytes > MAXDWORD)
        return;
    RegSetValueExW(key.Get(), WideName(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(bytes));
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
