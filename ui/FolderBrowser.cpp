// The folder browser behind IDC_BROWSE.
#include "ui/FolderBrowser.h"

#include "res/resource.h"
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
bool IsFolderPath(const char* path)
{
    const unsigned char drive = static_cast<unsigned char>(path[0]);
    if (((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) && path[1] == ':' && path[2] == '\\')
        return true;
    return path[0] == '\\' && path[1] == '\\' && path[2] != '\0' && path[2] != '\\';
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
    char path[1024];
    path[0] = '\0';
    if (!SHGetPathFromIDListA(item, path) || !IsFolderPath(path))
        return false;
    return SetDlgItemTextA(window, IDC_LOCATION, path) != FALSE;
}
