// The search window: its message handling, start-up, the Search/Stop
// sequence, the one-time growth, the running and idle looks, the status line
// and the walk's reports.
#include "ui/SearchWindow.h"

#include <commctrl.h>

#include <string>

#include "res/resource.h"
#include "search/FileSearcher.h"
#include "search/LongPaths.h"
#include "ui/AppInstance.h"
#include "ui/ErrorBox.h"
#include "ui/FolderBrowser.h"
#include "ui/FolderVerb.h"
#include "ui/ResultsList.h"
#include "ui/ResultsMenu.h"
#include "ui/SettingsStore.h"

namespace {

// The window's own message: wParam 1 a search starts, 0 a walk has ended by
// itself (posted, so that it is handled once the walk's last step is over).
enum { UM_RUNNING = 3072 };

// The pattern and the text are read through buffers of this size, so their
// input controls are limited to one character less.
const int WorkingBufferSize = 260;

// The text of a control, however long.
std::wstring ControlText(HWND control)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, &text[0], static_cast<int>(text.size()))));
    return text;
}

// A mouse message's point, in client coordinates.
POINT ClientPoint(LPARAM lParam)
{
    return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

}  // namespace

SearchWindow::SearchWindow()
    : window(nullptr), instance(nullptr), searcher(nullptr), request(), running(0), patternText(), findText()
{
}

bool SearchWindow::Create(HINSTANCE moduleInstance, FileSearcher* walk, const WCHAR* folder)
{
    instance = moduleInstance;
    searcher = walk;
    // The template holds a list view, whose window class must exist before
    // the dialog creates its controls.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);

    // A Unicode dialog: its boxes take and show any text, a folder in any script.
    HWND created = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_SEARCH), nullptr, StaticDialogProc,
                                      reinterpret_cast<LPARAM>(this));
    if (created == nullptr)
        return false;
    if (folder != nullptr && folder[0] != 0)
        SetLocation(folder);
    ShowWindow(created, SW_SHOW);
    return true;
}

// The object travels in the dialog's own data from WM_INITDIALOG on; the
// messages before it (the font, the creation) go to the dialog manager.
INT_PTR CALLBACK SearchWindow::StaticDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        reinterpret_cast<SearchWindow*>(lParam)->window = dialog;
    }
    SearchWindow* self = reinterpret_cast<SearchWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (self == nullptr)
        return FALSE;
    const INT_PTR result = self->DialogProc(message, wParam, lParam);
    if (message == WM_NCDESTROY)
        self->window = nullptr;
    return result;
}

INT_PTR SearchWindow::DialogProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(window, IDC_STATUS, "");
        running = 0;
        return OnInitDialog();
    case WM_SIZE:
        if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED)
            layout.LayoutControls(window, wParam);
        return 0;
    case WM_GETMINMAXINFO:
        layout.OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_NOTIFY:
        if (wParam == IDC_RESULTS) {
            ResultsList::OnNotify(reinterpret_cast<NMHDR*>(lParam));
            preview.OnResultsNotify(reinterpret_cast<NMHDR*>(lParam));
        } else if (wParam == IDC_PREVIEW) {
            SetWindowLongPtrA(window, DWLP_MSGRESULT, preview.OnNotify(reinterpret_cast<NMHDR*>(lParam)));
            return TRUE;
        }
        return 0;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) != window || LOWORD(lParam) != HTCLIENT ||
            !splitBar.OnSetCursor(window, layout))
            return FALSE;
        SetWindowLongPtrA(window, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_LBUTTONDOWN:
        splitBar.OnButtonDown(window, ClientPoint(lParam), layout);
        return 0;
    case WM_MOUSEMOVE:
        splitBar.OnMouseMove(window, ClientPoint(lParam), layout);
        return 0;
    case WM_LBUTTONUP:
        splitBar.OnButtonUp(window, layout);
        return 0;
    case WM_CAPTURECHANGED:
        splitBar.Cancel(window, layout);
        return 0;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) == GetDlgItem(window, IDC_RESULTS))
            ResultsMenu::OnContextMenu(reinterpret_cast<HWND>(wParam), lParam);
        return 0;
    case WM_COMMAND:
        // The whole wParam: a click (notification 0) of the control, nothing else.
        if (wParam == IDOK)
            OnSearchButton();
        else if (wParam == IDCANCEL && splitBar.Dragging())
            splitBar.Cancel(window, layout);  // Escape ends a drag of the split bar, not the program
        else if (wParam == IDCANCEL)
            DestroyWindow(window);
        else if (wParam == IDC_BROWSE)
            BrowseForFolder(window);
        return 0;
    case WM_TIMER:
        if (wParam == ANIMATION_TIMER_ID)
            animation.DrawFrame(window);
        return 0;
    case WM_INITMENUPOPUP:
        if (HIWORD(lParam))  // the system menu
            ShowFolderMenusState();
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != IDM_FOLDER_MENUS)
            return 0;
        OnFolderMenusItem();
        SetWindowLongPtrA(window, DWLP_MSGRESULT, 0);
        return TRUE;
    case WM_NCDESTROY:
        PostQuitMessage(0);
        return 0;
    case UM_RUNNING:
        SetRunning(static_cast<int>(wParam));
        running = static_cast<int>(wParam);
        return 0;
    default:
        return 0;
    }
}

int SearchWindow::OnInitDialog()
{
    animation.Load(instance);

    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TROVIK));
    if (icon != nullptr)
        SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));

    layout.Measure(window);

    // Nothing longer than the working buffers can take may be typed; a
    // folder may be as long as the platform's paths.
    SendDlgItemMessageA(window, IDC_FILESPEC, CB_LIMITTEXT, WorkingBufferSize - 1, 0);
    SendDlgItemMessageA(window, IDC_LOCATION, CB_LIMITTEXT, MaxPathUnits - 1, 0);
    SendDlgItemMessageA(window, IDC_TEXT, EM_LIMITTEXT, WorkingBufferSize - 1, 0);

    SettingsStore::Load(window);
    AddFolderMenusItem();

    SetFocus(GetDlgItem(window, IDC_TEXT));
    return 0;
}

int SearchWindow::IdleStep()
{
    if (searcher == nullptr)
        return 0;
    if (searcher->StopRequested()) {
        SetRunning(0);
        return preview.Reading() ? 1 : 0;
    }
    const int searching = running ? searcher->Step() : 0;
    const int previewing = preview.Step(running != 0);
    return searching != 0 || previewing != 0 ? 1 : 0;
}

void SearchWindow::OnSearchButton()
{
    if (running) {
        if (searcher != nullptr)
            searcher->RequestStop();  // carried out by the next idle pass
        return;
    }
    if (searcher == nullptr)
        return;

    std::wstring full;
    const DWORD error = CheckStartFolder(ControlText(GetDlgItem(window, IDC_LOCATION)).c_str(), &full);
    if (error != 0) {
        ShowErrorBox(window, IDS_CHDIR_FAILED, MB_ICONERROR | MB_OK, error);
        return;
    }
    // The walk goes by full paths; the folder is also made current, where
    // the platform allows it, so that a relative folder text of a later
    // search starts here.
    startFolder = full;
    SetCurrentDirectoryW(startFolder.c_str());

    if (!layout.expanded)
        ExpandWindow();
    SendDlgItemMessageA(window, IDC_RESULTS, LVM_DELETEALLITEMS, 0, 0);
    request.totalMatches = 0;
    request.filesWithMatches = 0;

    // The text as typed, in UTF-16; the engine spells it for each reading.
    findText[0] = 0;
    GetDlgItemTextW(window, IDC_TEXT, findText, WorkingBufferSize);
    request.searchText = findText;
    request.matchCase = IsDlgButtonChecked(window, IDC_MATCHCASE) == BST_CHECKED ? 1 : 0;
    preview.BeginSearch(findText, request.matchCase != 0);

    patternText[0] = 0;
    GetDlgItemTextW(window, IDC_FILESPEC, patternText, WorkingBufferSize);
    if (patternText[0] == 0)
        lstrcpyW(patternText, L"*.*");
    request.filePattern = patternText;
    request.folder = startFolder.c_str();

    SettingsStore::Save(window);

    request.includeSubfolders = IsDlgButtonChecked(window, IDC_SUBFOLDERS) == BST_CHECKED ? 1 : 0;
    SendMessageA(window, UM_RUNNING, 1, 0);
    // The rows that pointed at the previous records were removed above: the
    // start frees them.
    searcher->Start(&request, this);
}

// Shows the results list and the preview pane below the former lower edge
// and grows the window by the lists' rows and the status line, once in the
// program's life.
void SearchWindow::ExpandWindow()
{
    HWND list = GetDlgItem(window, IDC_RESULTS);
    ResultsList::InitColumns(list);
    ResultsMenu::Attach(list);
    preview.Attach(GetDlgItem(window, IDC_PREVIEW), list);
    layout.previewHeight = SettingsStore::ReadPreviewHeight();
    layout.Grow(window);
}

void SearchWindow::SetRunning(int on)
{
    char text[256];
    if (on) {
        LoadText(instance, IDS_STOP, "Stop", text);
        EnableInputs(0);
        animation.Start(window);
    } else {
        LoadText(instance, IDS_SEARCH, "Search", text);
        EnableInputs(1);
        animation.Stop(window);
        running = 0;
        if (searcher != nullptr)
            searcher->Finish();
    }
    SetDlgItemTextA(window, IDOK, text);
    EnableWindow(GetDlgItem(window, IDC_BROWSE), on == 0);
}

// The Search/Stop button and the results list are never disabled. When the
// focus is on a control about to be disabled it moves to the Stop button, so
// Enter and Escape keep working during a search.
void SearchWindow::EnableInputs(int enable)
{
    static const int inputs[] = {IDCANCEL,   IDC_FILESPEC,   IDC_TEXT,     IDC_LOCATION,
                                 IDC_BROWSE, IDC_SUBFOLDERS, IDC_MATCHCASE};
    if (!enable) {
        HWND focus = GetFocus();
        for (int id : inputs) {
            HWND control = GetDlgItem(window, id);
            if (focus != nullptr && (focus == control || IsChild(control, focus))) {
                SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDOK)), TRUE);
                break;
            }
        }
    }
    for (int id : inputs)
        EnableWindow(GetDlgItem(window, id), enable != 0);
}

void SearchWindow::SetStatusText(const WCHAR* text)
{
    SetDlgItemTextW(window, IDC_STATUS, text);
}

// The folder as the box holds it: whole, in any script.
void SearchWindow::SetLocation(const WCHAR* folder)
{
    SetDlgItemTextW(window, IDC_LOCATION, folder);
}

void SearchWindow::AddFolderMenusItem()
{
    HMENU menu = GetSystemMenu(window, FALSE);
    char text[256];
    LoadText(instance, IDS_MENU_FOLDER_MENUS, "Add 'Search with Trovik' to folder menus", text);
    if (menu == nullptr || !AppendMenuA(menu, MF_SEPARATOR, 0, nullptr) ||
        !AppendMenuA(menu, MF_STRING, IDM_FOLDER_MENUS, text))
        return;
    ShowFolderMenusState();
}

// Checked only while the verb of every kind of folder runs this program:
// the registry is read each time the menu opens.
void SearchWindow::ShowFolderMenusState()
{
    HMENU menu = GetSystemMenu(window, FALSE);
    if (menu != nullptr)
        CheckMenuItem(menu, IDM_FOLDER_MENUS,
                      MF_BYCOMMAND | (FolderVerb::IsRegistered(FolderVerb::ThisProgram()) ? MF_CHECKED : MF_UNCHECKED));
}

// A checked item takes the verb away; an unchecked one writes it, over a verb
// that runs a program elsewhere (this one moved).
void SearchWindow::OnFolderMenusItem()
{
    const std::wstring program = FolderVerb::ThisProgram();
    const DWORD error = FolderVerb::IsRegistered(program) ? FolderVerb::Unregister() : FolderVerb::Register(program);
    ShowFolderMenusState();
    if (error != 0)
        ShowErrorBox(window, IDS_FOLDER_MENUS_FAILED, MB_ICONERROR | MB_OK, error);
}

void SearchWindow::OnStatus(const WCHAR* text)
{
    SetStatusText(text);
}

void SearchWindow::OnFoundFile(FoundFile* record)
{
    ResultsList::AddFoundFile(GetDlgItem(window, IDC_RESULTS), record);
}

void SearchWindow::OnWalkEnded()
{
    PostMessageA(window, UM_RUNNING, 0, 0);
}
