// The preview pane: the selected row's matching lines as items of a list
// view whose texts are made on request, the occurrences drawn marked, the
// keys Enter and Ctrl+C, and the file read a piece per idle turn.
#include "ui/PreviewPane.h"

#include "res/resource.h"
#include "ui/AppInstance.h"
#include "ui/DpiScale.h"
#include "ui/FailureReason.h"
#include "ui/ResultsList.h"
#include "ui/ResultsMenu.h"

namespace {

const UINT_PTR SubclassId = 1;

// Items that are no line of the file: one text in the Text column.
const LPARAM MessageItem = -1;  // a failed row's reason, or the text is gone
const LPARAM MoreItem = -2;     // the lines past LineLimit

enum Column { LineColumn, TextColumn };

// With a search running the pane reads for at most this share of the time
// since its file was begun (1/SearchShare): the search keeps its pace.
const LONGLONG SearchShare = 20;

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

bool IsLowSurrogate(WCHAR unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

std::wstring LoadWide(UINT id, const wchar_t* fallback)
{
    WCHAR text[256];
    return LoadStringW(AppInstance(), id, text, 256) > 0 ? std::wstring(text) : std::wstring(fallback);
}

int ItemCount(HWND list)
{
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

LPARAM ItemParam(HWND list, int item)
{
    LVITEMW row = {};
    row.mask = LVIF_PARAM;
    row.iItem = item;
    return SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&row)) ? row.lParam : MessageItem;
}

void InsertItem(HWND list, LPARAM param)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = ItemCount(list);
    item.pszText = LPSTR_TEXTCALLBACKW;
    item.lParam = param;
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

}  // namespace

PreviewPane::~PreviewPane()
{
    if (boldFont != nullptr)
        DeleteObject(boldFont);
}

void PreviewPane::Attach(HWND paneList, HWND resultsList)
{
    list = paneList;
    results = resultsList;
    if (list == nullptr)
        return;
    // The lines are UTF-16: the list asks for its texts in the wide form.
    SendMessageW(list, CCM_SETUNICODEFORMAT, TRUE, 0);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    const UINT headers[] = {IDS_COLUMN_LINE, IDS_COLUMN_TEXT};
    const wchar_t* fallbacks[] = {L"Line", L"Text"};
    for (int i = 0; i < 2; ++i) {
        std::wstring header = LoadWide(headers[i], fallbacks[i]);
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = i == LineColumn ? LVCFMT_RIGHT : LVCFMT_LEFT;
        // A line number of seven digits; the Text column widens to its lines.
        column.cx = ScaleToScreen(list, i == LineColumn ? 64 : 200);
        column.pszText = &header[0];
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    LOGFONTW font = {};
    HFONT listFont = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
    if (GetObjectW(listFont != nullptr ? listFont : GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font) != 0) {
        font.lfWeight = FW_BOLD;
        boldFont = CreateFontIndirectW(&font);
    }
    SetWindowSubclass(list, ListProc, SubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void PreviewPane::BeginSearch(const WCHAR* searchText, bool matchCase)
{
    Clear();
    shown = nullptr;
    prepared = preview.Prepare(searchText, matchCase);
}

void PreviewPane::OnResultsNotify(const NMHDR* header)
{
    if (header == nullptr || header->code != LVN_ITEMCHANGED)
        return;
    const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
    if ((change->uChanged & LVIF_STATE) == 0 || ((change->uNewState ^ change->uOldState) & LVIS_SELECTED) == 0)
        return;
    const FoundFile* record = ResultsList::RowRecord(results, ResultsList::SelectedRow(results));
    if (record != shown)
        Show(record);
}

// Lets the file shown before go, and begins the record's: a failed row
// shows why, a row read by no reading (the empty text) shows nothing.
void PreviewPane::Show(const FoundFile* record)
{
    Clear();
    shown = record;
    if (record == nullptr || list == nullptr)
        return;
    if (record->openStatus == -1) {
        ShowReason(*record);
        return;
    }
    if (!prepared || record->reading == 0)
        return;
    if (!preview.Start(*record, TakeLine, this)) {
        // Gone or locked since the search: why, as for a failed row.
        const DWORD error = GetLastError();
        if (error == ERROR_SUCCESS)
            return;
        FoundFile failed = *record;
        failed.openStatus = -1;
        failed.openError = error;
        ShowReason(failed);
        return;
    }
    started = Now();
    busy = 0;
}

void PreviewPane::ShowReason(const FoundFile& failed)
{
    WCHAR reason[1024];
    FailureReason::Text(failed, reason, 1024);
    if (reason[0] != 0)
        AddMessage(reason);
}

void PreviewPane::Clear()
{
    preview.Cancel();
    shown = nullptr;
    lines.clear();
    inserted = 0;
    moreLines = 0;
    moreItem = false;
    message.clear();
    if (list != nullptr) {
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
        widest = 0;
        FitTextColumn();
    }
}

void PreviewPane::AddMessage(const std::wstring& text)
{
    message = text;
    InsertItem(list, MessageItem);
    Measure(message);
    FitTextColumn();
}

// The width the text needs in the Text column, occurrences in bold.
void PreviewPane::Measure(const std::wstring& text)
{
    const int width = static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str())));
    const int needed = width + width / 6 + ScaleToScreen(list, 16);
    if (needed > widest)
        widest = needed;
}

// The Text column takes the rest of the list's width, a vertical scroll
// bar's room left, or more where a line needs it.
void PreviewPane::FitTextColumn() const
{
    RECT client = {};
    GetClientRect(list, &client);
    const int rest = client.right - static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, LineColumn, 0)) -
                     GetSystemMetrics(SM_CXVSCROLL);
    const int width = widest > rest ? widest : rest;
    if (width > 0 && width != SendMessageW(list, LVM_GETCOLUMNWIDTH, TextColumn, 0))
        SendMessageW(list, LVM_SETCOLUMNWIDTH, TextColumn, width);
}

int PreviewPane::Step(bool searchRunning)
{
    if (!preview.Reading())
        return 0;
    const LONGLONG begin = Now();
    if (searchRunning && busy * SearchShare > begin - started)
        return 0;  // the search's turn; the pane reads again at a later pass
    const bool more = preview.Step();
    busy += Now() - begin;
    AddLines();
    if (!more)
        ShowEnd();
    return more ? 1 : 0;
}

// A line the reading found: kept cut to ShownLength characters around its
// first occurrence, with "…" where text was left out, until LineLimit lines
// are kept; later ones are counted.
void PreviewPane::TakeLine(void* context, const MatchingLine& line)
{
    PreviewPane* pane = static_cast<PreviewPane*>(context);
    if (pane->lines.size() >= LineLimit) {
        pane->moreLines += 1;
        return;
    }
    size_t begin = 0;
    size_t end = line.length;
    if (line.length > ShownLength) {
        const size_t first = line.hitCount != 0 ? line.hits[0].begin : 0;
        begin = first > ShownLength / 3 ? first - ShownLength / 3 : 0;
        end = begin + ShownLength;
        if (end > line.length) {
            end = line.length;
            begin = end - ShownLength;
        }
        // A surrogate pair stays whole or goes whole.
        if (begin > 0 && IsLowSurrogate(line.text[begin]))
            ++begin;
        if (end < line.length && IsLowSurrogate(line.text[end]))
            --end;
    }
    Line kept;
    kept.number = line.number;
    if (line.cutBefore || begin > 0)
        kept.text += L'\u2026';
    const size_t prefix = kept.text.size();
    for (size_t i = begin; i < end; ++i) {
        // Tabs and other control characters would show as boxes or nothing.
        const WCHAR unit = static_cast<WCHAR>(line.text[i]);
        kept.text += unit < 0x20 ? L' ' : unit;
    }
    if (line.cutAfter || end < line.length)
        kept.text += L'\u2026';
    for (size_t k = 0; k < line.hitCount; ++k) {
        const LineHit& hit = line.hits[k];
        if (hit.end <= begin || hit.begin >= end)
            continue;
        const size_t from = hit.begin > begin ? hit.begin : begin;
        const size_t to = hit.end < end ? hit.end : end;
        kept.hits.push_back({from - begin + prefix, to - begin + prefix});
    }
    pane->lines.push_back(kept);
}

// The lines kept since the last turn become items, before the item that
// counts the lines past LineLimit.
void PreviewPane::AddLines()
{
    const size_t fresh = lines.size() - inserted;
    if (fresh == 0 && (moreLines == 0 || moreItem))
        return;
    const bool many = fresh > 32;
    if (many)
        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (; inserted < lines.size(); ++inserted) {
        InsertItem(list, static_cast<LPARAM>(inserted));
        Measure(lines[inserted].text);
    }
    FitTextColumn();
    if (moreLines != 0 && !moreItem) {
        InsertItem(list, MoreItem);
        moreItem = true;
    }
    if (many) {
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
    }
}

// The file is done: the count of the lines past LineLimit once it was read
// to its end, or the news that the text is gone from it.
void PreviewPane::ShowEnd()
{
    if (moreItem) {
        InvalidateRect(list, nullptr, FALSE);  // "... more lines" becomes "... and N more lines"
        return;
    }
    if (lines.empty() && preview.Complete())
        AddMessage(LoadWide(IDS_PREVIEW_GONE, L"The text is no longer in this file."));
}

LRESULT PreviewPane::OnNotify(NMHDR* header)
{
    if (header == nullptr)
        return 0;
    switch (header->code) {
    case LVN_GETDISPINFOW: {
        NMLVDISPINFOW* info = reinterpret_cast<NMLVDISPINFOW*>(header);
        if ((info->item.mask & LVIF_TEXT) == 0 || info->item.pszText == nullptr || info->item.cchTextMax <= 0)
            return 0;
        std::wstring text;
        const LPARAM param = info->item.lParam;
        if (param >= 0 && static_cast<size_t>(param) < lines.size()) {
            const Line& line = lines[static_cast<size_t>(param)];
            text = info->item.iSubItem == LineColumn ? std::to_wstring(line.number) : line.text;
        } else if (info->item.iSubItem == TextColumn) {
            text = param == MessageItem ? message : MoreText();
        }
        const size_t room = static_cast<size_t>(info->item.cchTextMax) - 1;
        const size_t length = text.size() < room ? text.size() : room;
        text.copy(info->item.pszText, length);
        info->item.pszText[length] = 0;
        return 0;
    }
    case NM_CUSTOMDRAW:
        return OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case NM_DBLCLK: {
        const NMITEMACTIVATE* activate = reinterpret_cast<const NMITEMACTIVATE*>(header);
        if (activate->iItem >= 0 && ItemParam(list, activate->iItem) >= 0)
            OpenFile();
        return 0;
    }
    default:
        return 0;
    }
}

std::wstring PreviewPane::MoreText() const
{
    if (preview.Reading() || !preview.Complete())
        return LoadWide(IDS_PREVIEW_MORE, L"... more lines");
    const std::wstring format = LoadWide(IDS_PREVIEW_MORE_COUNT, L"... and %1 more lines");
    const std::wstring count = std::to_wstring(moreLines);
    DWORD_PTR arguments[1] = {reinterpret_cast<DWORD_PTR>(count.c_str())};
    WCHAR text[256];
    if (FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, format.c_str(), 0, 0, text, 256,
                       reinterpret_cast<va_list*>(arguments)) == 0)
        return L"... and " + count + L" more lines";
    return text;
}

// The Text cells of the lines are drawn here, occurrences in bold on the
// system's highlight colours; everything else as the list draws it.
LRESULT PreviewPane::OnCustomDraw(NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const int item = static_cast<int>(draw->nmcd.dwItemSpec);
        const LPARAM param = ItemParam(list, item);
        if (draw->iSubItem != TextColumn || param < 0 || static_cast<size_t>(param) >= lines.size())
            return CDRF_DODEFAULT;
        DrawMarked(draw->nmcd.hdc, item, lines[static_cast<size_t>(param)]);
        return CDRF_SKIPDEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

void PreviewPane::DrawMarked(HDC dc, int item, const Line& line) const
{
    RECT cell = {};
    cell.top = TextColumn;
    cell.left = LVIR_BOUNDS;
    if (!SendMessageW(list, LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(&cell)))
        return;
    const bool selected = SendMessageW(list, LVM_GETITEMSTATE, item, LVIS_SELECTED) != 0;
    const bool focused = GetFocus() == list;
    const int back = selected ? (focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE) : COLOR_WINDOW;
    const int fore = selected && focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT;
    FillRect(dc, &cell, GetSysColorBrush(back));

    HFONT font = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
    HGDIOBJ previous = SelectObject(dc, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    const int y = cell.top + (cell.bottom - cell.top - metrics.tmHeight) / 2;
    int x = cell.left + ScaleToScreen(list, 6);
    size_t at = 0;
    size_t next = 0;  // the next occurrence
    while (at < line.text.size() && x < cell.right) {
        const bool hit = next < line.hits.size() && line.hits[next].begin <= at;
        size_t end = hit ? line.hits[next].end : next < line.hits.size() ? line.hits[next].begin : line.text.size();
        if (end <= at)
            end = at + 1;
        // An occurrence: bold, on the highlight colours, or the other way
        // round on a highlighted row.
        const bool inverse = hit && selected && focused;
        SelectObject(dc, hit && boldFont != nullptr ? boldFont : (font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT)));
        SetBkColor(dc, GetSysColor(inverse ? COLOR_WINDOW : hit ? COLOR_HIGHLIGHT : back));
        SetTextColor(dc, GetSysColor(inverse ? COLOR_HIGHLIGHT : hit ? COLOR_HIGHLIGHTTEXT : fore));
        SIZE size = {};
        GetTextExtentPoint32W(dc, line.text.c_str() + at, static_cast<int>(end - at), &size);
        RECT piece = {x, cell.top, x + size.cx, cell.bottom};
        if (piece.right > cell.right)
            piece.right = cell.right;
        ExtTextOutW(dc, x, y, ETO_CLIPPED | ETO_OPAQUE, &piece, line.text.c_str() + at, static_cast<UINT>(end - at),
                    nullptr);
        x += size.cx;
        if (hit)
            ++next;
        at = end;
    }
    SelectObject(dc, previous);
}

void PreviewPane::CopySelection() const
{
    std::wstring text;
    for (int item = -1; (item = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, item, LVNI_SELECTED))) >= 0;) {
        const LPARAM param = ItemParam(list, item);
        if (param >= 0 && static_cast<size_t>(param) < lines.size())
            text += std::to_wstring(lines[static_cast<size_t>(param)].number) + L": " +
                    lines[static_cast<size_t>(param)].text;
        else
            text += param == MessageItem ? message : MoreText();
        text += L"\r\n";
    }
    if (!text.empty())
        ResultsMenu::CopyUnicodeText(GetParent(list), text.c_str(), text.size());
}

// As the results list opens its row.
void PreviewPane::OpenFile() const
{
    if (shown != nullptr)
        ResultsList::OpenRow(results, ResultsList::SelectedRow(results));
}

// The list's own procedure first hands its keys to this one. The dialog
// manager would take Enter for the default button; in the pane it opens the
// file instead.
LRESULT CALLBACK PreviewPane::ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR data)
{
    PreviewPane* pane = reinterpret_cast<PreviewPane*>(data);
    switch (message) {
    case WM_GETDLGCODE:
        return ResultsMenu::WantEnter(list, wParam, lParam);
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            const int item = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
            if (item >= 0 && ItemParam(list, item) >= 0)
                pane->OpenFile();
            return 0;
        }
        if (wParam == 'C' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0 && GetKeyState(VK_SHIFT) >= 0) {
            pane->CopySelection();
            return 0;
        }
        break;
    case WM_SIZE: {
        const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
        pane->FitTextColumn();
        return result;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(list, ListProc, SubclassId);
        break;
    default:
        break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}
