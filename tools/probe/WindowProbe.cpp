// Reads and drives Trovik's search window from another process, the way an
// accessibility tool would: control texts through WM_GETTEXT, list rows and
// column headers through memory allocated inside the window's own process.
// Every answer is one or more TAB-separated lines on stdout; the exit code is
// 0 on success, 1 when a wait timed out or a check failed, 2 on bad usage.
#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char WindowClass[] = "#32770";
const char WindowCaption[] = "Multi Format Text Search Utility Manager Configuration Protocol";
const int ResultsListId = 1008;
const char BoxCaption[] = "Trovik";
const int BoxTextId = 0xFFFF;   // the message text in the system's message box

// No message to the target may block for longer than this: a hung window
// must end the probe with an error, never hang the test that runs it.
const UINT SendTimeoutMs = 5000;
const DWORD PollIntervalMs = 100;
const int TextCapacity = 1024;

// The list view's item record as a 64-bit process lays it out; the probe is
// itself a 64-bit program, so its own declaration is that layout.
static_assert(sizeof(void*) == 8, "the probe reads a 64-bit window and must be 64-bit itself");
static_assert(offsetof(LVITEMA, pszText) == 24, "LVITEMA layout of a 64-bit process");
static_assert(offsetof(LVITEMA, cchTextMax) == 32, "LVITEMA layout of a 64-bit process");
static_assert(offsetof(HDITEMA, pszText) == 8, "HDITEMA layout of a 64-bit process");

int Fail(const char* format, const char* detail = "")
{
    std::fprintf(stderr, "probe: ");
    std::fprintf(stderr, format, detail);
    std::fprintf(stderr, "\n");
    return 1;
}

// Tabs and line breaks in a text would break the line format.
std::string Printable(const char* text)
{
    std::string result(text);
    for (char& c : result) {
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    }
    return result;
}

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                             SendTimeoutMs, &answer))
        return false;
    if (result != nullptr)
        *result = static_cast<LRESULT>(answer);
    return true;
}

HWND FindSearchWindow()
{
    return FindWindowA(WindowClass, WindowCaption);
}

// Waits up to timeoutMs for the window to exist.
HWND WaitForSearchWindow(DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        HWND window = FindSearchWindow();
        if (window != nullptr && IsWindowVisible(window))
            return window;
        if (GetTickCount64() >= deadline)
            return nullptr;
        Sleep(PollIntervalMs);
    }
}

// The control with the given id, or the window itself for id 0.
HWND Control(HWND window, int id)
{
    return id == 0 ? window : GetDlgItem(window, id);
}

bool ReadText(HWND control, std::string* text)
{
    char buffer[TextCapacity] = {};
    LRESULT length = 0;
    if (!Send(control, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), &length))
        return false;
    buffer[sizeof buffer - 1] = '\0';
    *text = buffer;
    return true;
}

// A block of memory inside the target process, released on every path.
class RemoteBlock {
public:
    RemoteBlock(HANDLE process, SIZE_T size) : process(process), size(size)
    {
        address = static_cast<char*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE,
                                                    PAGE_READWRITE));
    }
    ~RemoteBlock()
    {
        if (address != nullptr)
            VirtualFreeEx(process, address, 0, MEM_RELEASE);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    char* Address() const { return address; }

    bool Write(SIZE_T offset, const void* data, SIZE_T length) const
    {
        SIZE_T written = 0;
        return offset + length <= size &&
               WriteProcessMemory(process, address + offset, data, length, &written) && written == length;
    }

    bool Read(SIZE_T offset, void* data, SIZE_T length) const
    {
        SIZE_T read = 0;
        return offset + length <= size &&
               ReadProcessMemory(process, address + offset, data, length, &read) && read == length;
    }

private:
    HANDLE process;
    SIZE_T size;
    char* address;
};

class ProcessHandle {
public:
    explicit ProcessHandle(HWND window) : handle(nullptr)
    {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (processId != 0)
            handle = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                 PROCESS_QUERY_INFORMATION, FALSE, processId);
    }
    ~ProcessHandle()
    {
        if (handle != nullptr)
            CloseHandle(handle);
    }
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;

    HANDLE Get() const { return handle; }

    // The item layouts above are a 64-bit process's; a 32-bit target would
    // read garbage.
    bool Is64Bit() const
    {
        BOOL wow64 = FALSE;
        return IsWow64Process(handle, &wow64) && !wow64;
    }

private:
    HANDLE handle;
};

// Layout of the remote block: the item record, then the text buffer.
const SIZE_T RemoteTextOffset = 128;
const SIZE_T RemoteBlockSize = RemoteTextOffset + TextCapacity;
static_assert(sizeof(LVITEMA) <= RemoteTextOffset && sizeof(HDITEMA) <= RemoteTextOffset,
              "item records fit before the text buffer");

class ListReader {
public:
    explicit ListReader(HWND list) : list(list), process(list), block(process.Get(), RemoteBlockSize) {}

    const char* Problem() const
    {
        if (process.Get() == nullptr)
            return "cannot open the window's process";
        if (!process.Is64Bit())
            return "the window's process is not a 64-bit process";
        if (block.Address() == nullptr)
            return "cannot allocate memory in the window's process";
        return nullptr;
    }

    bool Cell(int row, int column, std::string* text) const
    {
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = block.Address() + RemoteTextOffset;
        item.cchTextMax = TextCapacity;
        const char empty = '\0';
        if (!block.Write(0, &item, sizeof item) || !block.Write(RemoteTextOffset, &empty, 1))
            return false;
        if (!Send(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(block.Address()),
                  nullptr))
            return false;
        return ReadRemoteText(text);
    }

    bool Header(HWND header, int index, std::string* text) const
    {
        HDITEMA item = {};
        item.mask = HDI_TEXT;
        item.pszText = block.Address() + RemoteTextOffset;
        item.cchTextMax = TextCapacity;
        const char empty = '\0';
        if (!block.Write(0, &item, sizeof item) || !block.Write(RemoteTextOffset, &empty, 1))
            return false;
        LRESULT ok = 0;
        if (!Send(header, HDM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(block.Address()), &ok) ||
            !ok)
            return false;
        return ReadRemoteText(text);
    }

    bool ColumnRect(HWND header, int index, RECT* rect) const
    {
        LRESULT ok = 0;
        return Send(header, HDM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(block.Address()),
                    &ok) &&
               ok && block.Read(0, rect, sizeof *rect);
    }

    // A row's bounds in the list's client coordinates.
    bool RowRect(int row, RECT* rect) const
    {
        RECT request = {};
        request.left = LVIR_BOUNDS;
        LRESULT ok = 0;
        return block.Write(0, &request, sizeof request) &&
               Send(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(block.Address()), &ok) &&
               ok && block.Read(0, rect, sizeof *rect);
    }

private:
    bool ReadRemoteText(std::string* text) const
    {
        char buffer[TextCapacity] = {};
        if (!block.Read(RemoteTextOffset, buffer, sizeof buffer))
            return false;
        buffer[sizeof buffer - 1] = '\0';
        *text = buffer;
        return true;
    }

    HWND list;
    ProcessHandle process;
    RemoteBlock block;
};

// Waits for the program's message box and prints its text, or, with gone,
// waits until no such box is left.
int WaitForBox(bool gone, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        HWND box = FindWindowA(WindowClass, BoxCaption);
        if (gone && box == nullptr)
            return 0;
        std::string text;
        if (!gone && box != nullptr && IsWindowVisible(box) && ReadText(GetDlgItem(box, BoxTextId), &text)) {
            std::printf("%s\n", Printable(text.c_str()).c_str());
            return 0;
        }
        if (GetTickCount64() >= deadline)
            return Fail(gone ? "the message box is still there" : "no message box appeared");
        Sleep(PollIntervalMs);
    }
}

// Every command takes the window it works on; arguments follow.
int PrintText(HWND window, int id)
{
    std::string text;
    if (!ReadText(Control(window, id), &text))
        return Fail("cannot read the text of control %s", std::to_string(id).c_str());
    std::printf("%s\n", Printable(text.c_str()).c_str());
    return 0;
}

// Waits until the control's text equals (or, with prefix, starts with) the
// expected text; prints the last text read either way.
int WaitText(HWND window, int id, const char* expected, bool prefix, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    std::string text;
    for (;;) {
        if (!ReadText(Control(window, id), &text))
            return Fail("cannot read the text of control %s", std::to_string(id).c_str());
        const bool matches = prefix ? text.compare(0, std::strlen(expected), expected) == 0 : text == expected;
        if (matches) {
            std::printf("%s\n", Printable(text.c_str()).c_str());
            return 0;
        }
        if (GetTickCount64() >= deadline) {
            std::printf("%s\n", Printable(text.c_str()).c_str());
            return Fail("timed out waiting for \"%s\"", expected);
        }
        Sleep(PollIntervalMs);
    }
}

// The entries of a combo box's list, one per line, in list order. Asked for
// in UTF-16: Wine hands an ANSI caller in another process the wide text
// unconverted, so the ANSI text is made here.
int PrintItems(HWND window, int id)
{
    HWND combo = Control(window, id);
    LRESULT count = 0;
    if (combo == nullptr || !Send(combo, CB_GETCOUNT, 0, 0, &count) || count == CB_ERR)
        return Fail("cannot count the entries of control %s", std::to_string(id).c_str());
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = 0;
        if (!Send(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0, &length) || length == CB_ERR ||
            length >= TextCapacity)
            return Fail("cannot read an entry of control %s", std::to_string(id).c_str());
        WCHAR wide[TextCapacity] = {};
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide),
                                 SMTO_ABORTIFHUNG | SMTO_BLOCK, SendTimeoutMs, &answer) ||
            static_cast<LRESULT>(answer) == CB_ERR)
            return Fail("cannot read an entry of control %s", std::to_string(id).c_str());
        wide[TextCapacity - 1] = L'\0';
        char text[TextCapacity * 2] = {};
        if (WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr) == 0)
            return Fail("cannot convert an entry of control %s", std::to_string(id).c_str());
        std::printf("%s\n", Printable(text).c_str());
    }
    return 0;
}

// visible, enabled and checked (0 or 1 each) of one control.
int PrintState(HWND window, int id)
{
    HWND control = Control(window, id);
    if (control == nullptr)
        return Fail("no control %s", std::to_string(id).c_str());
    LRESULT checked = 0;
    if (!Send(control, BM_GETCHECK, 0, 0, &checked))
        return Fail("control %s does not answer", std::to_string(id).c_str());
    std::printf("visible=%d\tenabled=%d\tchecked=%d\n", IsWindowVisible(control) ? 1 : 0,
                IsWindowEnabled(control) ? 1 : 0, checked == BST_CHECKED ? 1 : 0);
    return 0;
}

// A rectangle in screen coordinates and its centre, which is where a pointer
// click lands.
void PrintScreenRect(const RECT& rect)
{
    std::printf("%ld\t%ld\t%ld\t%ld\t%ld\t%ld\n", rect.left, rect.top, rect.right, rect.bottom,
                (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

// A control's place on the screen.
int PrintRect(HWND window, int id)
{
    HWND control = Control(window, id);
    RECT rect = {};
    if (control == nullptr || !GetWindowRect(control, &rect))
        return Fail("no control %s", std::to_string(id).c_str());
    PrintScreenRect(rect);
    return 0;
}

// The header of a column of the results list on the screen, where a click
// sorts by that column.
int PrintColumnRect(HWND window, int index)
{
    HWND list = GetDlgItem(window, ResultsListId);
    LRESULT header = 0;
    if (list == nullptr || !Send(list, LVM_GETHEADER, 0, 0, &header) || header == 0)
        return Fail("the results list has no header");
    ListReader reader(list);
    if (const char* problem = reader.Problem())
        return Fail("%s", problem);
    RECT rect = {};
    if (!reader.ColumnRect(reinterpret_cast<HWND>(header), index, &rect))
        return Fail("no column %s", std::to_string(index).c_str());
    MapWindowPoints(reinterpret_cast<HWND>(header), nullptr, reinterpret_cast<POINT*>(&rect), 2);
    PrintScreenRect(rect);
    return 0;
}

// A row of the results list on the screen, where a click selects it.
int PrintRowRect(HWND window, int row)
{
    HWND list = GetDlgItem(window, ResultsListId);
    if (list == nullptr)
        return Fail("no results list");
    ListReader reader(list);
    if (const char* problem = reader.Problem())
        return Fail("%s", problem);
    // As a person would, the list is scrolled to the row first: it may lie
    // below the rows the list shows.
    SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    RECT rect = {};
    if (!reader.RowRect(row, &rect))
        return Fail("no row %s", std::to_string(row).c_str());
    // Only the part the list shows: the row may be wider than the list.
    RECT shown = {};
    GetClientRect(list, &shown);
    IntersectRect(&rect, &rect, &shown);
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    PrintScreenRect(rect);
    return 0;
}

// Waits for a shown popup menu of the window's process. Its items cannot be
// read from here: Wine keeps a menu's items in the process that made it.
int WaitForMenu(HWND window, DWORD timeoutMs)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        HWND popup = nullptr;
        DWORD owner = 0;
        do {
            popup = FindWindowExA(nullptr, popup, "#32768", nullptr);
            owner = 0;
            if (popup != nullptr)
                GetWindowThreadProcessId(popup, &owner);
        } while (popup != nullptr && (owner != processId || !IsWindowVisible(popup)));
        if (popup != nullptr) {
            std::printf("shown\n");
            return 0;
        }
        if (GetTickCount64() >= deadline)
            return Fail("no menu appeared");
        Sleep(PollIntervalMs);
    }
}

// Waits for a shown dialog box with the caption (the save dialog, say).
int WaitForDialog(const char* caption, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        HWND dialog = FindWindowA(WindowClass, caption);
        if (dialog != nullptr && IsWindowVisible(dialog)) {
            std::printf("%s\n", caption);
            return 0;
        }
        if (GetTickCount64() >= deadline)
            return Fail("no dialog \"%s\" appeared", caption);
        Sleep(PollIntervalMs);
    }
}

int PrintColumns(HWND window)
{
    HWND list = GetDlgItem(window, ResultsListId);
    LRESULT header = 0;
    if (list == nullptr || !Send(list, LVM_GETHEADER, 0, 0, &header) || header == 0)
        return Fail("the results list has no header");
    LRESULT count = 0;
    if (!Send(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, &count) || count < 0)
        return Fail("cannot count the columns");
    ListReader reader(list);
    if (const char* problem = reader.Problem())
        return Fail("%s", problem);
    std::string line;
    for (LRESULT i = 0; i < count; ++i) {
        std::string text;
        if (!reader.Header(reinterpret_cast<HWND>(header), static_cast<int>(i), &text))
            return Fail("cannot read a column header");
        line += (i == 0 ? "" : "\t") + Printable(text.c_str());
    }
    std::printf("%s\n", line.c_str());
    return 0;
}

int PrintRows(HWND window)
{
    HWND list = GetDlgItem(window, ResultsListId);
    LRESULT rows = 0;
    LRESULT header = 0;
    LRESULT columns = 0;
    if (list == nullptr || !Send(list, LVM_GETITEMCOUNT, 0, 0, &rows) ||
        !Send(list, LVM_GETHEADER, 0, 0, &header) || header == 0 ||
        !Send(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, &columns))
        return Fail("cannot read the results list");
    ListReader reader(list);
    if (const char* problem = reader.Problem())
        return Fail("%s", problem);
    for (LRESULT row = 0; row < rows; ++row) {
        std::string line;
        for (LRESULT column = 0; column < columns; ++column) {
            std::string text;
            if (!reader.Cell(static_cast<int>(row), static_cast<int>(column), &text))
                return Fail("cannot read a cell of the results list");
            line += (column == 0 ? "" : "\t") + Printable(text.c_str());
        }
        std::printf("%s\n", line.c_str());
    }
    return 0;
}

int PrintRowCount(HWND window)
{
    LRESULT rows = 0;
    HWND list = GetDlgItem(window, ResultsListId);
    if (list == nullptr || !Send(list, LVM_GETITEMCOUNT, 0, 0, &rows))
        return Fail("cannot read the results list");
    std::printf("%ld\n", static_cast<long>(rows));
    return 0;
}

// The id of the window's control that has the keyboard focus; a combo box
// counts for its edit field, whose own id means nothing here.
int PrintFocus(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return Fail("cannot ask the window's thread for its focus");
    HWND control = info.hwndFocus;
    while (control != nullptr && GetParent(control) != window)
        control = GetParent(control);
    std::printf("%d\n", control == nullptr ? 0 : GetDlgCtrlID(control));
    return 0;
}

// A click as the button itself would report it, posted so that a modal box
// opened by the command cannot block the probe.
int Click(HWND window, int id)
{
    HWND control = Control(window, id);
    if (control == nullptr || !PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                           reinterpret_cast<LPARAM>(control)))
        return Fail("cannot click control %s", std::to_string(id).c_str());
    return 0;
}

// Holds a file open with no sharing, so that nobody else can open it, until
// the time is up or the probe is ended. Prints "held" once it holds it.
int HoldFile(const char* path, DWORD timeoutMs)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Fail("cannot open %s", path);
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(timeoutMs);
    CloseHandle(file);
    return 0;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: probe COMMAND [ARGS]\n"
                 "  find TIMEOUT_MS            wait for the search window, print its handle\n"
                 "  box TIMEOUT_MS             wait for the program's message box, print its text\n"
                 "  no-box TIMEOUT_MS          wait until the message box is gone\n"
                 "  text ID                    text of a control (0: the window's caption)\n"
                 "  wait-text ID TEXT TIMEOUT_MS   wait until the text equals TEXT\n"
                 "  wait-prefix ID TEXT TIMEOUT_MS wait until the text starts with TEXT\n"
                 "  items ID                   entries of a combo box, one per line\n"
                 "  state ID                   visible, enabled and checked\n"
                 "  rect ID                    screen rectangle and centre\n"
                 "  column-rect INDEX          the same for a column header of the results list\n"
                 "  row-rect INDEX             the same for the shown part of a row of the results list,\n"
                 "                             scrolled into view\n"
                 "  menu TIMEOUT_MS            wait for the program's popup menu to be shown\n"
                 "  dialog CAPTION TIMEOUT_MS  wait for a dialog box with that caption\n"
                 "  columns                    the results list's column headers\n"
                 "  rows                       the results list's rows, one per line\n"
                 "  count                      the results list's number of rows\n"
                 "  focus                      id of the control with the keyboard focus (0: none)\n"
                 "  click ID                   press a button\n"
                 "  hold PATH TIMEOUT_MS       keep a file open with no sharing\n");
    return 2;
}

bool ParseNumber(const char* text, long* value)
{
    char* end = nullptr;
    *value = std::strtol(text, &end, 10);
    return end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv)
{
    // Plain line feeds for the shell that reads the answers.
    _setmode(_fileno(stdout), _O_BINARY);

    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    long number = 0;

    if (command == "hold") {
        if (argc != 4 || !ParseNumber(argv[3], &number) || number < 0)
            return Usage();
        return HoldFile(argv[2], static_cast<DWORD>(number));
    }
    if (command == "box" || command == "no-box") {
        if (argc != 3 || !ParseNumber(argv[2], &number) || number < 0)
            return Usage();
        return WaitForBox(command == "no-box", static_cast<DWORD>(number));
    }
    if (command == "find") {
        if (argc != 3 || !ParseNumber(argv[2], &number) || number < 0)
            return Usage();
        HWND window = WaitForSearchWindow(static_cast<DWORD>(number));
        if (window == nullptr)
            return Fail("no search window appeared");
        std::printf("%p\n", static_cast<void*>(window));
        return 0;
    }

    HWND window = FindSearchWindow();
    if (window == nullptr)
        return Fail("no search window");

    if (command == "menu" && argc == 3) {
        if (!ParseNumber(argv[2], &number) || number < 0)
            return Usage();
        return WaitForMenu(window, static_cast<DWORD>(number));
    }
    if (command == "dialog" && argc == 4) {
        if (!ParseNumber(argv[3], &number) || number < 0)
            return Usage();
        return WaitForDialog(argv[2], static_cast<DWORD>(number));
    }
    if (command == "columns" && argc == 2)
        return PrintColumns(window);
    if (command == "rows" && argc == 2)
        return PrintRows(window);
    if (command == "count" && argc == 2)
        return PrintRowCount(window);
    if (command == "focus" && argc == 2)
        return PrintFocus(window);

    long id = 0;
    if (argc < 3 || !ParseNumber(argv[2], &id))
        return Usage();
    const int control = static_cast<int>(id);
    if (command == "text" && argc == 3)
        return PrintText(window, control);
    if (command == "items" && argc == 3)
        return PrintItems(window, control);
    if (command == "state" && argc == 3)
        return PrintState(window, control);
    if (command == "rect" && argc == 3)
        return PrintRect(window, control);
    if (command == "column-rect" && argc == 3)
        return PrintColumnRect(window, control);
    if (command == "row-rect" && argc == 3)
        return PrintRowRect(window, control);
    if (command == "click" && argc == 3)
        return Click(window, control);
    if ((command == "wait-text" || command == "wait-prefix") && argc == 5) {
        if (!ParseNumber(argv[4], &number) || number < 0)
            return Usage();
        return WaitText(window, control, argv[3], command == "wait-prefix", static_cast<DWORD>(number));
    }
    return Usage();
}
