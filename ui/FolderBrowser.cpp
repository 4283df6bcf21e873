// The folder browser behind IDC_BROWSE.
#include "ui/FolderBrowser.h"

#include <string>

#include "res/resource.h"
#include "ui/AnsiText.h"
#include "ui/AppInstance.h"

namespace {

// Frees an item from the shell with the shell's allocator.
void FreeShellItem(PIDLIST_ABSOLUTE item)
{
    IMalloc* shellMalloc = nullptr;
    if (SUCCEEDED(SHGetMalloc(&shellMalloc)) && shellMalloc) {
        shellMalloc->Free(item);
        shellMalloc->Release();
    } else {
        CoTaskMemFree(item);
    }
}

// A drive path ("C:\...") or a network path ("\\server\..."). Virtual
// folders may come back from the shell as "::{...}" parsing names, which
// no search can enter.
bool IsFolderPath(const WCHAR* path)
{
    const WCHAR drive = path[0];
    if (((drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z')) && path[1] == L':' && path[2] == L'\\')
        return true;
    return path[0] == L'\\' && path[1] == L'\\' && path[2] != L'\0' && path[2] != L'\\';
}

}  // namespace

void BrowseForFolder(HWND window)
{
    char title[1024];
    if (LoadStringA(AppInstance(), IDS_SELECT_FOLDER, title, sizeof title) <= 0)
        title[0] = '\0';
    char folder[260];
    folder[0] = '\0';
    GetDlgItemTextA(window, IDC_LOCATION, folder, sizeof folder);
    char displayName[1024];
    displayName[0] = '\0';

    BROWSEINFOA info = {};
    info.hwndOwner = window;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(folder);

    PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);
    if (!item)
        return;
    PutBrowsedFolder(window, item);
    FreeShellItem(item);
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED && data)
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

bool PutBrowsedFolder(HWND window, PCIDLIST_ABSOLUTE item)
{
    if (!item)
        return false;
    // Read wide and spelled here: the ANSI call would spell a character the
    // code page lacks as a look-alike, naming another folder.
    WCHAR path[MAX_PATH];
    path[0] = L'\0';
    if (!SHGetPathFromIDListW(item, path) || !IsFolderPath(path))
        return false;
    const std::string spelled = SpellExactly(path);
    return !spelled.empty() && SetDlgItemTextA(window, IDC_LOCATION, spelled.c_str()) != FALSE;
}
