// The recent lists and the subfolder flag through the real registry of the
// test prefix and a real search dialog: save, restart, load.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "res/resource.h"
#include "support/PrivateUserRegistry.h"
#include "ui/SettingsStore.h"

namespace {

const char kKey[] = "Software\\Pelmora\\Trovik";

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// The search window's template with a dialog procedure that does nothing.
class SearchDialog {
public:
    SearchDialog()
    {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SEARCH), nullptr,
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

std::vector<std::string> Entries(HWND window, int id)
{
    std::vector<std::string> entries;
    LRESULT count = SendDlgItemMessageA(window, id, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = SendDlgItemMessageA(window, id, CB_GETLBTEXTLEN, i, 0);
        std::string text(static_cast<size_t>(length) + 1, '\0');
        SendDlgItemMessageA(window, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(static_cast<size_t>(length));
        entries.push_back(text);
    }
    return entries;
}

std::string BoxText(HWND window, int id)
{
    char text[1024] = "";
    GetDlgItemTextA(window, id, text, sizeof text);
    return text;
}

// One search as the window records it: the boxes' texts, then the save.
void SaveSearch(HWND window, const char* pattern, const char* folder, bool subfolders = true, bool matchCase = true)
{
    SetDlgItemTextA(window, IDC_FILESPEC, pattern);
    SetDlgItemTextA(window, IDC_LOCATION, folder);
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

// A stored string as written: REG_SZ, terminator included in the length.
std::string StoredText(const char* name)
{
    StoredValue value = GetValue(name);
    if (!value.present)
        return "<absent>";
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ)) << name;
    EXPECT_FALSE(value.bytes.empty()) << name;
    if (value.bytes.empty())
        return "<no terminator>";
    EXPECT_EQ(value.bytes.back(), '\0') << name;
    return value.bytes.substr(0, value.bytes.size() - 1);
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
    PutString("Location0", std::string(260, 'a'));
    PutString("Location1", std::string(1500, 'b'));
    PutString("Location2", "C:\\kept");
    PutString("Location3", std::string(259, 'c'));
    PutValue("Recursion", REG_SZ, "0", 2);
    PutValue("MatchCase", REG_BINARY, "\0\0\0\0", 4);
    Start();
    EXPECT_EQ(Entries(Window(), IDC_FILESPEC), std::vector<std::string>{"*.ok"});
    EXPECT_EQ(Entries(Window(), IDC_LOCATION), (std::vector<std::string>{"C:\\kept", std::string(259, 'c')}));
    EXPECT_EQ(IsDlgButtonChecked(Window(), IDC_SUBFOLDERS), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(Window(), IDC_MATCHCASE), static_cast<UINT>(BST_CHECKED));

    // The next save writes over what could not be used.
    SaveSearch(Window(), "*.ok", "C:\\kept", false);
    EXPECT_EQ(StoredText("Location0"), "C:\\kept");
    EXPECT_EQ(StoredText("Location1"), std::string(259, 'c'));
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
    char buffer[16];
    auto fill = [&buffer] { memset(buffer, '#', sizeof buffer); buffer[sizeof buffer - 1] = '\0'; };
    const std::string untouched(sizeof buffer - 1, '#');

    fill();
    SettingsStore::ReadString("Location0", buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), untouched) << "absent";

    PutString("Location0", "0123456789abcdef");
    fill();
    SettingsStore::ReadString("Location0", buffer, 8);
    EXPECT_EQ(std::string(buffer), untouched) << "too long for the buffer";
    PutString("Location0", "0123456789abcde");
    fill();
    EXPECT_EQ(SettingsStore::ReadString("Location0", buffer, sizeof buffer), buffer);
    EXPECT_STREQ(buffer, "0123456789abcde");

    // Stored without its terminator: read up to the end of the data.
    PutValue("Location0", REG_SZ, "abcdef", 6);
    fill();
    SettingsStore::ReadString("Location0", buffer, 7);
    EXPECT_STREQ(buffer, "abcdef");
    EXPECT_EQ(buffer[7], '#');
    fill();
    SettingsStore::ReadString("Location0", buffer, 6);
    EXPECT_EQ(std::string(buffer), untouched) << "no room for the terminator";

    PutValue("Location0", REG_MULTI_SZ, "ab\0cd\0", 7);
    fill();
    SettingsStore::ReadString("Location0", buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), untouched) << "another type";

    PutValue("Location0", REG_SZ, "ab\0cd", 6);
    fill();
    SettingsStore::ReadString("Location0", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "ab");
}
