// A stand-in for the results list, for trying drags by hand or with a
// pointer robot: one window whose list shows one row per file named on the
// command line and starts a drag of the row the user drags.
//   drag-row-probe <full path>... [--at x y]
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dragdrop/DragSource.h"
#include "search/SearchRequest.h"

namespace {

std::vector<FoundFile> g_records;

LRESULT CALLBACK ProbeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == LVN_BEGINDRAG || header->code == LVN_BEGINRDRAG) {
            std::printf("drag row %d\n", reinterpret_cast<const NMLISTVIEW*>(lParam)->iItem);
            std::fflush(stdout);
            BeginFileDrag(reinterpret_cast<const NMLISTVIEW*>(lParam));
            std::printf("drag over\n");
            std::fflush(stdout);
        } else if (header->code == LVN_GETDISPINFOA) {
            NMLVDISPINFOA* info = reinterpret_cast<NMLVDISPINFOA*>(lParam);
            const FoundFile* record = reinterpret_cast<const FoundFile*>(info->item.lParam);
            if ((info->item.mask & LVIF_TEXT) && record != nullptr)
                lstrcpynA(info->item.pszText, record->name, info->item.cchTextMax);
        }
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv)
{
    int x = 500, y = 100;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--at") == 0 && i + 2 < argc) {
            x = std::atoi(argv[++i]);
            y = std::atoi(argv[++i]);
            continue;
        }
        const char* slash = std::strrchr(argv[i], '\\');
        if (slash == nullptr)
            continue;
        FoundFile record = {};
        lstrcpynA(record.folder, argv[i], static_cast<int>(slash - argv[i]) + 1);
        lstrcpynA(record.name, slash + 1, sizeof record.name);
        g_records.push_back(record);
    }
    if (FAILED(OleInitialize(nullptr)))
        return 2;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterDragFormats();

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ProbeWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "TrovikDragRowProbe";
    if (!RegisterClassA(&windowClass))
        return 2;
    HWND window = CreateWindowExA(0, "TrovikDragRowProbe", "Drag a row", WS_POPUP | WS_BORDER | WS_VISIBLE,
                                  x, y, 300, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL,
                                0, 0, 300, 200, window, reinterpret_cast<HMENU>(1008), windowClass.hInstance, nullptr);
    if (window == nullptr || list == nullptr)
        return 2;
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 280;
    column.pszText = const_cast<char*>("Name");
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    for (size_t i = 0; i < g_records.size(); ++i) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = LPSTR_TEXTCALLBACKA;
        item.lParam = reinterpret_cast<LPARAM>(&g_records[i]);
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    std::printf("ready\n");
    std::fflush(stdout);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    OleUninitialize();
    return 0;
}
