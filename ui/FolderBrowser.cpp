// The folder browser behind IDC_BROWSE.
#include "ui/FolderBrowser.h"

#include <string>

#include "res/resource.h"
#include "search/LongPaths.h"
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
    WCHAR title[1024];
    if (LoadStringW(AppInstance(), IDS_SELECT_FOLDER, title, 1024) <= 0)
        title[0] = L'\0';
    HWND box = GetDlgItem(window, IDC_LOCATION);
    std::wstring folder(static_cast<size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    folder.resize(static_cast<size_t>(GetWindowTextW(box, &folder[0], static_cast<int>(folder.size()))));
    WCHAR displayName[MAX_PATH];
    displayName[0] = L'\0';

    BROWSEINFOW info = {};
    info.hwndOwner = window;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(folder.c_str());

    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (!item)
        return;
    PutBrowsedFolder(window, item);
    FreeShellItem(item);
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED && data)
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

bool PutBrowsedFolder(HWND window, PCIDLIST_ABSOLUTE item)
{
    if (!item)
        return false;
    // Past the classic limit where the platform has the call for it.
    std::wstring path(MaxPathUnits, L'\0');
    if (!SHGetPathFromIDListEx(item, &path[0], static_cast<DWORD>(path.size()), GPFIDL_DEFAULT) &&
        !SHGetPathFromIDListW(item, &path[0]))
        return false;
    if (!IsFolderPath(path.c_str()))
        return false;
    return SetDlgItemTextW(window, IDC_LOCATION, path.c_str()) != FALSE;
}
