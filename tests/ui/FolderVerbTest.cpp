// "Search with Trovik" in the folder menus, in a private registry subtree:
// when the verb counts as there, and the window's system menu item writing,
// reading back and removing exactly its keys, all three or none.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/AppDriver.h"
#include "support/PrivateUserRegistry.h"
#include "ui/FolderVerb.h"

namespace {

const wchar_t* const Kinds[] = {L"Directory", L"Directory\\Background", L"Drive"};

std::wstring ClassKey(const std::wstring& below)
{
    return L"Software\\Classes\\" + below;
}

std::wstring VerbKey(const wchar_t* kind, const wchar_t* below = L"")
{
    return ClassKey(kind + std::wstring(L"\\shell\\Trovik") + below);
}

// A text value of the user's registry, or "<none>" (no key or no value).
std::wstring Value(const std::wstring& key, const wchar_t* name = nullptr)
{
    wchar_t text[1024] = {};
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return L"<none>";
    return text;
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

// The verb's keys of every kind, as one text: "<none>" for each when absent.
std::wstring Verbs()
{
    std::wstring all;
    for (const wchar_t* kind : Kinds)
        all += Value(VerbKey(kind)) + L"|" + Value(VerbKey(kind), L"Icon") + L"|" + Value(VerbKey(kind, L"\\command")) + L";";
    return all;
}

const wchar_t kProgram[] = L"C:\\Program Files\\Trovik\\Trovik.exe";
const wchar_t kMoved[] = L"D:\\Old place\\Trovik.exe";

}  // namespace

TEST(FolderVerb, CountsAsThereOnlyWhenEveryKindRunsThisProgram)
{
    struct Case {
        const char* what;
        const wchar_t* programs[3];  // the program each kind's verb runs; null: no verb
        bool registered;
    } const cases[] = {
        {"absent", {nullptr, nullptr, nullptr}, false},
        {"present", {kProgram, kProgram, kProgram}, true},
        {"present, in other letter case", {L"c:\\PROGRAM FILES\\trovik\\TROVIK.EXE", kProgram, kProgram}, true},
        {"two kinds of three", {kProgram, kProgram, nullptr}, false},
        {"moved", {kMoved, kMoved, kMoved}, false},
        {"one kind moved", {kProgram, kMoved, kProgram}, false},
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

// Checked only for this program's verb; a click writes it (over a moved
// one) or removes exactly its keys; a write that fails half way shows the
// error box and leaves no verb.
TEST(FolderMenusItem, WritesAndRemovesTheVerbOfThisProgram)
{
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    HWND window = driver.Window();
    HMENU menu = GetSystemMenu(window, FALSE);
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
    const std::wstring none = L"<none>|<none>|<none>;<none>|<none>|<none>;<none>|<none>|<none>;";
    // Neighbours that the removal must leave as they are.
    SetValue(ClassKey(L"Directory\\shell\\Other\\command"), L"other.exe \"%1\"");
    SetValue(ClassKey(L"Drive\\shell"), L"none");

    EXPECT_FALSE(checked());
    ASSERT_EQ(FolderVerb::Register(kMoved), 0u);
    EXPECT_FALSE(checked()) << "a verb for a program elsewhere";
    click();
    EXPECT_TRUE(checked());
    std::wstring verb = L"Search with &Trovik|" + std::wstring(self) + L",0|" + CommandFor(self) + L";";
    EXPECT_EQ(Verbs(), verb + verb + verb);
    click();
    EXPECT_FALSE(checked());
    EXPECT_EQ(Verbs(), none);
    EXPECT_EQ(Value(ClassKey(L"Directory\\shell\\Other\\command")), L"other.exe \"%1\"");
    EXPECT_EQ(Value(ClassKey(L"Drive\\shell")), L"none");

    // A volatile key holds no lasting one: the drives' verb, the last
    // written, cannot be.
    RegDeleteTreeW(HKEY_CURRENT_USER, ClassKey(L"Drive").c_str());
    SetValue(ClassKey(L"Drive\\shell"), L"", REG_OPTION_VOLATILE);
    ErrorBoxWatcher watcher;
    click();
    EXPECT_EQ(watcher.boxesSeen, 1);
    EXPECT_EQ(watcher.text.rfind("The folder menus could not be changed.", 0), 0u) << watcher.text;
    EXPECT_FALSE(checked());
    EXPECT_EQ(Verbs(), none);
}
