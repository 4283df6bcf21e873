// Headless harness: runs the real engine over a folder, with a real window
// receiving its messages and a loop that steps it by the program's own rule,
// and prints what the window sees, one line per event.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/SearchApp.h"
#include "search/FileSearcher.h"
#include "search/SearchText.h"

namespace {

SearchApp g_app;
FileSearcher* g_searcher = nullptr;
bool g_quiet = false;
bool g_memory = false;
bool g_profile = false;

LRESULT CALLBACK ScanWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case UM_STATUS:
        if (!g_quiet)
            std::printf("status\t%s\n", reinterpret_cast<const char*>(lParam));
        return 1;
    case UM_FOUNDFILE: {
        const FoundFile* record = reinterpret_cast<const FoundFile*>(lParam);
        if (!g_quiet)
            std::printf("found\t%d\t%d\t%llu\t%s\t%s\t%s\n", record->matchCount, static_cast<int>(record->openStatus),
                        FoundFileSize(*record), record->folder, record->name,
                        *ReadingName(record->reading) != 0 ? ReadingName(record->reading) : "-");
        return 1;
    }
    case UM_RUNNING:
        // As the window does: the walk's end clears the flags and finishes it.
        g_app.request.running = static_cast<int>(wParam);
        g_app.request.stopRequested = 0;
        if (wParam == 0)
            g_searcher->Finish();
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int Usage(const char* problem)
{
    std::fprintf(stderr,
                 "trovik-scan: %s\nusage: trovik-scan [--subfolders] [--pattern PATTERN] "
                 "(--text TEXT | --text-hex HEX | --text-utf16 HEX) [--ignore-case] [--quiet] [--memory] [--profile] "
                 "FOLDER\n",
                 problem);
    return 2;
}

bool ParseHex(const char* hex, std::string* bytes)
{
    size_t length = std::strlen(hex);
    if (length % 2 != 0)
        return false;
    for (size_t i = 0; i < length; i += 2) {
        char pair[3] = {hex[i], hex[i + 1], 0};
        char* end = nullptr;
        unsigned long value = std::strtoul(pair, &end, 16);
        if (end != pair + 2)
            return false;
        bytes->push_back(static_cast<char>(value));
    }
    return true;
}

// Each byte becomes the code unit of the same value: the file pattern, as
// the window passes it.
void Widen(const std::string& bytes, WCHAR* units)
{
    size_t i = 0;
    for (; i < bytes.size() && bytes[i] != 0; ++i)
        units[i] = static_cast<unsigned char>(bytes[i]);
    units[i] = 0;
}

// Bytes of the code page read as the window reads a typed text: in UTF-16.
bool Decode(const std::string& bytes, WCHAR* units, int room)
{
    units[0] = 0;
    if (bytes.empty())
        return true;
    const int count = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), units, room - 1);
    if (count <= 0)
        return false;
    units[count] = 0;
    return true;
}

// Little-endian UTF-16 code units in hex, four digits each.
bool ParseUtf16Hex(const char* hex, WCHAR* units, size_t room)
{
    std::string bytes;
    if (!ParseHex(hex, &bytes) || bytes.size() % 2 != 0 || bytes.size() / 2 >= room)
        return false;
    size_t count = 0;
    for (size_t i = 0; i < bytes.size(); i += 2) {
        units[count++] = static_cast<WCHAR>(static_cast<unsigned char>(bytes[i]) |
                                            (static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (units[count - 1] == 0)
            return false;
    }
    units[count] = 0;
    return true;
}

double Milliseconds(LONGLONG ticks, LONGLONG frequency)
{
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency);
}

}  // namespace

int main(int argc, char** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    std::string pattern = "*.*";
    std::string text;
    bool haveText = false;
    WCHAR wideText[260] = {};
    bool haveWideText = false;
    bool ignoreCase = false;
    bool subfolders = false;
    const char* folder = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--subfolders") {
            subfolders = true;
        } else if (argument == "--quiet") {
            g_quiet = true;
        } else if (argument == "--memory") {
            g_memory = true;
        } else if (argument == "--profile") {
            g_profile = true;
        } else if (argument == "--pattern" && i + 1 < argc) {
            pattern = argv[++i];
        } else if (argument == "--text" && i + 1 < argc) {
            text = argv[++i];
            haveText = true;
        } else if (argument == "--text-hex" && i + 1 < argc) {
            text.clear();
            if (!ParseHex(argv[++i], &text))
                return Usage("--text-hex takes pairs of hex digits");
            haveText = true;
        } else if (argument == "--text-utf16" && i + 1 < argc) {
            if (!ParseUtf16Hex(argv[++i], wideText, 260))
                return Usage("--text-utf16 takes up to 259 non-zero UTF-16LE units in hex");
            haveText = true;
            haveWideText = true;
        } else if (argument == "--ignore-case") {
            ignoreCase = true;
        } else if (argument.size() > 2 && argument.compare(0, 2, "--") == 0) {
            return Usage(("unknown option " + argument).c_str());
        } else if (folder == nullptr) {
            folder = argv[i];
        } else {
            return Usage("only one folder");
        }
    }
    if (!haveText || folder == nullptr)
        return Usage("a text and a folder are needed");
    if (pattern.empty())
        pattern = "*.*";
    if (text.size() > 259 || pattern.size() > 259)
        return Usage("texts are limited to 259 characters");
    if (!SetCurrentDirectoryA(folder)) {
        std::fprintf(stderr, "trovik-scan: cannot enter folder %s (error %lu)\n", folder, GetLastError());
        return 2;
    }

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ScanWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TrovikScan";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "TrovikScan", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    if (window == nullptr) {
        std::fprintf(stderr, "trovik-scan: no window (error %lu)\n", GetLastError());
        return 2;
    }

    g_app.Reset();
    g_searchApp = &g_app;
    FileSearcher searcher;
    g_searcher = &searcher;
    if (haveWideText)
        std::memcpy(g_app.findText, wideText, sizeof wideText);
    else if (!Decode(text, g_app.findText, 260))
        return Usage("the text cannot be read in the code page");
    Widen(pattern, g_app.patternText);
    SearchRequest& request = g_app.request;
    request.searchText = g_app.findText;
    request.filePattern = g_app.patternText;
    request.notifyWindow = window;
    request.includeSubfolders = subfolders ? 1 : 0;
    request.matchCase = ignoreCase ? 0 : 1;
    request.stopRequested = 0;
    SendMessageA(window, UM_RUNNING, 1, 0);

    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    searcher.Start(&request);
    long long steps = 0;
    LONGLONG longestStep = 0;
    LONGLONG inSteps = 0;
    // The program's loop: messages first, one step per empty queue, wait only
    // when a step reports nothing to do.
    while (request.running) {
        MSG message;
        if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (GetMessageA(&message, nullptr, 0, 0) == 0)
                break;
            TranslateMessage(&message);
            DispatchMessageA(&message);
            continue;
        }
        LARGE_INTEGER stepBegin, stepEnd;
        QueryPerformanceCounter(&stepBegin);
        int more = searcher.Step();
        QueryPerformanceCounter(&stepEnd);
        ++steps;
        inSteps += stepEnd.QuadPart - stepBegin.QuadPart;
        if (stepEnd.QuadPart - stepBegin.QuadPart > longestStep)
            longestStep = stepEnd.QuadPart - stepBegin.QuadPart;
        if (!more)
            WaitMessage();
    }
    QueryPerformanceCounter(&end);

    std::printf("summary\t%d\t%d\t%d\n", request.filesSearched, request.totalMatches, request.filesWithMatches);
    if (g_quiet) {
        std::printf("elapsed\t%.6f\n", Milliseconds(end.QuadPart - begin.QuadPart, frequency.QuadPart) / 1000.0);
        std::printf("steps\t%lld\t%.3f\n", steps, Milliseconds(longestStep, frequency.QuadPart));
    }
    // Where the walk's time went: inside the steps, or in the loop around them
    // (looking at the queue before each step).
    if (g_profile)
        std::printf("insteps\t%.6f\n", Milliseconds(inSteps, frequency.QuadPart) / 1000.0);
    if (g_memory) {
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
            std::printf("peak\t%llu\n", static_cast<unsigned long long>(counters.PeakWorkingSetSize));
    }
    FreeFoundFiles(FoundFileList);
    FoundFileList = nullptr;
    DestroyWindow(window);
    return 0;
}
