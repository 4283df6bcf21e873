// A drop target in a process of its own, for trying drags from outside: a
// window that accepts file lists and writes what each drop brought, one line
// per fact, to a report file (or to stdout when the file is "-").
//   trovik-droptarget <report> [x y width height] [--timeout ms] [--drops n]
// Writes "ready" once the window is registered; exits 0 after n drops
// (default 1), 1 on timeout, 2 when it cannot start.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

FILE* g_report = nullptr;
int g_dropsLeft = 1;

void Report(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(g_report, format, arguments);
    va_end(arguments);
    std::fflush(g_report);
}

class ReportingDropTarget final : public IDropTarget {
public:
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
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount; }
    ULONG STDMETHODCALLTYPE Release() override { return --refCount; }  // lives in main

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override
    {
        if (effect == nullptr)
            return E_INVALIDARG;
        Report("enter allowed %lu\n", *effect);
        FORMATETC request = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        accepts = data != nullptr && data->QueryGetData(&request) == S_OK;
        *effect = Choose(*effect);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override
    {
        if (effect == nullptr)
            return E_INVALIDARG;
        *effect = Choose(*effect);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override
    {
        Report("leave\n");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override
    {
        if (effect == nullptr || data == nullptr)
            return E_INVALIDARG;
        Report("drop allowed %lu\n", *effect);
        FORMATETC request = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium = {};
        HRESULT result = data->GetData(&request, &medium);
        if (SUCCEEDED(result)) {
            HDROP drop = static_cast<HDROP>(medium.hGlobal);
            const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                // Any length, reported in UTF-8.
                std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
                path.resize(DragQueryFileW(drop, i, &path[0], static_cast<UINT>(path.size())));
                std::string text(path.size() * 4 + 1, '\0');
                text.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, path.c_str(),
                                                                    static_cast<int>(path.size()), &text[0],
                                                                    static_cast<int>(text.size()), nullptr, nullptr)));
                Report("path %s\n", text.c_str());
            }
            ReleaseStgMedium(&medium);
        } else {
            Report("no file list 0x%08lx\n", static_cast<unsigned long>(result));
        }
        *effect = Choose(*effect);
        Report("effect %lu\n", *effect);
        if (--g_dropsLeft == 0)
            PostQuitMessage(0);
        return S_OK;
    }

private:
    DWORD Choose(DWORD allowed) const
    {
        if (!accepts)
            return DROPEFFECT_NONE;
        return (allowed & DROPEFFECT_COPY) ? DROPEFFECT_COPY : (allowed & DROPEFFECT_LINK);
    }

    ULONG refCount = 1;
    bool accepts = false;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: trovik-droptarget <report> [x y width height] [--timeout ms] [--drops n]\n");
        return 2;
    }
    int place[4] = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    DWORD timeout = INFINITE;
    for (int i = 2, at = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc)
            timeout = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
        else if (std::strcmp(argv[i], "--drops") == 0 && i + 1 < argc)
            g_dropsLeft = std::atoi(argv[++i]);
        else if (at < 4)
            place[at++] = std::atoi(argv[i]);
    }
    g_report = std::strcmp(argv[1], "-") == 0 ? stdout : std::fopen(argv[1], "wb");
    if (g_report == nullptr || FAILED(OleInitialize(nullptr)))
        return 2;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "TrovikDropTarget";
    if (!RegisterClassA(&windowClass))
        return 2;
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "TrovikDropTarget", "Drop here", WS_POPUP | WS_BORDER | WS_VISIBLE,
                                  place[0], place[1], place[2], place[3], nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    ReportingDropTarget target;
    if (window == nullptr || FAILED(RegisterDragDrop(window, &target)))
        return 2;
    Report("ready\n");

    int status = 1;
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (timeout != INFINITE && elapsed >= timeout)
            break;
        const DWORD wait = timeout == INFINITE ? INFINITE : timeout - elapsed;
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT) == WAIT_TIMEOUT)
            break;
        MSG message;
        bool quit = false;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                break;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (quit) {
            status = 0;
            break;
        }
    }
    RevokeDragDrop(window);
    DestroyWindow(window);
    OleUninitialize();
    if (g_report != stdout)
        std::fclose(g_report);
    return status;
}
