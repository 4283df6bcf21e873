// The folder menus' verb, written per user under HKEY_CURRENT_USER\Software\Classes,
// so that no administrator is needed and the program can take it back.
#include "ui/FolderVerb.h"

#include <shlobj.h>

namespace FolderVerb {

namespace {

// The verb's key below each kind of folder; the command is its subkey.
const WCHAR* const Verbs[] = {
    L"Software\\Classes\\Directory\\shell\\Trovik",
    L"Software\\Classes\\Directory\\Background\\shell\\Trovik",
    L"Software\\Classes\\Drive\\shell\\Trovik",
};
const WCHAR DisplayText[] = L"Search with &Trovik";

std::wstring CommandOf(const std::wstring& exe)
{
    return L"\"" + exe + L"\" \"%V\"";
}

DWORD SetText(HKEY key, const WCHAR* name, const std::wstring& text)
{
    return static_cast<DWORD>(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                             static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR))));
}

DWORD WriteVerb(const WCHAR* verb, const std::wstring& exe)
{
    HKEY key = nullptr;
    DWORD error = static_cast<DWORD>(
        RegCreateKeyExW(HKEY_CURRENT_USER, verb, 0, nullptr, 0, KEY_SET_VALUE | KEY_CREATE_SUB_KEY, nullptr, &key,
                        nullptr));
    if (error != 0)
        return error;
    error = SetText(key, nullptr, DisplayText);
    if (error == 0)
        error = SetText(key, L"Icon", exe + L",0");
    HKEY command = nullptr;
    if (error == 0)
        error = static_cast<DWORD>(
            RegCreateKeyExW(key, L"command", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &command, nullptr));
    if (error == 0) {
        error = SetText(command, nullptr, CommandOf(exe));
        RegCloseKey(command);
    }
    RegCloseKey(key);
    return error;
}

// The verb's key and its command; a key that is not there is no error.
DWORD RemoveVerb(const WCHAR* verb)
{
    const LSTATUS tree = RegDeleteTreeW(HKEY_CURRENT_USER, verb);
    const LSTATUS key = RegDeleteKeyW(HKEY_CURRENT_USER, verb);
    if (key == ERROR_SUCCESS || key == ERROR_FILE_NOT_FOUND)
        return 0;
    return static_cast<DWORD>(tree != ERROR_SUCCESS && tree != ERROR_FILE_NOT_FOUND ? tree : key);
}

// Explorer reads the verbs anew.
void TellTheShell()
{
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

}  // namespace

std::wstring ThisProgram()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);  // cut off: a long path
    }
}

bool IsRegistered(const std::wstring& exe)
{
    const std::wstring expected = CommandOf(exe);
    for (const WCHAR* verb : Verbs) {
        const std::wstring commandKey = std::wstring(verb) + L"\\command";
        DWORD size = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, commandKey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
                ERROR_SUCCESS ||
            size < sizeof(WCHAR))
            return false;
        std::wstring command(size / sizeof(WCHAR), L'\0');
        if (RegGetValueW(HKEY_CURRENT_USER, commandKey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, &command[0],
                         &size) != ERROR_SUCCESS)
            return false;
        command.resize(command.find(L'\0') != std::wstring::npos ? command.find(L'\0') : command.size());
        // The same path in other letter case is the same program.
        if (CompareStringOrdinal(command.c_str(), -1, expected.c_str(), -1, TRUE) != CSTR_EQUAL)
            return false;
    }
    return true;
}

DWORD Register(const std::wstring& exe)
{
    DWORD error = 0;
    for (const WCHAR* verb : Verbs) {
        error = WriteVerb(verb, exe);
        if (error != 0)
            break;
    }
    // All three or none: a verb for only some kinds would be half there.
    if (error != 0) {
        for (const WCHAR* verb : Verbs)
            RemoveVerb(verb);
    }
    TellTheShell();
    return error;
}

DWORD Unregister()
{
    DWORD error = 0;
    for (const WCHAR* verb : Verbs) {
        const DWORD removed = RemoveVerb(verb);
        if (error == 0)
            error = removed;
    }
    TellTheShell();
    return error;
}

}  // namespace FolderVerb
