// The search window: the modeless dialog, its Search/Stop sequence, its
// running and idle looks, and the reports of the walk it starts.
#pragma once

#include <windows.h>

#include <string>

#include "search/Notifications.h"
#include "search/SearchRequest.h"
#include "ui/BusyAnimation.h"
#include "ui/PreviewPane.h"
#include "ui/SplitBar.h"
#include "ui/WindowLayout.h"

class FileSearcher;

class SearchWindow final : public SearchSink {
public:
    SearchWindow();
    SearchWindow(const SearchWindow&) = delete;
    SearchWindow& operator=(const SearchWindow&) = delete;

    // Creates and shows the dialog from instance's template, with folder (if
    // any) in the Search in box. The searcher stays the caller's and must
    // outlive the window. False without a dialog.
    bool Create(HINSTANCE instance, FileSearcher* searcher, const WCHAR* folder = nullptr);

    // The loop's idle step: a pending stop is carried out (the window goes
    // back to idle), else a running search makes one step; the preview pane
    // reads its file beside it. 1: more is ready now.
    int IdleStep();

    // Null before the dialog exists and once it is destroyed.
    HWND Handle() const { return window; }
    const SearchRequest& Request() const { return request; }
    // From Search until the walk's end (or a stop) has been handled.
    bool Running() const { return running != 0; }
    const WindowLayout& Layout() const { return layout; }
    const BusyAnimation& Animation() const { return animation; }
    const PreviewPane& Preview() const { return preview; }

    // The walk's reports.
    void OnStatus(const WCHAR* text) override;
    void OnFoundFile(FoundFile* record) override;
    void OnWalkEnded() override;

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam);
    int OnInitDialog();
    void OnSearchButton();
    void ExpandWindow();
    void SetRunning(int on);
    void EnableInputs(int enable);
    void SetStatusText(const WCHAR* text);
    void SetLocation(const WCHAR* folder);
    void AddFolderMenusItem();
    void ShowFolderMenusState();
    void OnFolderMenusItem();

    HWND window;
    HINSTANCE instance;
    FileSearcher* searcher;
    SearchRequest request;
    int running;
    WindowLayout layout;
    BusyAnimation animation;
    PreviewPane preview;
    SplitBar splitBar;
    WCHAR patternText[1024];
    WCHAR findText[1024];
    std::wstring startFolder;  // the request's folder, in full
};
