// The preview pane below the results list: the lines of the selected row's
// file that hold the occurrences its search counted, read in the idle loop
// a piece at a time beside the search, with the occurrences marked.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "search/LinePreview.h"
#include "search/SearchRequest.h"

class PreviewPane {
public:
    PreviewPane() = default;
    ~PreviewPane();
    PreviewPane(const PreviewPane&) = delete;
    PreviewPane& operator=(const PreviewPane&) = delete;

    // Once, when the window grows for its first search: the pane's list and
    // the results list whose selected row it shows.
    void Attach(HWND paneList, HWND resultsList);
    // A new search: the pane empties, and the rows of this search are shown
    // with its text and Match case, whatever the boxes say later.
    void BeginSearch(const WCHAR* searchText, bool matchCase);
    // Every WM_NOTIFY of the results list: a new selection shows its file,
    // and the file shown before is let go at once.
    void OnResultsNotify(const NMHDR* header);
    // Every WM_NOTIFY of the pane's list; the answer for DWLP_MSGRESULT.
    LRESULT OnNotify(NMHDR* header);
    // The idle loop's turn: one piece of the file is read and its lines
    // shown. While a search runs the pane takes a small share of the time.
    // 1 when more is ready now.
    int Step(bool searchRunning);
    // Whether a file is being read.
    bool Reading() const { return preview.Reading(); }

    // Lines kept and shown; the rest of the file's lines are only counted.
    static const size_t LineLimit = 1000;
    // Characters of a line shown: a longer one is cut around its first occurrence.
    static const size_t ShownLength = 300;

private:
    struct Line {
        unsigned long long number;
        std::wstring text;
        std::vector<LineHit> hits;  // in text
    };

    static void TakeLine(void* pane, const MatchingLine& line);
    void Show(const FoundFile* record);
    void ShowReason(const FoundFile& failed);
    void Clear();
    void AddMessage(const std::wstring& text);
    std::wstring MoreText() const;
    void AddLines();
    void Measure(const std::wstring& text);
    void FitTextColumn() const;
    void ShowEnd();
    void CopySelection() const;
    void OpenFile() const;
    LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw);
    void DrawMarked(HDC dc, int item, const Line& line) const;
    static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data);

    HWND list = nullptr;
    HWND results = nullptr;
    HFONT boldFont = nullptr;
    LinePreview preview;
    bool prepared = false;
    const FoundFile* shown = nullptr;  // the row whose file the pane shows; compared, never read
    std::vector<Line> lines;
    std::wstring message;              // the text of the one item that is no line
    size_t inserted = 0;               // lines already items of the list
    unsigned long long moreLines = 0;  // matching lines past LineLimit
    bool moreItem = false;             // the list ends in the item that counts them
    int widest = 0;                    // pixels the widest text shown needs
    LONGLONG started = 0;              // when the file was begun, and the time spent reading it
    LONGLONG busy = 0;
};
