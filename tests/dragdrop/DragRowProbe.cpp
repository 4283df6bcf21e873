// A stand-in for the search window, for trying drags by hand or with a
// pointer robot: the real results list in a bare window, one row per file
// named on the command line; dragging a row runs the real drag.
//   drag-row-probe <full path>... [--at x y]
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "dragdrop/DragSource.h"
#include "res/resource.h"
#include "search/SearchRequest.h"
#include "ui/ResultsList.h"

namespace {

std::vector<FoundFile> g_records;
std::deque<std::wstring> g_texts;  // the records' folders and names

std::wstring Widened(const std::string& text)
{
    WCHAR wide[MAX_PATH * 4] = L"";
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, MAX_PATH * 4);
    return wide;
}

LRESULT CALLBACK ProbeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NOTIFY: {
        NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
        const bool drag = header->code == LVN_BEGINDRAG;
        if (drag) {
            std::printf("drag row %d\n", reinterpret_cast<const NMLISTVIEW*>(lParam)->iItem);
            std::fflush(stdout);
        }
        ResultsList::OnNotify(header);
        if (drag) {
            std::printf("drag over\n");
            std::fflush(stdout);
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
        g_texts.push_back(Widened(std::string(argv[i], static_cast<size_t>(slash - argv[i]))));
        g_texts.push_back(Widened(slash + 1));
        FoundFile record = {};
        record.folder = g_texts[g_texts.size() - 2].c_str();
        record.name = g_texts.back().c_str();
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
                                0, 0, 300, 200, window, reinterpret_cast<HMENU>(IDC_RESULTS),
                                windowClass.hInstance, nullptr);
    if (window == nullptr || list == nullptr)
        return 2;
    if (!ResultsList::InitColumns(list))
        return 2;
    for (FoundFile& record : g_records)
        ResultsList::AddFoundFile(list, &record);
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
