// A whole drag from a real results row onto a drop target in another
// process: the row's record is looked up, OLE's drag loop runs, and the
// target receives the file list and may only copy or link.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <fstream>
#include <sstream>
#include <string>

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

}  // namespace

TEST(DragStart, TargetInAnotherProcessReceivesTheRowsFile)
{
    TempFolder folder;
    const std::string path = folder.Write("dragged file.txt", "content");
    FoundFile record = {};
    lstrcpynA(record.folder, folder.Path().c_str(), sizeof record.folder);
    lstrcpynA(record.name, "dragged file.txt", sizeof record.name);

    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 600, 400, 200, 100, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(list, nullptr);
    LVCOLUMNA column = {};
    ASSERT_EQ(SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)), 0);
    FoundFile other = record;
    lstrcpynA(other.name, "another.txt", sizeof other.name);
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
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 200, 100, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(list, nullptr);
    NMLISTVIEW notification = {};
    notification.hdr.hwndFrom = list;
    notification.iItem = 3;  // no such row
    BeginFileDrag(&notification);
    BeginFileDrag(nullptr);
    DestroyWindow(list);
}
