// The recent lists and the subfolder flag through the real registry of the
// test prefix and a real search dialog: save, restart, load.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "res/resource.h"
#include "support/PrivateUserRegistry.h"
#include "support/WideText.h"
#include "ui/SettingsStore.h"

namespace {

const char kKey[] = "Software\\Pelmora\\Trovik";

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// The search window's template with a dialog procedure that does nothing,
// Unicode as the window is.
class SearchDialog {
public:
    SearchDialog()
    {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SEARCH), nullptr,
                                    PlainDialogProc, 0);
    }
    ~SearchDialog()
    {
        if (window)
            DestroyWindow(window);
    }
    SearchDialog(const SearchDialog&) = delete;
    SearchDialog& operator=(const SearchDialog&) = delete;

    HWND window = nullptr;
};

// A box's list entries, in UTF-8.
std::vector<std::string> Entries(HWND window, int id)
{
    std::vector<std::string> entries;
    LRESULT count = SendDlgItemMessageW(window, id, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = SendDlgItemMessageW(window, id, CB_GETLBTEXTLEN, i, 0);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        SendDlgItemMessageW(window, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        entries.push_back(Utf8(text.c_str()));
    }
    return entries;
}

std::string BoxText(HWND window, int id)
{
    std::wstring text(40000, L'\0');
    GetDlgItemTextW(window, id, &text[0], static_cast<int>(text.size()));
    return Utf8(text.c_str());
}

// One search as the window records it: the boxes' texts (UTF-8), then the save.
void SaveSearch(HWND window, const std::string& pattern, const std::string& folder, bool subfolders = true,
                bool matchCase = true)
{
    SetDlgItemTextW(window, IDC_FILESPEC, Wide(pattern).c_str());
    SetDlgItemTextW(window, IDC_LOCATION, Wide(folder).c_str());
    CheckDlgButton(window, IDC_SUBFOLDERS, subfolders ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window, IDC_MATCHCASE, matchCase ? BST_CHECKED : BST_UNCHECKED);
    SettingsStore::Save(window);
}

void DeleteSettings()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Pelmora");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Pelmora");
}

void PutValue(const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

void PutString(const char* name, const std::string& text)
{
    PutValue(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

struct StoredValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::string bytes;
};

StoredValue GetValue(const char* name)
{
    StoredValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    char data[2048];
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS) {
        value.present = true;
        value.bytes.assign(data, size);
    }
    RegCloseKey(key);
    return value;
}

// A stored string as written (UTF-8): REG_SZ, the terminator included in
// the length, read as the wide calls read it.
std::string StoredText(const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<no key>";
    std::wstring data(40000, L'\0');
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(data.size() * sizeof(WCHAR));
    const LONG result = RegQueryValueExW(key, Wide(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                                         &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return "<absent>";
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << name;
    EXPECT_GE(size, sizeof(WCHAR)) << name;
    if (size < sizeof(WCHAR))
        return "<no terminator>";
    EXPECT_EQ(data[size / sizeof(WCHAR) - 1], L'\0') << name;
    data.resize(size / sizeof(WCHAR) - 1);
    return Utf8(data.c_str());
}

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registry.reset(new PrivateUserRegistry);
        ASSERT_TRUE(registry->overridden);
        DeleteSettings();
        Start();
    }
    void TearDown() override
    {
        dialog.reset();
        DeleteSettings();
        registry.reset();
    }
    // A fresh window filled from the registry, as at a program start.
    void Start()
    {
        dialog.reset();
        dialog.reset(new SearchDialog);
        ASSERT_NE(dialog->window, nullptr);
        SettingsStore::Load(dialog->window);
    }
    HWND Window() const { return dialog->window; }

    std::unique_ptr<PrivateUserRegistry> registry;
    std::unique_ptr<SearchDialog> dialog;
};

}  // namespace

TEST_F(SettingsStoreTest, FirstRunStartsEmptyAndChecked)
{
    EXPECT_TRUE(Entries(Window(), IDC_FILESPEC).empty());
    EXPECT_TRUE(Entries(Window(), IDC_LOCATION).empty());
    EXPECT_EQ(BoxText(Window(), IDC_FILESPEC), "");
    EXPECT_EQ(IsDlgButtonChecked(Window(), IDC_SUBFOLDERS), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(Window(), IDC_MATCHCASE), static_cast<UINT>(BST_CHECKED));

    // The first read created the key, empty.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD values = 99;
    EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(values, 0u);
    RegCloseKey(key);
}

TEST_F(SettingsStoreTest, FirstSearchWritesTopEntriesAndFlag)
{
    SaveSearch(Window(), "*.txt", "C:\\windows", false);
    EXPECT_EQ(StoredText("Filespec0"), "*.txt");
    EXPECT_EQ(StoredText("Location0"), "C:\\windows");
    StoredValue recursion = GetValue("Recursion");
    ASSERT_TRUE(recursion.present);
    EXPECT_EQ(recursion.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(recursion.bytes, std::string("\0\0\0\0", 4));
    StoredValue matchCase = GetValue("MatchCase");
    ASSERT_TRUE(matchCase.present);
    EXPECT_EQ(matchCase.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(matchCase.bytes, std::string("\1\0\0\0", 4));
    EXPECT_FALSE(GetValue("Filespec1").present);

    Start();
    EXPECT_EQ(Entries(Window(), IDC_FILESPEC), std::vector<std::string>{"*.txt"});
    EXPECT_EQ(BoxText(Window(), IDC_FILESPEC), "*.txt");
    EXPECT_EQ(BoxText(Window(), IDC_LOCATION), "C:\\windows");
    EXPECT_EQ(IsDlgButtonChecked(Window(), IDC_SUBFOLDERS), static_cast<UINT>(BST_UNCHECKED));

    SaveSearch(Window(), "*.txt", "C:\\windows", true, false);
    Start();
    EXPECT_EQ(IsDlgButtonChecked(Window(), IDC_SUBFOLDERS), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(Window(), IDC_MATCHCASE), static_cast<UINT>(BST_UNCHECKED));
}

TEST_F(SettingsStoreTest, EmptyPatternIsStoredEmptyAndSkippedAtStart)
{
    SaveSearch(Window(), "*.c", "C:\\a");
    SaveSearch(Window(), "", "C:\\a");
    EXPECT_EQ(Entries(Window(), IDC_FILESPEC), (std::vector<std::string>{"", "*.c"}));
    EXPECT_EQ(StoredText("Filespec0"), "");
    EXPECT_EQ(StoredText("Filespec1"), "*.c");

    // "Filespec1" moves up at the start and is written back as "Filespec0".
    Start();
    EXPECT_EQ(Entries(Window(), IDC_FILESPEC), std::vector<std::string>{"*.c"});
    EXPECT_EQ(BoxText(Window(), IDC_FILESPEC), "*.c");
    SettingsStore::Save(Window());
    EXPECT_EQ(StoredText("Filespec0"), "*.c");
}

TEST_F(SettingsStoreTest, CaseOnlyChangeReplacesTheStoredEntry)
{
    SaveSearch(Window(), "*.TXT", "C:\\Data");
    SaveSearch(Window(), "*.c", "C:\\other");
    Start();
    SaveSearch(Window(), "*.txt", "c:\\data");
    EXPECT_EQ(Entries(Window(), IDC_FILESPEC), (std::vector<std::string>{"*.txt", "*.c"}));
    EXPECT_EQ(Entries(Window(), IDC_LOCATION), (std::vector<std::string>{"c:\\data", "C:\\other"}));
    EXPECT_EQ(StoredText("Filespec0"), "*.txt");
    EXPECT_EQ(StoredText("Filespec1"), "*.c");
    EXPECT_EQ(StoredText("Location0"), "c:\\data");
    EXPECT_EQ(StoredText("Location1"), "C:\\other");
}

TEST_F(SettingsStoreTest, EleventhFolderKeepsTheTenMostRecent)
{
    for (int i = 0; i < 11; ++i)
        SaveSearch(Window(), "*.*", ("C:\\folder" + std::to_string(i)).c_str());
    EXPECT_EQ(Entries(Window(), IDC_LOCATION).size(), 11u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(StoredText(("Location" + std::to_string(i)).c_str()), "C:\\folder" + std::to_string(10 - i));
    EXPECT_FALSE(GetValue("Location10").present);

    Start();
    std::vector<std::string> folders = Entries(Window(), IDC_LOCATION);
    ASSERT_EQ(folders.size(), 10u);
    EXPECT_EQ(folders.front(), "C:\\folder10");
    EXPECT_EQ(folders.back(), "C:\\folder1");
    EXPECT_EQ(BoxText(Window(), IDC_LOCATION), "C:\\folder10");
}

TEST_F(SettingsStoreTest, PatternsLoadSortedWithTheFirstShown)
{
    PutString("Filespec0", "*.txt");
    PutString("Filespec1", "*.c");
    PutString("Filespec2", "*.h");
    Start();
    EXPECT_EQ(Entries(Window(), IDC_FILESPEC), (std::vector<std::string>{"*.c", "*.h", "*.txt"}));
    EXPECT_EQ(BoxText(Window(), IDC_FILESPEC), "*.c");

    // The latest pattern goes on top; the rest keep their order.
    SaveSearch(Window(), "*.rtf", "C:\\a");
    EXPECT_EQ(Entries(Window(), IDC_FILESPEC), (std::vector<std::string>{"*.rtf", "*.c", "*.h", "*.txt"}));
}

TEST_F(SettingsStoreTest, UnwrittenIndexesKeepTheirOldFolders)
{
    PutString("Location0", "");
    PutString("Location1", "C:\\first");
    PutString("Location2", "C:\\second");
    Start();
    EXPECT_EQ(Entries(Window(), IDC_LOCATION), (std::vector<std::string>{"C:\\first", "C:\\second"}));
    EXPECT_EQ(BoxText(Window(), IDC_LOCATION), "C:\\first");

    SaveSearch(Window(), "*.*", "C:\\first");
    EXPECT_EQ(StoredText("Location0"), "C:\\first");
    EXPECT_EQ(StoredText("Location1"), "C:\\second");
    EXPECT_EQ(StoredText("Location2"), "C:\\second");
    Start();
    EXPECT_EQ(Entries(Window(), IDC_LOCATION), (std::vector<std::string>{"C:\\first", "C:\\second", "C:\\second"}));
}

TEST_F(SettingsStoreTest, CorruptValuesGiveDefaults)
{
    DWORD number = 0;
    PutValue("Filespec0", REG_DWORD, &number, sizeof number);
    PutValue("Filespec1", REG_BINARY, "*.bin\0", 6);
    PutValue("Filespec2", REG_EXPAND_SZ, "*.exp", 6);
    PutString("Filespec3", "*.ok");
    PutString("Filespec4", std::string(260, 'p'));  // longer than the pattern box takes
    // Longer than a path can be; then a folder far past 259 characters, which the box takes.
    PutString("Location0", std::string(32767, 'a'));
    PutString("Location1", "C:\\" + std::string(1500, 'b'));
    PutString("Location2", "C:\\kept");
    PutString("Location3", std::string(259, 'c'));
    PutValue("Recursion", REG_SZ, "0", 2);
    PutValue("MatchCase", REG_BINARY, "\0\0\0\0", 4);
    Start();
    EXPECT_EQ(Entries(Window(), IDC_FILESPEC), std::vector<std::string>{"*.ok"});
    EXPECT_EQ(Entries(Window(), IDC_LOCATION),
              (std::vector<std::string>{"C:\\" + std::string(1500, 'b'), "C:\\kept", std::string(259, 'c')}));
    EXPECT_EQ(IsDlgButtonChecked(Window(), IDC_SUBFOLDERS), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(Window(), IDC_MATCHCASE), static_cast<UINT>(BST_CHECKED));

    // The next save writes over what could not be used.
    SaveSearch(Window(), "*.ok", "C:\\kept", false);
    EXPECT_EQ(StoredText("Location0"), "C:\\kept");
    EXPECT_EQ(StoredText("Location1"), "C:\\" + std::string(1500, 'b'));
    EXPECT_EQ(StoredText("Location2"), std::string(259, 'c'));
}

TEST_F(SettingsStoreTest, SubfolderFlagOfAnotherShapeIsAbsent)
{
    EXPECT_EQ(SettingsStore::ReadDword("Recursion", 1), 1u);
    PutValue("Recursion", REG_BINARY, "\0\0\0\0", 4);
    EXPECT_EQ(SettingsStore::ReadDword("Recursion", 1), 1u);
    PutValue("Recursion", REG_DWORD, "\0\0", 2);
    EXPECT_EQ(SettingsStore::ReadDword("Recursion", 1), 1u);
    DWORD odd = 2;
    PutValue("Recursion", REG_DWORD, &odd, sizeof odd);
    EXPECT_EQ(SettingsStore::ReadDword("Recursion", 1), 2u);
    Start();
    EXPECT_EQ(IsDlgButtonChecked(Window(), IDC_SUBFOLDERS), static_cast<UINT>(BST_CHECKED));

    SettingsStore::WriteDword(0, "Recursion");
    EXPECT_EQ(SettingsStore::ReadDword("Recursion", 1), 0u);
}

TEST_F(SettingsStoreTest, StringReadsNeverOverrunTheBuffer)
{
    WCHAR buffer[16];
    auto fill = [&buffer] { wmemset(buffer, L'#', 16); buffer[15] = L'\0'; };
    const std::string untouched(15, '#');

    fill();
    SettingsStore::ReadString("Location0", buffer, 16);
    EXPECT_EQ(Utf8(buffer), untouched) << "absent";

    PutString("Location0", "0123456789abcdef");
    fill();
    SettingsStore::ReadString("Location0", buffer, 8);
    EXPECT_EQ(Utf8(buffer), untouched) << "too long for the buffer";
    PutString("Location0", "0123456789abcde");
    fill();
    EXPECT_EQ(SettingsStore::ReadString("Location0", buffer, 16), buffer);
    EXPECT_EQ(Utf8(buffer), "0123456789abcde");

    // Stored without its terminator: read up to the end of the data.
    PutValue("Location0", REG_SZ, "abcdef", 6);
    fill();
    SettingsStore::ReadString("Location0", buffer, 7);
    EXPECT_EQ(Utf8(buffer), "abcdef");
    EXPECT_EQ(buffer[7], L'#');
    fill();
    SettingsStore::ReadString("Location0", buffer, 6);
    EXPECT_EQ(Utf8(buffer), untouched) << "no room for the terminator";

    PutValue("Location0", REG_MULTI_SZ, "ab\0cd\0", 7);
    fill();
    SettingsStore::ReadString("Location0", buffer, 16);
    EXPECT_EQ(Utf8(buffer), untouched) << "another type";

    PutValue("Location0", REG_SZ, "ab\0cd", 6);
    fill();
    SettingsStore::ReadString("Location0", buffer, 16);
    EXPECT_EQ(Utf8(buffer), "ab");
}

// A folder in any script is stored (REG_SZ by the wide call) and restored
// exactly; one that an earlier version wrote in the code page reads back as
// the characters it wrote.
TEST_F(SettingsStoreTest, FoldersInAnyScriptComeBackExactly)
{
    const std::string unicode = "C:\\\u65E5\u672C\\\u0434\u043E\u043C \U0001F600";
    PutString("Location1", "C:\\caf\xE9");  // as the ANSI call wrote it
    WCHAR written[16] = L"";
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, "C:\\caf\xE9", -1, written, 16), 0);
    Start();
    SaveSearch(Window(), "*.*", unicode);
    EXPECT_EQ(StoredText("Location0"), unicode);
    EXPECT_EQ(StoredText("Location1"), Utf8(written));
    Start();
    EXPECT_EQ(Entries(Window(), IDC_LOCATION), (std::vector<std::string>{unicode, Utf8(written)}));
    EXPECT_EQ(BoxText(Window(), IDC_LOCATION), unicode);
}
