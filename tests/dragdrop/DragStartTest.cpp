// A whole drag from a real results row onto a drop target in another
// process or in this one: the row's record is looked up, OLE's drag loop
// runs, and the target receives the file list and may only copy or link.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include <fstream>
#include <sstream>
#include <string>

#include "app/AppDriver.h"
#include "dragdrop/DragSource.h"
#include "search/SearchRequest.h"
#include "support/TempFolder.h"

namespace {

class OleEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        RegisterDragFormats();
    }
    void TearDown() override { OleUninitialize(); }
};

const ::testing::Environment* const oleEnvironment =
    ::testing::AddGlobalTestEnvironment(new OleEnvironment);

std::string ReadAll(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The probe target built beside the tests' own folder.
std::string DropTargetProgram()
{
    char module[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
    std::string path(module, length);
    path.erase(path.find_last_of('\\'));
    return path.substr(0, path.find_last_of('\\')) + "\\trovik-droptarget.exe";
}

// A drop target process covering a corner of the screen, ready to receive.
class DropTargetProcess {
public:
    explicit DropTargetProcess(const std::string& reportPath) : report(reportPath)
    {
        std::string command = "\"" + DropTargetProgram() + "\" \"" + report + "\" 0 0 400 300 --timeout 30000";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &process) != 0;
    }
    ~DropTargetProcess()
    {
        if (!started)
            return;
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process.hProcess, 3);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    bool WaitReady() const
    {
        for (int i = 0; started && i < 300; ++i) {
            if (ReadAll(report).find("ready") != std::string::npos)
                return true;
            Sleep(100);
        }
        return false;
    }
    DWORD WaitEnd() const
    {
        DWORD code = 99;
        WaitForSingleObject(process.hProcess, 30000);
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }

    std::string report;
    bool started = false;
    PROCESS_INFORMATION process = {};
};

// A drop target in this process, topmost over a corner of the screen that
// the other drag tests leave alone, with the pointer put over it: counts the
// drags that reach it and keeps the first path of each drop's file list.
class RecordingDropTarget final : public IDropTarget {
public:
    RecordingDropTarget()
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "TrovikTestDropTarget";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(WS_EX_TOPMOST, "TrovikTestDropTarget", "", WS_POPUP | WS_VISIBLE, 820, 20, 180,
                                 120, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        registered = window != nullptr && SUCCEEDED(RegisterDragDrop(window, this)) && SetCursorPos(900, 80);
    }
    ~RecordingDropTarget()
    {
        if (registered)
            RevokeDragDrop(window);
        if (window != nullptr)
            DestroyWindow(window);
    }
    RecordingDropTarget(const RecordingDropTarget&) = delete;
    RecordingDropTarget& operator=(const RecordingDropTarget&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDropTarget))
            return E_NOINTERFACE;
        *ppv = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override
    {
        ++entered;
        *effect &= DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override
    {
        *effect &= DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override
    {
        ++dropped;
        *effect &= DROPEFFECT_COPY;
        FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium = {};
        if (data == nullptr || FAILED(data->GetData(&format, &medium)))
            return S_OK;
        char path[MAX_PATH] = "";
        DragQueryFileA(static_cast<HDROP>(medium.hGlobal), 0, path, sizeof path);
        droppedPath = path;
        ReleaseStgMedium(&medium);
        return S_OK;
    }

    HWND window = nullptr;
    bool registered = false;
    int entered = 0;
    int dropped = 0;
    std::string droppedPath;
};

}  // namespace

TEST(DragStart, TargetInAnotherProcessReceivesTheRowsFile)
{
    // A name in another script, with a character of two units: the target
    // receives it exactly.
    TempFolder folder;
    const std::string path = folder.Write("dragged \u65E5\u672C \U0001F600.txt", "content");
    const std::wstring folderText = Wide(folder.Path());
    FoundFile record = {};
    record.folder = folderText.c_str();
    record.name = L"dragged \u65E5\u672C \U0001F600.txt";

    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 600, 400, 200, 100, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(list, nullptr);
    LVCOLUMNA column = {};
    ASSERT_EQ(SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)), 0);
    FoundFile other = record;
    other.name = L"another.txt";
    for (FoundFile* row : {&other, &record}) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = 9;
        item.pszText = LPSTR_TEXTCALLBACKA;
        item.lParam = reinterpret_cast<LPARAM>(row);
        ASSERT_GE(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)), 0);
    }

    DropTargetProcess target(folder.Path() + "\\report.txt");
    ASSERT_TRUE(target.started) << DropTargetProgram();
    ASSERT_TRUE(target.WaitReady());
    ASSERT_TRUE(SetCursorPos(200, 150));

    NMLISTVIEW notification = {};
    notification.hdr.hwndFrom = list;
    notification.hdr.idFrom = 1008;
    notification.hdr.code = LVN_BEGINDRAG;
    notification.iItem = 1;
    BeginFileDrag(&notification);

    EXPECT_EQ(target.WaitEnd(), 0u);
    const std::string report = ReadAll(target.report);
    EXPECT_NE(report.find("drop allowed 5\n"), std::string::npos) << report;
    EXPECT_NE(report.find("path " + path + "\n"), std::string::npos) << report;
    EXPECT_NE(report.find("effect 1\n"), std::string::npos) << report;
    DestroyWindow(list);
}

TEST(DragStart, RowWithoutRecordStartsNoDrag)
{
    RecordingDropTarget target;
    ASSERT_TRUE(target.registered);
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 200, 100, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(list, nullptr);
    LVCOLUMNA column = {};
    ASSERT_EQ(SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)), 0);
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.pszText = const_cast<char*>("no record");
    ASSERT_EQ(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)), 0);

    NMLISTVIEW notification = {};
    notification.hdr.hwndFrom = list;
    for (int row : {0, 3}) {  // a row without a record, and no such row
        notification.iItem = row;
        BeginFileDrag(&notification);
    }
    BeginFileDrag(nullptr);
    EXPECT_EQ(target.entered, 0);
    EXPECT_EQ(target.dropped, 0);
    DestroyWindow(list);
}

// The list view's drag notification, as the search window receives it,
// starts the drag of that row's file, whichever order the rows are in.
TEST(DragStart, SearchWindowDragsTheNotifiedRowsFile)
{
    TempFolder folder;
    folder.Write("a first.txt", "needle");
    const std::string second = folder.Write("b second.txt", "needle");
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    driver.Search(folder.Path(), "needle", "*.*", false);
    driver.RunUntilWaiting();
    HWND list = driver.Control(IDC_RESULTS);
    ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 2);
    RecordingDropTarget target;
    ASSERT_TRUE(target.registered);

    // The row of the second file, wherever the walk put it.
    NMLISTVIEW notification = {};
    notification.hdr = {list, IDC_RESULTS, static_cast<UINT>(LVN_BEGINDRAG)};
    for (int row = 0; row < 2; ++row) {
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        ASSERT_TRUE(SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (Utf8(reinterpret_cast<const FoundFile*>(item.lParam)->name) == "b second.txt")
            notification.iItem = row;
    }
    SendMessageA(driver.Window(), WM_NOTIFY, IDC_RESULTS, reinterpret_cast<LPARAM>(&notification));
    EXPECT_EQ(target.entered, 1);
    EXPECT_EQ(target.dropped, 1);
    EXPECT_STRCASEEQ(target.droppedPath.c_str(), second.c_str());
}
