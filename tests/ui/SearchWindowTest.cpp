// The search window on the real dialog: its template and resources, the idle
// and running looks, the Search/Stop sequence, the one-time growth and the
// error box.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/AppDriver.h"
#include "ui/ControlRect.h"
#include "ui/ErrorBox.h"
#include "search/LongPaths.h"
#include "support/LockedFile.h"
#include "support/TempFolder.h"
#include "support/WideText.h"

namespace {

RECT ClientRectOf(HWND window, HWND control)
{
    RECT rect = {};
    GetWindowRect(control, &rect);
    ScreenRectToClient(window, &rect);
    return rect;
}

// Everything the settings keep, as one text, to see whether a search wrote it.
std::string StoredSettings()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Pelmora\\Trovik\\", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<no key>";
    std::string all;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameSize = sizeof name;
        BYTE data[1100];
        DWORD dataSize = sizeof data;
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, nullptr, data, &dataSize) != ERROR_SUCCESS)
            break;
        all += std::string(name) + "=" + std::string(reinterpret_cast<char*>(data), dataSize) + ";";
    }
    RegCloseKey(key);
    return all;
}

// ---------------------------------------------------------------- template and resources

struct ExpectedControl {
    int id;
    const char* className;
    const char* text;
    DWORD style;  // bits that must be set, WS_VISIBLE apart
    bool visible;
    RECT units;   // x, y, width, height in dialog units
    bool fixedX;  // neither moved nor stretched by the layout
};

const ExpectedControl TemplateControls[] = {
    {IDOK, "Button", "Search", BS_DEFPUSHBUTTON | WS_TABSTOP, true, {193, 7, 50, 14}, false},
    {IDCANCEL, "Button", "&Close", WS_TABSTOP, true, {193, 24, 50, 14}, false},
    {IDC_FILESPEC_LABEL, "Static", "&Filename:", SS_LEFT | WS_GROUP, true, {7, 9, 48, 8}, true},
    // Both boxes scroll as one types: a pattern or a folder wider than the box can be typed whole.
    {IDC_FILESPEC, "ComboBox", "", CBS_DROPDOWN | CBS_SORT | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, true,
     {79, 7, 103, 0}, false},
    {-1, "Static", "C&ontaining the text:", SS_LEFT | WS_GROUP, true, {7, 28, 62, 8}, true},
    {IDC_TEXT, "Edit", "", ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, true, {79, 25, 103, 14}, false},
    {-1, "Static", "&Search in:", SS_LEFT | WS_GROUP, true, {7, 46, 52, 8}, true},
    {IDC_LOCATION, "ComboBox", "", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, true, {79, 44, 103, 0},
     false},
    {IDC_BROWSE, "Button", "&Browse ...", WS_TABSTOP, true, {132, 65, 50, 14}, false},
    {IDC_SUBFOLDERS, "Button", "I&nclude subfolders", BS_AUTOCHECKBOX | WS_TABSTOP, true, {7, 69, 73, 10}, true},
    {IDC_MATCHCASE, "Button", "Match &case", BS_AUTOCHECKBOX | WS_TABSTOP, true, {82, 69, 48, 10}, true},
    {IDC_RESULTS, "SysListView32", "List1", 0x40810005, false, {5, 81, 60, 50}, true},
    {IDC_PREVIEW, "SysListView32", "", LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_BORDER | WS_TABSTOP,
     false, {5, 81, 60, 30}, true},
    {IDC_STATUS, "Static", "", SS_CENTERIMAGE | WS_GROUP, false, {7, 57, 48, 8}, true},
    {IDC_ANIMATION, "Static", "", SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN | WS_GROUP, true, {195, 43, 48, 36}, false},
    {IDC_REGEXP, "Button", "&Regexp", BS_AUTOCHECKBOX | WS_TABSTOP, false, {87, 69, 41, 10}, true},
};

TEST(Template, HoldsEveryControlInTabOrderAsTabled)
{
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    HWND window = driver.Window();

    char caption[128] = {};
    GetWindowTextA(window, caption, sizeof caption);
    EXPECT_STREQ(caption, "Multi Format Text Search Utility Manager Configuration Protocol");
    RECT size = {0, 0, 250, 86};
    MapDialogRect(window, &size);
    RECT client = {};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    const LONG wanted = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    EXPECT_EQ(style & wanted, wanted);

    HWND child = GetWindow(window, GW_CHILD);
    for (const ExpectedControl& expected : TemplateControls) {
        SCOPED_TRACE(expected.text);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(GetDlgCtrlID(child), expected.id == -1 ? 0xFFFF : expected.id);
        char className[64] = {};
        GetClassNameA(child, className, sizeof className);
        EXPECT_EQ(lstrcmpiA(className, expected.className), 0) << className;
        if (expected.id != IDC_STATUS && expected.id != IDC_FILESPEC && expected.id != IDC_LOCATION) {
            char text[128] = {};
            GetWindowTextA(child, text, sizeof text);
            EXPECT_STREQ(text, expected.text);
        }
        // The dialog manager draws a control's border as a sunken edge, and a
        // combo box hands its scroll bar to its drop-down list.
        DWORD controlStyle = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
        if (GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)
            controlStyle |= WS_BORDER;
        DWORD wantedStyle = expected.style;
        if (lstrcmpiA(className, "ComboBox") == 0)
            wantedStyle &= ~static_cast<DWORD>(WS_VSCROLL);
        EXPECT_EQ(controlStyle & wantedStyle, wantedStyle);
        EXPECT_EQ((controlStyle & WS_VISIBLE) != 0, expected.visible);

        // x, y, width and height, each mapped to pixels as the dialog manager does.
        RECT pixels = expected.units;
        MapDialogRect(window, &pixels);
        const RECT actual = ClientRectOf(window, child);
        EXPECT_EQ(actual.top, pixels.top);
        if (expected.units.bottom != 0) {
            EXPECT_EQ(actual.bottom - actual.top, pixels.bottom);
        }
        if (expected.fixedX) {
            EXPECT_EQ(actual.left, pixels.left);
            EXPECT_EQ(actual.right - actual.left, pixels.right);
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr);
}

TEST(Template, StringsIconAndBitmapAreThere)
{
    const struct {
        UINT id;
        const char* text;
    } strings[] = {
        {1000, "Name"}, {1001, "Matches"}, {1002, "Location"}, {1003, "Size"}, {1004, "Type"},
        {1005, "Modified"}, {1006, "Stop"}, {1007, "Search"}, {1008, "Failed changing to directory.\n%1"},
        {1009, "Select folder"}, {1010, "Failed"},
        {IDS_USAGE, "Usage: Trovik.exe [folder]\n\nStarts Trovik with the folder in the Search in box; a relative "
                    "folder is taken from the current directory.\n\nTrovik.exe /? shows this text."},
        {IDS_MENU_FOLDER_MENUS, "Add 'Search with Trovik' to folder menus"},
        {IDS_FOLDER_MENUS_FAILED, "The folder menus could not be changed.\n%1"},
    };
    HINSTANCE module = GetModuleHandleA(nullptr);
    for (const auto& string : strings) {
        char text[256] = {};
        EXPECT_GT(LoadStringA(module, string.id, text, sizeof text), 0) << string.id;
        EXPECT_STREQ(text, string.text);
    }

    // Icon 1: one 32x32 and one 16x16 image, 16 colours each.
    HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(IDI_TROVIK), MAKEINTRESOURCEA(14));
    ASSERT_NE(group, nullptr);
    const BYTE* directory = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    ASSERT_NE(directory, nullptr);
    WORD count = 0;
    std::memcpy(&count, directory + 4, 2);
    ASSERT_EQ(count, 2);
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const BYTE* entry = directory + 6 + 14 * i;  // width, height, colours, reserved, planes, bits, ...
        EXPECT_EQ(entry[0], entry[1]);
        EXPECT_EQ(entry[2], 16);
        sizes.push_back(entry[0]);
    }
    EXPECT_EQ(sizes, (std::vector<int>{32, 16}));

    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    EXPECT_NE(SendMessageA(driver.Window(), WM_GETICON, ICON_BIG, 0), 0);
    ASSERT_NE(driver.app->window.Animation().Strip(), nullptr);
    BITMAP bitmap = {};
    ASSERT_NE(GetObjectA(driver.app->window.Animation().Strip(), sizeof bitmap, &bitmap), 0);
    EXPECT_EQ(bitmap.bmWidth, 70);
    EXPECT_EQ(bitmap.bmHeight, 160);
}

// The strip as stored: 16 bands of one line of twelve digits each.
TEST(Template, DigitStripFollowsTheBandTable)
{
    const char* lines[] = {"100101101101", "010010010100", "101010010101", "010111010010",
                           "101101011010", "101101011011", "010101010010", "100101001010",
                           "100101001010", "010100100101"};
    HINSTANCE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDB_DIGITS), MAKEINTRESOURCEA(2));
    ASSERT_NE(found, nullptr);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(data, nullptr);
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof header);
    ASSERT_EQ(header.biWidth, 70);
    ASSERT_EQ(header.biHeight, 160);  // bottom-up
    ASSERT_EQ(header.biBitCount, 4);
    ASSERT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(data + header.biSize);
    const BYTE standard[16][3] = {{0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128},
                                  {128, 0, 128}, {0, 128, 128}, {192, 192, 192}, {128, 128, 128},
                                  {255, 0, 0}, {0, 255, 0}, {255, 255, 0}, {0, 0, 255}, {255, 0, 255},
                                  {0, 255, 255}, {255, 255, 255}};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(palette[i].rgbRed, standard[i][0]) << i;
        EXPECT_EQ(palette[i].rgbGreen, standard[i][1]) << i;
        EXPECT_EQ(palette[i].rgbBlue, standard[i][2]) << i;
    }
    const BYTE* bits = reinterpret_cast<const BYTE*>(palette + 16);
    auto pixel = [bits](int x, int y) {  // y counted from the top
        const BYTE pair = bits[(159 - y) * 36 + x / 2];
        return x % 2 == 0 ? pair >> 4 : pair & 15;
    };
    auto black = [&](int x, int y) { return x >= 0 && x < 70 && pixel(x, y) == 0; };

    for (int y = 0; y < 160; ++y) {
        for (int x = 0; x < 70; ++x)
            ASSERT_TRUE(pixel(x, y) == 0 || pixel(x, y) == 15) << x << "," << y;
    }
    for (int band = 0; band < 16; ++band) {
        SCOPED_TRACE(band);
        const int top = band * 10;
        for (int row : {0, 1, 8, 9}) {
            for (int x = 0; x < 70; ++x)
                EXPECT_FALSE(black(x, top + row));
        }
        // Read the line back: a 1's stem is black on the first glyph row (its
        // serif beside it), a 0's left side is not.
        std::string digits;
        for (int x = 0; x < 70; ++x) {
            if (!black(x, top + 4))
                continue;
            if (black(x, top + 2)) {
                EXPECT_TRUE(black(x - 1, top + 2) && !black(x - 1, top + 3));  // the serif
                digits += '1';
            } else {
                EXPECT_TRUE(black(x + 3, top + 4) && black(x + 1, top + 2) && black(x + 1, top + 7));
                digits += '0';
                x += 3;
            }
        }
        EXPECT_EQ(digits, lines[band < 10 ? band : band - 10]);
    }
}

// ---------------------------------------------------------------- looks and the search sequence

void ExpectIdleLook(AppDriver& driver)
{
    EXPECT_EQ(driver.Text(IDOK), "Search");
    for (int id : {IDCANCEL, IDC_FILESPEC, IDC_TEXT, IDC_LOCATION, IDC_BROWSE, IDC_SUBFOLDERS, IDC_MATCHCASE})
        EXPECT_TRUE(IsWindowEnabled(driver.Control(id))) << id;
    EXPECT_FALSE(driver.AnimationTimerRuns());
}

TEST(Looks, SwitchFromIdleToRunningAndBackAtTheNaturalEnd)
{
    TempFolder folder;
    folder.Write("a.txt", "needle");
    folder.Write("sub\\b.txt", "needle needle");
    folder.Write("sub\\c.txt", "nothing");
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    ExpectIdleLook(driver);

    driver.Search(folder.Path(), "needle");
    EXPECT_TRUE(driver.Running());
    EXPECT_EQ(driver.Text(IDOK), "Stop");
    for (int id : {IDCANCEL, IDC_FILESPEC, IDC_TEXT, IDC_LOCATION, IDC_BROWSE, IDC_SUBFOLDERS, IDC_MATCHCASE})
        EXPECT_FALSE(IsWindowEnabled(driver.Control(id))) << id;
    EXPECT_TRUE(IsWindowEnabled(driver.Control(IDOK)));
    EXPECT_TRUE(IsWindowEnabled(driver.Control(IDC_RESULTS)));
    EXPECT_TRUE(driver.AnimationTimerRuns());

    // Results and status texts arrive while the search still runs.
    ASSERT_TRUE(driver.RunUntil([&] { return driver.Text(IDC_STATUS) == "Searching sub ..."; }));
    EXPECT_TRUE(driver.Running());
    EXPECT_EQ(driver.RecordCount(), 1);

    driver.RunUntilWaiting();
    EXPECT_FALSE(driver.Running());
    ExpectIdleLook(driver);
    EXPECT_EQ(driver.Text(IDC_STATUS), "Searched a total of 3 files, found 3 matches in 2 files");
    EXPECT_EQ(driver.RecordCount(), 2);
    EXPECT_FALSE(IsWindowVisible(driver.Control(IDC_REGEXP)));
}

TEST(Looks, ControlNotificationsOtherThanClicksDoNothing)
{
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    ErrorBoxWatcher watcher;
    HWND window = driver.Window();
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_LOCATION, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(driver.Control(IDC_LOCATION)));
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_SETFOCUS), reinterpret_cast<LPARAM>(driver.Control(IDOK)));
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_SETFOCUS), reinterpret_cast<LPARAM>(driver.Control(IDCANCEL)));
    driver.RunUntilWaiting();
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(watcher.boxesSeen, 0);
    EXPECT_FALSE(driver.Running());
}

TEST(Growth, FirstSearchGrowsTheWindowOnceByListAndStatusLine)
{
    TempFolder folder;
    folder.Write("a.txt", "needle");
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    const WindowLayout& layout = driver.app->window.Layout();
    HWND window = driver.Window();
    HWND list = driver.Control(IDC_RESULTS);
    HWND status = driver.Control(IDC_STATUS);
    EXPECT_GT(layout.statusHeight, 0);
    EXPECT_EQ(layout.margin, ClientRectOf(window, driver.Control(IDC_FILESPEC_LABEL)).left);
    const RECT before = driver.WindowRect();
    RECT formerEdge = before;
    ScreenRectToClient(window, &formerEdge);

    driver.Search(folder.Path(), "needle");
    const RECT after = driver.WindowRect();
    EXPECT_EQ(layout.expanded, 1);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    // 120 pixels at 96 DPI, as many more at a higher resolution.
    HDC screen = GetDC(nullptr);
    const int listGrowth = MulDiv(120, GetDeviceCaps(screen, LOGPIXELSY), 96);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ((after.bottom - after.top) - (before.bottom - before.top),
              layout.margin + layout.statusHeight + listGrowth);

    RECT client = {};
    GetClientRect(window, &client);
    const RECT listRect = ClientRectOf(window, list);
    const RECT statusRect = ClientRectOf(window, status);
    // The preview pane shares the list's room below it, past the split bar.
    const RECT previewRect = ClientRectOf(window, driver.Control(IDC_PREVIEW));
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_TRUE(IsWindowVisible(status));
    EXPECT_TRUE(IsWindowVisible(driver.Control(IDC_PREVIEW)));
    EXPECT_EQ(listRect.left, 0);
    EXPECT_EQ(listRect.top, formerEdge.bottom);
    EXPECT_EQ(listRect.right, client.right);
    EXPECT_LT(listRect.bottom, previewRect.top);
    EXPECT_EQ(previewRect.left, 0);
    EXPECT_EQ(previewRect.right, client.right);
    EXPECT_EQ(previewRect.bottom, client.bottom - layout.statusHeight - 4);
    EXPECT_EQ(statusRect.left, 4);
    EXPECT_EQ(statusRect.top, client.bottom - layout.statusHeight - 2);

    driver.RunUntilWaiting();
    driver.Search(folder.Path(), "needle");
    driver.RunUntilWaiting();
    const RECT again = driver.WindowRect();
    EXPECT_EQ(again.bottom - again.top, after.bottom - after.top);
    EXPECT_EQ(again.right - again.left, after.right - after.left);
}

namespace {

// The size a control's own font gives its text ("&" marks no character).
SIZE TextSize(HWND control, const char* text)
{
    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT rect = {0, 0, 0, 0};
    DrawTextA(dc, text, -1, &rect, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace

// Whatever the screen resolution (run again at 144 DPI): after a search no
// shown control reaches outside the window or into another, every label,
// button and check box shows its whole text, and each column is wide enough
// for its header and for the cells of a known width (matches, size, type,
// time).
TEST(Growth, ControlsAndColumnsFitTheScreenResolution)
{
    TempFolder folder;
    folder.Write("a.txt", "needle needle");
    LockedFile locked(folder.Write("b.txt", "needle"));
    ASSERT_TRUE(locked.Held());
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    driver.Search(folder.Path(), "needle");
    driver.RunUntilWaiting();
    ASSERT_EQ(driver.RecordCount(), 2);
    HWND window = driver.Window();
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (std::getenv("TROVIK_EXPECT_DPI") != nullptr) {
        ASSERT_EQ(dpi, std::atoi(std::getenv("TROVIK_EXPECT_DPI")));
    }
    SCOPED_TRACE(dpi);

    for (int show : {SW_SHOWNORMAL, SW_MAXIMIZE}) {
        ShowWindow(window, show);
        SCOPED_TRACE(show == SW_MAXIMIZE ? "maximised" : "as it grew");
        RECT client = {};
        GetClientRect(window, &client);
        std::vector<RECT> placed;
        for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            if (!IsWindowVisible(child))
                continue;
            char className[64] = {};
            GetClassNameA(child, className, sizeof className);
            char text[256] = {};
            GetWindowTextA(child, text, sizeof text);
            SCOPED_TRACE(std::string(className) + " " + text);
            const RECT rect = ClientRectOf(window, child);
            EXPECT_GE(rect.left, 0);
            EXPECT_GE(rect.top, 0);
            EXPECT_LE(rect.right, client.right);
            EXPECT_LE(rect.bottom, client.bottom);
            for (const RECT& other : placed) {
                RECT overlap;
                EXPECT_FALSE(IntersectRect(&overlap, &rect, &other));
            }
            placed.push_back(rect);

            RECT inside = {};
            GetClientRect(child, &inside);
            const SIZE needed = TextSize(child, text[0] != 0 ? text : "Xg");
            const LONG style = GetWindowLongA(child, GWL_STYLE);
            LONG room = inside.right;
            if (lstrcmpiA(className, "Button") == 0 && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX)
                room -= GetSystemMetrics(SM_CXMENUCHECK) + GetSystemMetrics(SM_CXEDGE);
            else if (lstrcmpiA(className, "Button") == 0)
                room -= 2 * GetSystemMetrics(SM_CXEDGE);
            if (lstrcmpiA(className, "Button") == 0 || lstrcmpiA(className, "Static") == 0) {
                EXPECT_LE(needed.cx, room);
            }
            if (lstrcmpiA(className, "ComboBox") != 0 && lstrcmpiA(className, "SysListView32") != 0) {
                EXPECT_LE(needed.cy, inside.bottom);
            }
        }
    }

    // A column shows a text whole when it is its width less the margins.
    HWND list = driver.Control(IDC_RESULTS);
    auto fits = [list](int column, const char* text) {
        const LRESULT width = SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(text));
        return width + 12 <= SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0);
    };
    for (int column = 0; column < 6; ++column) {
        char header[64] = {};
        LVCOLUMNA description = {};
        description.mask = LVCF_TEXT;
        description.pszText = header;
        description.cchTextMax = sizeof header;
        ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&description)));
        EXPECT_TRUE(fits(column, header)) << header;
        for (int row = 0; row < 2; ++row) {
            if (column == 0 || column == 2)
                continue;  // names and folders are as long as they come
            char cell[260] = {};
            LVITEMA item = {};
            item.iSubItem = column;
            item.pszText = cell;
            item.cchTextMax = sizeof cell;
            SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
            EXPECT_TRUE(fits(column, cell)) << header << ": " << cell;
        }
    }
}

TEST(ErrorBox, MissingFolderChangesNothingButShowsTheBox)
{
    TempFolder folder;
    folder.Write("a.txt", "needle");
    const std::string missing = folder.Path() + "\\no such folder";
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    ErrorBoxWatcher watcher;
    const std::string settings = StoredSettings();
    const RECT small = driver.WindowRect();

    driver.Search(missing, "needle");  // returns once the box is dismissed
    EXPECT_EQ(watcher.boxesSeen, 1);
    const std::string heading = "Failed changing to directory.";
    EXPECT_EQ(watcher.text.compare(0, heading.size(), heading), 0) << watcher.text;
    EXPECT_GT(watcher.text.size(), heading.size() + 1) << "the system's text follows";
    EXPECT_TRUE(watcher.errorIcon);
    EXPECT_EQ(watcher.buttons, std::vector<int>{IDOK});
    EXPECT_FALSE(driver.Running());
    EXPECT_EQ(driver.app->window.Layout().expanded, 0);
    EXPECT_FALSE(IsWindowVisible(driver.Control(IDC_RESULTS)));
    EXPECT_EQ(driver.WindowRect().bottom, small.bottom);
    EXPECT_EQ(StoredSettings(), settings);
    ExpectIdleLook(driver);

    // After a search, a missing folder keeps its results and the size.
    driver.Search(folder.Path(), "needle");
    driver.RunUntilWaiting();
    const FoundFile* records = driver.Records();
    ASSERT_NE(records, nullptr);
    const RECT grown = driver.WindowRect();
    const std::string saved = StoredSettings();
    driver.Search(missing, "needle");
    EXPECT_EQ(watcher.boxesSeen, 2);
    EXPECT_EQ(driver.Records(), records);
    EXPECT_EQ(driver.RecordCount(), 1);
    EXPECT_EQ(driver.WindowRect().bottom, grown.bottom);
    EXPECT_EQ(StoredSettings(), saved);
}

TEST(ErrorBox, ShowsTheCodeWhenTheSystemHasNoText)
{
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    ErrorBoxWatcher watcher;
    const DWORD code = 0x2000ABCD;  // an application-defined code: no system text
    EXPECT_EQ(ShowErrorBox(driver.Window(), IDS_CHDIR_FAILED, MB_ICONERROR | MB_OK, code), IDOK);
    EXPECT_EQ(watcher.boxesSeen, 1);
    EXPECT_NE(watcher.text.find("Failed changing to directory."), std::string::npos) << watcher.text;
    EXPECT_NE(watcher.text.find(std::to_string(code)), std::string::npos) << watcher.text;
}

// Folder texts past the classic limit, set whole or reached by a short
// relative text: searched, without the error box, and the records name the
// folder in full.
TEST(Texts, FoldersPastTheClassicLimitAreSearchedAndNamedWhole)
{
    TempFolder folder;
    const std::string deepName(280 - folder.Path().size(), 'd');
    const std::string longName = std::string(150, 'x') + "\\" + std::string(149 - folder.Path().size(), 'y');
    folder.Write(deepName + "\\a.txt", "needle");
    folder.Write(longName + "\\b.txt", "needle");
    ASSERT_LT(deepName.size(), 260u) << "the relative text must fit a classic path";
    struct Case {
        const char* what;
        std::string text;
        std::string folder;
    } const cases[] = {
        {"300 characters", folder.Path() + "\\" + longName, folder.Path() + "\\" + longName},
        {"relative, past the limit in full", deepName, folder.Path() + "\\" + deepName},
    };
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    ErrorBoxWatcher watcher;
    for (const Case& item : cases) {
        SCOPED_TRACE(item.what);
        ASSERT_TRUE(SetCurrentDirectoryA(folder.Path().c_str()));
        driver.Search(item.text, "needle");
        driver.RunUntilWaiting();
        EXPECT_EQ(watcher.boxesSeen, 0) << watcher.text;
        ASSERT_EQ(driver.RecordCount(), 1);
        EXPECT_EQ(Utf8(driver.Records()->folder), item.folder);
        EXPECT_EQ(driver.Text(IDC_STATUS), "Found 1 matches");
    }
}

// ---------------------------------------------------------------- the texts of a search

TEST(Texts, TypingStopsAtTheBufferLimit)
{
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    HWND text = driver.Control(IDC_TEXT);
    for (int i = 0; i < 300; ++i)
        SendMessageA(text, WM_CHAR, 'x', 0);
    EXPECT_EQ(GetWindowTextLengthA(text), 259);
    // A folder may be as long as the platform's paths; both boxes take more
    // than they are wide.
    for (int id : {IDC_FILESPEC, IDC_LOCATION}) {
        HWND field = FindWindowExA(driver.Control(id), nullptr, "Edit", nullptr);
        ASSERT_NE(field, nullptr) << id;
        EXPECT_EQ(SendMessageA(field, EM_GETLIMITTEXT, 0, 0), id == IDC_LOCATION ? 32766 : 259) << id;
        for (int i = 0; i < 300; ++i)
            SendMessageA(field, WM_CHAR, 'x', 0);
        EXPECT_EQ(GetWindowTextLengthA(field), id == IDC_LOCATION ? 300 : 259) << id;
    }
}

TEST(Texts, EmptyPatternSearchesEverythingAndBytesWidenUnsigned)
{
    TempFolder folder;
    folder.Write("a.txt", "caf\xE9");
    folder.Write("b.dat", "un caf\xE9 noir");
    folder.Write("c", "caf\xE9!");
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    driver.Search(folder.Path(), "caf\xE9", "");
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(driver.Request().filePattern)), L"*.*");
    EXPECT_EQ(driver.Request().searchText[3], 0xE9);
    EXPECT_EQ(driver.Request().searchText[4], 0);
    driver.RunUntilWaiting();
    EXPECT_EQ(driver.RecordCount(), 3);
    EXPECT_EQ(driver.Text(IDC_STATUS), "Found 3 matches");
}

TEST(Texts, RelativeFolderFollowsTheCurrentDirectoryOfTheMoment)
{
    TempFolder folder;
    folder.Write("sub\\a.txt", "needle");
    folder.Write("sub\\deeper\\b.txt", "needle");
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.Path().c_str()));

    driver.Search("sub", "needle", "*.*", false);
    driver.RunUntilWaiting();
    ASSERT_EQ(driver.RecordCount(), 1);
    EXPECT_EQ(Utf8(driver.Records()->folder), folder.Path() + "\\sub");

    // The last search left the current directory in "sub".
    driver.Search("deeper", "needle", "*.*", false);
    driver.RunUntilWaiting();
    ASSERT_EQ(driver.RecordCount(), 1);
    EXPECT_EQ(Utf8(driver.Records()->folder), folder.Path() + "\\sub\\deeper");
}

}  // namespace

// ---------------------------------------------------------------- the results list in the window

namespace {

// The text of a file, or "<none>" while it does not exist.
std::string FileText(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<none>";
    char text[1024];
    DWORD read = 0;
    ReadFile(file, text, sizeof text, &read, nullptr);
    CloseHandle(file);
    return std::string(text, read);
}

}  // namespace

// A double-click opens the row's file by its full path. A path past the
// classic limit goes to the shell in its "\\?\" form; where the shell cannot
// open it, the error box says so.
TEST(ResultsInTheWindow, DoubleClickOpensTheRowsFileByItsFullPath)
{
    TempFolder folder;
    const std::string marker = folder.Path() + "\\opened.txt";
    // Opening a batch file runs it: it writes the full path it was started by.
    const std::string script = "@rem needle\r\n@echo %~f0> \"" + marker + "\"\r\n";
    folder.Write("first.bat", "@rem needle\r\n");
    const std::string opened = folder.Write("sub folder\\open me.bat", script);
    const std::string deep = folder.Write(std::string(150, 'd') + "\\" + std::string(120, 'e') + "\\open me.bat",
                                          script);
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    ErrorBoxWatcher watcher;
    driver.Search(folder.Path(), "needle", "*.bat");
    driver.RunUntilWaiting();
    HWND list = driver.Control(IDC_RESULTS);
    ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 3);

    for (const std::string& path : {opened, deep}) {
        SCOPED_TRACE(path);
        DeleteFileA(marker.c_str());
        int row = -1;
        for (int i = 0; i < 3; ++i) {
            LVITEMA item = {};
            item.mask = LVIF_PARAM;
            item.iItem = i;
            ASSERT_TRUE(SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
            if (Utf8(FullPath(*reinterpret_cast<const FoundFile*>(item.lParam)).c_str()) == path)
                row = i;
        }
        ASSERT_NE(row, -1);
        SendMessageA(list, LVM_ENSUREVISIBLE, row, FALSE);
        RECT cell = {};
        cell.left = LVIR_LABEL;
        ASSERT_TRUE(SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&cell)));
        const int boxes = watcher.boxesSeen;
        SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON,
                     MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2));

        // The program runs on its own; a few seconds is plenty for it. The file
        // exists a moment before its line is in it.
        std::string text = FileText(marker);
        for (int waited = 0; text.find('\n') == std::string::npos && waited < 150 && watcher.boxesSeen == boxes;
             ++waited) {
            Sleep(100);
            text = FileText(marker);
        }
        if (watcher.boxesSeen > boxes) {  // never silent: the shell could not, and the box says why
            EXPECT_GE(path.size(), static_cast<size_t>(MAX_PATH));
            const std::string heading = "The file's path is longer than 259 characters, and the shell could not open it.";
            EXPECT_EQ(watcher.text.compare(0, heading.size(), heading), 0) << watcher.text;
            EXPECT_TRUE(watcher.errorIcon);
            EXPECT_EQ(text, "<none>");
        } else {
            EXPECT_EQ(text.substr(0, text.find_last_not_of(" \r\n") + 1), path);
        }
        if (path != opened)
            continue;

        // The preview pane's line opens the row's file the same way, by Enter
        // and by a double-click.
        auto openedBy = [&marker] {
            std::string shown = FileText(marker);
            for (int waited = 0; shown.find('\n') == std::string::npos && waited < 150; ++waited) {
                Sleep(100);
                shown = FileText(marker);
            }
            return shown.substr(0, shown.find_last_not_of(" \r\n") + 1);
        };
        LVITEMA selected = {};
        selected.stateMask = selected.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&selected));
        driver.RunUntilWaiting();
        HWND pane = driver.Control(IDC_PREVIEW);
        ASSERT_EQ(SendMessageW(pane, LVM_GETITEMCOUNT, 0, 0), 1);
        SendMessageW(pane, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&selected));
        cell.left = LVIR_LABEL;
        ASSERT_TRUE(SendMessageW(pane, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&cell)));
        for (const char* way : {"Enter", "double-click"}) {
            DeleteFileA(marker.c_str());
            if (std::string(way) == "Enter")
                SendMessageW(pane, WM_KEYDOWN, VK_RETURN, 0);
            else
                SendMessageW(pane, WM_LBUTTONDBLCLK, MK_LBUTTON,
                             MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2));
            EXPECT_EQ(openedBy(), opened) << way;
        }
    }
}
