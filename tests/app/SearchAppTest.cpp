// Start-up, the idle-driven loop and teardown of the application, run on the
// real dialog in this process.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <string>

#include "app/AppDriver.h"
#include "dragdrop/DragRenderers.h"
#include "search/FileSearcher.h"
#include "support/TempFolder.h"

namespace {

bool g_failSearcherAllocation = false;

}  // namespace

// Lets a test make the searcher's allocation fail; every other one goes through.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (g_failSearcherAllocation && size == sizeof(FileSearcher))
        return nullptr;
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

// The object a dialog's messages are routed to.
const SearchWindow* DialogObject(HWND dialog)
{
    return reinterpret_cast<const SearchWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

TEST(StartUp, ShowsTheIdleWindowReadyForInput)
{
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    SearchApp* app = driver.app;
    ASSERT_NE(driver.Window(), nullptr);
    EXPECT_TRUE(IsWindowVisible(driver.Window()));
    EXPECT_EQ(DialogObject(driver.Window()), &app->window);
    EXPECT_NE(app->searcher, nullptr);
    EXPECT_EQ(app->instance, GetModuleHandleA(nullptr));
    EXPECT_FALSE(driver.Running());
    EXPECT_FALSE(app->searcher->StopRequested());
    EXPECT_EQ(app->window.Layout().expanded, 0);
    EXPECT_EQ(driver.Text(IDC_STATUS), "");
    EXPECT_EQ(GetFocus(), driver.Control(IDC_TEXT));
    // With nothing to search the loop waits at once.
    EXPECT_EQ(app->OnIdle(), 0);

    // The drag formats are registered under the names the shell gives them,
    // or no drop target would ever ask for them.
    const CLIPFORMAT registered[] = {cfShellIdList, cfFileName, cfFileContents, cfFileGroupDescriptor,
                                     cfFileGroupDescriptorW};
    const TCHAR* shellNames[] = {CFSTR_SHELLIDLIST, CFSTR_FILENAMEA, CFSTR_FILECONTENTS, CFSTR_FILEDESCRIPTORA,
                                 CFSTR_FILEDESCRIPTORW};
    for (int i = 0; i < 5; ++i) {
        EXPECT_NE(registered[i], 0) << i;
        EXPECT_EQ(registered[i], RegisterClipboardFormat(shellNames[i])) << i;
    }
}

TEST(StartUp, FailsCleanlyWhenTheSearcherCannotBeCreated)
{
    g_failSearcherAllocation = true;
    AppDriver driver;
    g_failSearcherAllocation = false;
    EXPECT_TRUE(FAILED(driver.started));
    EXPECT_EQ(driver.app->searcher, nullptr);
    EXPECT_EQ(driver.Window(), nullptr);
    // Nothing runs: the loop returns at once without a window.
    EXPECT_EQ(driver.app->RunMessageLoop(), 0);
}

TEST(StartUp, FailsCleanlyWithoutTheDialogTemplate)
{
    SearchApp* app = new SearchApp();
    // A module without the template: the dialog cannot be created.
    EXPECT_EQ(app->Initialize(GetModuleHandleA("kernel32.dll")), E_FAIL);
    EXPECT_EQ(app->window.Handle(), nullptr);
    EXPECT_EQ(app->searcher, nullptr);
    delete app;
}

TEST(StartUp, ShutdownReleasesTheSearcherAndAllowsAFreshStart)
{
    {
        AppDriver first;
        ASSERT_EQ(first.started, S_OK);
        DestroyWindow(first.Window());
        EXPECT_EQ(first.Window(), nullptr);  // the destroyed window no longer routes here
    }
    AppDriver second;
    ASSERT_EQ(second.started, S_OK);
    EXPECT_EQ(DialogObject(second.Window()), &second.app->window);
    EXPECT_EQ(second.app->Shutdown(), 0);
    EXPECT_EQ(second.app->searcher, nullptr);
    second.started = E_FAIL;  // already torn down
}

// Whether the settings hold a recent folder: a start writes none.
bool FolderStored()
{
    return RegGetValueA(HKEY_CURRENT_USER, "Software\\Pelmora\\Trovik", "Location0", RRF_RT_ANY, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
}

// The folder on the command line, as the entry point reads it, fills the
// Search in box: quoted or not, relative to the current directory, beyond
// ASCII, a drive as Explorer passes it, and a text longer than a path whole
// (the search then refuses it, as it refuses any folder it cannot enter).
TEST(StartUp, TheCommandLinesFolderFillsTheSearchInBox)
{
    TempFolder folder;
    folder.MakeFolder("sub");
    folder.MakeFolder("with  space");
    const std::wstring base = Wide(folder.Path());
    const std::string longTail(300, 'x');
    struct Case {
        const char* what;
        std::wstring commandLine;
        std::string box;
    } const cases[] = {
        {"none", L"Trovik.exe", ""},
        {"plain", L"Trovik.exe " + base + L"\\sub", folder.Path() + "\\sub"},
        {"quoted, with spaces", L"\"C:\\Program Files\\Trovik.exe\" \"" + base + L"\\with  space\"",
         folder.Path() + "\\with  space"},
        {"unquoted, with spaces", L"Trovik.exe\t" + base + L"\\with  space \t", folder.Path() + "\\with  space"},
        {"relative", L"Trovik.exe sub", folder.Path() + "\\sub"},
        {"relative, upwards", L"Trovik.exe \"sub\\..\\with  space\"", folder.Path() + "\\with  space"},
        {"beyond ASCII", L"Trovik.exe " + base + L"\\caf\u00e9", folder.Path() + "\\caf\xe9"},
        {"a drive, as Explorer passes it", L"\"Trovik.exe\" \"C:\\\"", "C:\\"},
        {"longer than a path", L"Trovik.exe " + base + L"\\" + Wide(longTail), folder.Path() + "\\" + longTail},
    };
    if (GetACP() != 1252)
        GTEST_SKIP() << "the rows spell characters beyond ASCII as code page 1252 does";
    for (const Case& item : cases) {
        SCOPED_TRACE(item.what);
        ASSERT_TRUE(SetCurrentDirectoryA(folder.Path().c_str()));
        AppDriver driver(item.commandLine.c_str());
        ASSERT_EQ(driver.started, S_OK);
        EXPECT_EQ(driver.Text(IDC_LOCATION), item.box);
        EXPECT_FALSE(FolderStored());
    }
}

// A folder whose name the code page cannot spell must not become a
// look-alike that names another folder: the search finds the folder's own
// file, or refuses the folder with the error box, never the neighbour's.
TEST(StartUp, ACommandLineFolderBeyondTheCodePageNeverSearchesALookAlike)
{
    TempFolder folder;
    folder.Write("a\\neighbour.txt", "needle");
    const std::wstring named = Wide(folder.Path()) + L"\\\u0101";  // a with macron; best fit makes it "a"
    ASSERT_TRUE(CreateDirectoryW(named.c_str(), nullptr));
    const std::wstring own = named + L"\\own.txt";
    HANDLE file = CreateFileW(own.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "needle", 6, &written, nullptr);
    CloseHandle(file);

    AppDriver driver((L"Trovik.exe \"" + named + L"\"").c_str());
    ASSERT_EQ(driver.started, S_OK);
    WCHAR box[MAX_PATH] = L"";
    GetDlgItemTextW(driver.Window(), IDC_LOCATION, box, MAX_PATH);
    EXPECT_EQ(std::wstring(box), named);  // as it is, never its look-alike
    ErrorBoxWatcher watcher;
    driver.SetText(IDC_TEXT, "needle");
    driver.Click(IDOK);
    driver.RunUntilWaiting();
    for (const FoundFile* record = driver.Records(); record != nullptr; record = record->next)
        EXPECT_EQ(Utf8(record->name), "own.txt");
    EXPECT_EQ(driver.RecordCount(), 1);
    EXPECT_EQ(watcher.boxesSeen, 0);
}

// The real loop, driven by a thread timer the way a user would: Search, wait
// for the end, then Close. The loop must return once the window is gone.
struct LoopScript {
    AppDriver* driver = nullptr;
    std::string folder;
    int ticks = 0;
    bool searched = false;
    std::string summary;
    std::string buttonAtEnd;
    bool inputsEnabledAtEnd = false;
};
LoopScript* g_script = nullptr;

void CALLBACK ScriptTick(HWND, UINT, UINT_PTR, DWORD)
{
    LoopScript& script = *g_script;
    AppDriver& driver = *script.driver;
    ++script.ticks;
    if (!script.searched) {
        script.searched = true;
        driver.Search(script.folder, "needle");
        return;
    }
    const bool ended = !driver.Running();
    if (ended || script.ticks > 600) {  // about 15 s: give up rather than hang
        script.summary = driver.Text(IDC_STATUS);
        script.buttonAtEnd = driver.Text(IDOK);
        script.inputsEnabledAtEnd = IsWindowEnabled(driver.Control(IDC_TEXT)) != 0;
        driver.Click(IDCANCEL);
    }
}

TEST(MessageLoop, RunsASearchToItsEndAndEndsWhenTheWindowCloses)
{
    TempFolder folder;
    folder.Write("a.txt", "a needle and a needle");
    folder.Write("b.txt", "no match here");
    folder.Write("sub\\c.txt", "needle");
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    LoopScript script;
    script.driver = &driver;
    script.folder = folder.Path();
    g_script = &script;
    const UINT_PTR timer = SetTimer(nullptr, 0, 25, ScriptTick);

    EXPECT_EQ(driver.app->RunMessageLoop(), 0);

    KillTimer(nullptr, timer);
    g_script = nullptr;
    EXPECT_FALSE(IsWindow(driver.Window()));
    EXPECT_EQ(driver.Window(), nullptr);
    EXPECT_EQ(script.summary, "Searched a total of 3 files, found 3 matches in 2 files");
    EXPECT_EQ(script.buttonAtEnd, "Search");
    EXPECT_TRUE(script.inputsEnabledAtEnd);
    EXPECT_EQ(driver.RecordCount(), 2);
}

TEST(MessageLoop, StopIsNoticedBeforeAnyFurtherStep)
{
    TempFolder folder;
    for (int i = 0; i < 40; ++i)
        folder.Write("file" + std::to_string(100 + i) + ".txt", "one needle");
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    const SearchRequest& request = driver.Request();
    FileSearcher* searcher = driver.app->searcher;
    driver.Search(folder.Path(), "needle");
    ASSERT_TRUE(driver.Running());
    // Stop just before a step that would take up the next file.
    ASSERT_TRUE(driver.RunUntil(
        [&] { return driver.RecordCount() >= 3 && searcher->CurrentState() == SearchFile; }));

    driver.Click(IDOK);  // the button reads "Stop" now
    EXPECT_TRUE(searcher->StopRequested());
    EXPECT_EQ(driver.Text(IDOK), "Stop");  // the look changes at the next idle pass
    const long long searched = request.filesSearched;
    const SearchState state = searcher->CurrentState();

    // One idle pass carries out the stop; no step runs, then or later.
    driver.RunUntilWaiting();
    EXPECT_EQ(request.filesSearched, searched);
    EXPECT_EQ(state, SearchFile);
    EXPECT_EQ(searcher->CurrentState(), Idle);
    EXPECT_EQ(driver.RecordCount(), searched);
    EXPECT_FALSE(driver.Running());
    EXPECT_FALSE(searcher->StopRequested());
    EXPECT_EQ(driver.Text(IDOK), "Search");
    EXPECT_EQ(driver.Text(IDC_STATUS), "Found " + std::to_string(searched) + " matches");  // so far
    EXPECT_EQ(driver.app->OnIdle(), 0);
    EXPECT_EQ(request.filesSearched, searched);
}

SearchApp* g_closingApp = nullptr;

// Closes the window once the search that the typed Enter started is over.
void CALLBACK CloseWhenIdle(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_closingApp != nullptr && g_closingApp->window.Layout().expanded && !g_closingApp->window.Running())
        PostMessageW(g_closingApp->window.Handle(), WM_CLOSE, 0, 0);
}

TEST(MessageLoop, CharactersOutsideTheCodePageReachTheSearchWhole)
{
    TempFolder folder;
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    driver.SetText(IDC_LOCATION, folder.Path());
    HWND text = driver.Control(IDC_TEXT);
    EXPECT_TRUE(IsWindowUnicode(text));
    SetFocus(text);
    // Japanese, Greek and an emoji's two units, as a keyboard's characters
    // arrive, then Enter: the search must get them as typed.
    for (WCHAR unit : {WCHAR(0x65E5), WCHAR(0x03B1), WCHAR(0xD83D), WCHAR(0xDE00)})
        PostMessageW(text, WM_CHAR, unit, 1);
    PostMessageW(text, WM_KEYDOWN, VK_RETURN, 0);
    g_closingApp = driver.app;
    const UINT_PTR timer = SetTimer(nullptr, 0, 25, CloseWhenIdle);
    EXPECT_EQ(driver.app->RunMessageLoop(), 0);
    KillTimer(nullptr, timer);
    g_closingApp = nullptr;

    const WCHAR expected[] = {0x65E5, 0x03B1, 0xD83D, 0xDE00, 0};
    EXPECT_EQ(std::memcmp(driver.Request().searchText, expected, sizeof expected), 0);
}

TEST(MessageLoop, EnterStartsAndStopsASearchFromTheTextBox)
{
    TempFolder folder;
    for (int i = 0; i < 40; ++i)
        folder.Write("file" + std::to_string(100 + i) + ".txt", "one needle");
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    driver.SetText(IDC_LOCATION, folder.Path());
    driver.SetText(IDC_TEXT, "needle");
    HWND text = driver.Control(IDC_TEXT);
    SetForegroundWindow(driver.Window());
    SetFocus(text);
    PostMessageA(text, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(driver.RunUntil([&driver] { return driver.Running(); }));
    // The text box is disabled now; the focus has moved on. Taken at once:
    // a window of a test running beside this one may take the activation,
    // and the focus with it, a moment later.
    HWND focus = GetFocus();
    ASSERT_TRUE(driver.RunUntil([&driver] { return driver.RecordCount() == 2; }));
    EXPECT_TRUE(driver.Running());

    // The keyboard still reaches the window.
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(IsWindowEnabled(focus));
    PostMessageA(focus, WM_KEYDOWN, VK_RETURN, 0);
    driver.RunUntilWaiting();
    EXPECT_FALSE(driver.Running());
    EXPECT_EQ(driver.RecordCount(), 2);
    EXPECT_EQ(driver.Text(IDOK), "Search");
}

}  // namespace

namespace {

// A file type of the test's own, registered in the test prefix, whose
// "open" writes the path it was given into a file: what the shell receives
// from the list, with no program of the platform's choosing started.
class OpenRecorder {
public:
    explicit OpenRecorder(const std::string& record) : recordPath(record)
    {
        const std::string command = "cmd.exe /c echo %1>\"" + record + "\"";
        ok = SetValue(Key, "", "Trovik.TestOpen") &&
             SetValue("Trovik.TestOpen\\shell\\open\\command", "", command);
    }
    ~OpenRecorder()
    {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, Key);
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "Trovik.TestOpen");
        DeleteFileA(recordPath.c_str());
    }
    OpenRecorder(const OpenRecorder&) = delete;
    OpenRecorder& operator=(const OpenRecorder&) = delete;

    // The path the last open handed over; empty when none came in time.
    std::string Opened(AppDriver& driver) const
    {
        for (int waited = 0; waited < 300; ++waited) {  // the shell starts the command on its own
            driver.RunUntilWaiting();
            std::string text = Read();
            if (text.find("\r\n") != std::string::npos) {
                DeleteFileA(recordPath.c_str());
                text.erase(text.find("\r\n"));
                return text;
            }
            Sleep(50);
        }
        return "";
    }

    static constexpr const char* Key = ".trovikopen";
    bool ok = false;

private:
    static bool SetValue(const char* key, const char* name, const std::string& value)
    {
        HKEY handle = nullptr;
        if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) != 0)
            return false;
        const bool set = RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                        static_cast<DWORD>(value.size() + 1)) == 0;
        RegCloseKey(handle);
        return set;
    }

    std::string Read() const
    {
        std::ifstream file(recordPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    std::string recordPath;
};

TEST(ResultsRows, EnterInTheListAndADoubleClickOpenTheRowsFileWhileEnterElsewhereSearches)
{
    TempFolder folder;
    folder.Write("first.trovikopen", "needle");
    folder.Write("second.trovikopen", "needle");
    OpenRecorder recorder(folder.Path() + "\\opened.log");
    ASSERT_TRUE(recorder.ok);
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    driver.Search(folder.Path(), "needle", "*.trovikopen");
    driver.RunUntilWaiting();
    ASSERT_FALSE(driver.Running());
    HWND list = driver.Control(IDC_RESULTS);
    ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 2);
    auto rowPath = [&](int row) {
        char name[MAX_PATH] = {};
        LVITEMA cell = {};
        cell.pszText = name;
        cell.cchTextMax = sizeof name;
        SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&cell));
        return folder.Path() + "\\" + name;
    };

    // Enter in the list opens the selected row, through the dialog manager.
    SetFocus(list);
    LVITEMA select = {};
    select.stateMask = select.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&select));
    PostMessageA(list, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(recorder.Opened(driver), rowPath(1));
    EXPECT_FALSE(driver.Running()) << "Enter in the list started a search";
    EXPECT_EQ(driver.RecordCount(), 2);

    // A double-click opens the row under the pointer.
    RECT rect = {};
    rect.left = LVIR_LABEL;
    SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rect));
    SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(rect.left + 5, (rect.top + rect.bottom) / 2));
    SendMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(rect.left + 5, (rect.top + rect.bottom) / 2));
    EXPECT_EQ(recorder.Opened(driver), rowPath(0));

    // Enter in the text box still presses Search.
    SetFocus(driver.Control(IDC_TEXT));
    PostMessageA(driver.Control(IDC_TEXT), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(driver.RunUntil([&] { return driver.Running() || driver.RecordCount() == 0; }));
}

}  // namespace
