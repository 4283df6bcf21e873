// "Search with Trovik" in the folder menus, in a private registry subtree:
// the keys written, read back and removed exactly, when the verb counts as
// there, a write that fails half way, and the window's system menu item.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/AppDriver.h"
#include "support/PrivateUserRegistry.h"
#include "ui/FolderVerb.h"

namespace {

const wchar_t* const Kinds[] = {L"Directory", L"Directory\\Background", L"Drive"};
const wchar_t Classes[] = L"Software\\Classes\\";

std::wstring VerbKey(const wchar_t* kind, const wchar_t* below = L"")
{
    return Classes + std::wstring(kind) + L"\\shell\\Trovik" + below;
}

// A text value of the user's registry, or "<none>".
std::wstring Value(const std::wstring& key, const wchar_t* name = nullptr)
{
    wchar_t text[1024] = {};
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return L"<none>";
    return text;
}

bool KeyExists(const std::wstring& key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

void SetValue(const std::wstring& key, const std::wstring& text, DWORD options = 0)
{
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, options, KEY_SET_VALUE, nullptr, &handle,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
}

std::wstring CommandFor(const std::wstring& exe)
{
    return L"\"" + exe + L"\" \"%V\"";
}

// A volatile key cannot hold a lasting one: the drives' verb cannot be
// written below the drives' shell key made anew as volatile.
void BlockTheDrivesVerb()
{
    const std::wstring shell = Classes + std::wstring(L"Drive\\shell");
    RegDeleteTreeW(HKEY_CURRENT_USER, shell.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, shell.c_str());
    SetValue(shell, L"", REG_OPTION_VOLATILE);
}

bool NoVerbOfAnyKind()
{
    for (const wchar_t* kind : Kinds) {
        if (KeyExists(VerbKey(kind)))
            return false;
    }
    return true;
}

const wchar_t kProgram[] = L"C:\\Program Files\\Trovik\\Trovik.exe";

}  // namespace

TEST(FolderVerb, WritesReadsBackAndRemovesExactlyTheVerbOfEveryKind)
{
    PrivateUserRegistry registry;
    ASSERT_TRUE(registry.overridden);
    // Neighbours that the removal must leave as they are.
    SetValue(Classes + std::wstring(L"Directory\\shell\\Other\\command"), L"other.exe \"%1\"");
    SetValue(Classes + std::wstring(L"Drive\\shell"), L"none");

    ASSERT_EQ(FolderVerb::Register(kProgram), 0u);
    for (const wchar_t* kind : Kinds) {
        SCOPED_TRACE(std::string(kind, kind + wcslen(kind)));
        EXPECT_EQ(Value(VerbKey(kind)), L"Search with &Trovik");
        EXPECT_EQ(Value(VerbKey(kind), L"Icon"), std::wstring(kProgram) + L",0");
        EXPECT_EQ(Value(VerbKey(kind, L"\\command")), CommandFor(kProgram));
    }
    EXPECT_TRUE(FolderVerb::IsRegistered(kProgram));

    ASSERT_EQ(FolderVerb::Unregister(), 0u);
    EXPECT_TRUE(NoVerbOfAnyKind());
    EXPECT_EQ(Value(Classes + std::wstring(L"Directory\\shell\\Other\\command")), L"other.exe \"%1\"");
    EXPECT_EQ(Value(Classes + std::wstring(L"Drive\\shell")), L"none");
    EXPECT_TRUE(KeyExists(Classes + std::wstring(L"Directory\\Background\\shell")));
    EXPECT_EQ(FolderVerb::Unregister(), 0u) << "nothing left to remove is no failure";
}

TEST(FolderVerb, CountsAsThereOnlyWhenEveryKindRunsThisProgram)
{
    const std::wstring moved = L"D:\\Old place\\Trovik.exe";
    struct Case {
        const char* what;
        const wchar_t* programs[3];  // the program each kind's verb runs; null: no verb
        bool registered;
    } const cases[] = {
        {"absent", {nullptr, nullptr, nullptr}, false},
        {"present", {kProgram, kProgram, kProgram}, true},
        {"present, in other letter case", {L"c:\\PROGRAM FILES\\trovik\\TROVIK.EXE", kProgram, kProgram}, true},
        {"two kinds of three", {kProgram, kProgram, nullptr}, false},
        {"moved", {moved.c_str(), moved.c_str(), moved.c_str()}, false},
        {"one kind moved", {kProgram, moved.c_str(), kProgram}, false},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.what);
        PrivateUserRegistry registry;
        ASSERT_TRUE(registry.overridden);
        for (int i = 0; i < 3; ++i) {
            if (item.programs[i] != nullptr)
                SetValue(VerbKey(Kinds[i], L"\\command"), CommandFor(item.programs[i]));
        }
        EXPECT_EQ(FolderVerb::IsRegistered(kProgram), item.registered);
    }
}

TEST(FolderVerb, AWriteThatFailsHalfWayLeavesNoVerb)
{
    PrivateUserRegistry registry;
    ASSERT_TRUE(registry.overridden);
    SetValue(VerbKey(L"Directory", L"\\command"), CommandFor(L"D:\\Old place\\Trovik.exe"));
    BlockTheDrivesVerb();
    EXPECT_NE(FolderVerb::Register(kProgram), 0u);
    EXPECT_TRUE(NoVerbOfAnyKind());
    EXPECT_TRUE(KeyExists(Classes + std::wstring(L"Drive\\shell")));
    EXPECT_FALSE(FolderVerb::IsRegistered(kProgram));
}

// The item of the window's system menu: checked only for this program's
// verb; a click writes it (over a moved one) or removes it; a failure shows
// the error box.
TEST(FolderMenusItem, WritesAndRemovesTheVerbOfThisProgram)
{
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    HWND window = driver.Window();
    HMENU menu = GetSystemMenu(window, FALSE);
    ASSERT_NE(menu, nullptr);
    char text[256] = {};
    GetMenuStringA(menu, IDM_FOLDER_MENUS, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "Add 'Search with Trovik' to folder menus");
    const auto checked = [&] {
        SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, TRUE));
        return (GetMenuState(menu, IDM_FOLDER_MENUS, MF_BYCOMMAND) & MF_CHECKED) != 0;
    };
    const auto click = [&] { SendMessageA(window, WM_SYSCOMMAND, IDM_FOLDER_MENUS, 0); };
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);

    EXPECT_FALSE(checked());
    ASSERT_EQ(FolderVerb::Register(L"D:\\Old place\\Trovik.exe"), 0u);
    EXPECT_FALSE(checked()) << "a verb for a program elsewhere";
    click();
    EXPECT_TRUE(checked());
    for (const wchar_t* kind : Kinds)
        EXPECT_EQ(Value(VerbKey(kind, L"\\command")), CommandFor(self));
    click();
    EXPECT_FALSE(checked());
    EXPECT_TRUE(NoVerbOfAnyKind());

    ErrorBoxWatcher watcher;
    BlockTheDrivesVerb();
    click();
    EXPECT_EQ(watcher.boxesSeen, 1);
    EXPECT_EQ(watcher.text.rfind("The folder menus could not be changed.", 0), 0u) << watcher.text;
    EXPECT_TRUE(watcher.errorIcon);
    EXPECT_FALSE(checked());
    EXPECT_TRUE(NoVerbOfAnyKind());
}
