// Headless harness: runs the real engine over a folder, stepped by the
// program's own loop (slices of steps between looks at the queue), and
// prints what the window would see, one line per event.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <shellapi.h>

#include "search/FileSearcher.h"
#include "search/LinePreview.h"
#include "search/Notifications.h"
#include "search/SearchText.h"
#include "search/StepLoop.h"

namespace {

bool g_quiet = false;
bool g_memory = false;
bool g_profile = false;
bool g_utf8 = false;  // texts out in UTF-8; else in the code page, as before
LinePreview* g_preview = nullptr;  // with --lines: each found file's matching lines

// A text as printed: UTF-8 with --utf8, else the code page's spelling;
// length units, or up to the terminator.
std::string Printed(const WCHAR* text, int length = -1)
{
    const UINT codePage = g_utf8 ? CP_UTF8 : CP_ACP;
    if (length < 0)
        length = lstrlenW(text);
    const int bytes = length > 0 ? WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr) : 0;
    std::string printed(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(codePage, 0, text, length, &printed[0], bytes, nullptr, nullptr);
    return printed;
}

// One matching line: "line", its number and its whole text, tabs written as
// \t and backslashes as \\, in the code page (or UTF-8) as every other text here.
void PrintLine(void*, const MatchingLine& line)
{
    std::u16string text;
    if (line.cutBefore)
        text += u'\u2026';
    for (size_t i = 0; i < line.length; ++i) {
        const char16_t unit = line.text[i];
        text += unit == u'\t' ? u"\\t" : unit == u'\\' ? u"\\\\" : std::u16string(1, unit);
    }
    if (line.cutAfter)
        text += u'\u2026';
    std::printf("line\t%llu\t%s\n", line.number,
                Printed(reinterpret_cast<const WCHAR*>(text.data()), static_cast<int>(text.size())).c_str());
}

// The whole file at once: the harness waits for nothing.
void PrintLines(const FoundFile& record)
{
    if (record.openStatus == -1 || !g_preview->Start(record, PrintLine, nullptr))
        return;
    while (g_preview->Step()) {
    }
}

// The harness's window: it takes the Stop button's click, pressed from
// outside the loop as a user would, and the walk's end, handled once the
// step that reported it is over, as the search window handles them.
const UINT kStopClick = WM_APP + 1;
const UINT kWalkEnded = WM_APP + 2;
DWORD g_stopAfter = 0;
HANDLE g_walkEnded = nullptr;
LONGLONG g_stopRequestedAt = 0;  // when the click was posted; 0 when it never was

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// Prints what the window would see, steps the walk from the program's loop
// and measures the steps.
class ScanRun final : public SearchSink, public IdleWork {
public:
    void OnStatus(const WCHAR* text) override
    {
        if (!g_quiet)
            std::printf("status\t%s\n", Printed(text).c_str());
    }
    void OnFoundFile(FoundFile* record) override
    {
        if (!g_quiet)
            std::printf("found\t%lld\t%d\t%llu\t%s\t%s\t%s\n", record->matchCount,
                        static_cast<int>(record->openStatus), FoundFileSize(*record), Printed(record->folder).c_str(),
                        Printed(record->name).c_str(),
                        *ReadingName(record->reading) != 0 ? ReadingName(record->reading) : "-");
        if (g_preview != nullptr)
            PrintLines(*record);
    }
    void OnWalkEnded() override { PostMessageA(window, kWalkEnded, 0, 0); }

    // A pending stop is carried out before any further step, as the window's
    // idle step does.
    int OnIdle() override
    {
        if (searcher.StopRequested()) {
            running = false;
            searcher.Finish();
            stopDone = Now();
            return 0;
        }
        const LONGLONG stepBegin = Now();
        const int more = searcher.Step();
        const LONGLONG stepTime = Now() - stepBegin;
        ++steps;
        inSteps += stepTime;
        if (stepTime > longestStep)
            longestStep = stepTime;
        return more;
    }
    bool Done() const override { return !running; }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        ScanRun* run = reinterpret_cast<ScanRun*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (run != nullptr && message == kStopClick) {
            run->searcher.RequestStop();  // as the Stop button does; carried out by the next idle pass
            return 0;
        }
        if (run != nullptr && message == kWalkEnded) {
            // As the window does: the walk's end clears the flags and finishes it.
            run->running = false;
            run->searcher.Finish();
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    static DWORD WINAPI PressStop(void* data)
    {
        if (WaitForSingleObject(g_walkEnded, g_stopAfter) != WAIT_TIMEOUT)
            return 0;
        g_stopRequestedAt = Now();
        PostMessageA(static_cast<ScanRun*>(data)->window, kStopClick, 0, 0);
        return 0;
    }

    HWND window = nullptr;
    FileSearcher searcher;
    SearchRequest request = {};
    bool running = false;
    long long steps = 0;
    LONGLONG longestStep = 0;
    LONGLONG inSteps = 0;
    LONGLONG stopDone = 0;
};

int Usage(const char* problem)
{
    std::fprintf(stderr,
                 "trovik-scan: %s\nusage: trovik-scan [--subfolders] [--pattern PATTERN] "
                 "(--text TEXT | --text-hex HEX | --text-utf16 HEX) [--ignore-case] [--lines] [--quiet] [--memory] [--profile] "
                 "[--stop-after MS] [--utf8] FOLDER\n",
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

// Bytes in a code page as UTF-16; empty when they are not valid there.
std::wstring Decoded(UINT codePage, DWORD flags, const std::string& bytes)
{
    const int units = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0)
        MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), &text[0], units);
    return text;
}

// The folder argument, in the code page; with --utf8 in UTF-8: the command
// line's own characters (a UTF-8 terminal's text reaches the program whole),
// or, where they are all bytes, the UTF-8 that those bytes spell.
std::wstring FolderArgument(int index, const char* narrow)
{
    int count = 0;
    LPWSTR* arguments = g_utf8 ? CommandLineToArgvW(GetCommandLineW(), &count) : nullptr;
    if (arguments == nullptr || index >= count) {
        LocalFree(arguments);
        return Decoded(CP_ACP, 0, narrow);
    }
    std::wstring folder = arguments[index];
    LocalFree(arguments);
    std::string bytes;
    for (WCHAR unit : folder) {
        if (unit >= 256)
            return folder;
        bytes += static_cast<char>(unit);
    }
    const std::wstring decoded = Decoded(CP_UTF8, MB_ERR_INVALID_CHARS, bytes);
    return decoded.empty() ? folder : decoded;
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
    bool stopAfter = false;
    bool lines = false;
    const char* folder = nullptr;
    int folderIndex = 0;
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
        } else if (argument == "--stop-after" && i + 1 < argc) {
            char* end = nullptr;
            const unsigned long milliseconds = std::strtoul(argv[++i], &end, 10);
            if (end == argv[i] || *end != 0 || milliseconds > 0x7FFFFFFFul)
                return Usage("--stop-after takes milliseconds");
            g_stopAfter = static_cast<DWORD>(milliseconds);
            stopAfter = true;
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
        } else if (argument == "--utf8") {
            g_utf8 = true;
        } else if (argument == "--lines") {
            lines = true;
        } else if (argument.size() > 2 && argument.compare(0, 2, "--") == 0) {
            return Usage(("unknown option " + argument).c_str());
        } else if (folder == nullptr) {
            folder = argv[i];
            folderIndex = i;
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
    std::wstring start;
    const DWORD folderError = CheckStartFolder(FolderArgument(folderIndex, folder).c_str(), &start);
    if (folderError != 0) {
        std::fprintf(stderr, "trovik-scan: cannot enter folder %s (error %lu)\n", folder, folderError);
        return 2;
    }

    ScanRun run;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ScanRun::WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TrovikScan";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "TrovikScan", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    if (window == nullptr) {
        std::fprintf(stderr, "trovik-scan: no window (error %lu)\n", GetLastError());
        return 2;
    }
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&run));
    run.window = window;

    WCHAR findText[260] = {};
    WCHAR patternText[260] = {};
    if (haveWideText)
        std::memcpy(findText, wideText, sizeof wideText);
    else if (!Decode(text, findText, 260))
        return Usage("the text cannot be read in the code page");
    if (!Decode(pattern, patternText, 260))
        return Usage("the pattern cannot be read in the code page");
    SearchRequest& request = run.request;
    request.searchText = findText;
    request.filePattern = patternText;
    request.folder = start.c_str();
    request.includeSubfolders = subfolders ? 1 : 0;
    request.matchCase = ignoreCase ? 0 : 1;
    run.running = true;
    LinePreview preview;
    if (lines) {
        if (!preview.Prepare(request.searchText, request.matchCase != 0)) {
            std::fprintf(stderr, "trovik-scan: no memory for the lines\n");
            return 2;
        }
        g_preview = &preview;
    }

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const LONGLONG begin = Now();
    run.searcher.Start(&request, &run);
    HANDLE stopper = nullptr;
    if (stopAfter) {
        g_walkEnded = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        stopper = CreateThread(nullptr, 0, ScanRun::PressStop, &run, 0, nullptr);
    }
    // The program's own loop, until the walk's end or a stop has been handled.
    RunStepLoop(run, nullptr);
    const LONGLONG end = Now();
    if (stopper != nullptr) {
        SetEvent(g_walkEnded);
        WaitForSingleObject(stopper, INFINITE);
        CloseHandle(stopper);
        CloseHandle(g_walkEnded);
    }

    std::printf("summary\t%lld\t%lld\t%lld\n", request.filesSearched, request.totalMatches, request.filesWithMatches);
    // From the press of Stop to the summary: waiting in the queue for the
    // current step and slice, then the stop itself.
    if (stopAfter && g_stopRequestedAt != 0 && run.stopDone != 0)
        std::printf("stop\t%.3f\n", Milliseconds(run.stopDone - g_stopRequestedAt, frequency.QuadPart));
    if (g_quiet) {
        std::printf("elapsed\t%.6f\n", Milliseconds(end - begin, frequency.QuadPart) / 1000.0);
        std::printf("steps\t%lld\t%.3f\n", run.steps, Milliseconds(run.longestStep, frequency.QuadPart));
    }
    // Where the walk's time went: inside the steps, or in the loop around them
    // (looking at the queue before each step).
    if (g_profile)
        std::printf("insteps\t%.6f\n", Milliseconds(run.inSteps, frequency.QuadPart) / 1000.0);
    if (g_memory) {
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
            std::printf("peak\t%llu\n", static_cast<unsigned long long>(counters.PeakWorkingSetSize));
    }
    g_preview = nullptr;
    DestroyWindow(window);
    return 0;
}
