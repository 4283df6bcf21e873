// Drives the real application in-process for tests: start-up through
// Initialize, the dialog's controls, and the message loop's own rule taken
// one pass at a time, with settings kept in a registry subtree of its own.
// Also watches for the error box and dismisses it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/SearchApp.h"
#include "res/resource.h"
#include "search/FileSearcher.h"
#include "search/SearchRequest.h"
#include "support/ModalWatchdog.h"
#include "support/PrivateUserRegistry.h"
#include "support/WideText.h"

class AppDriver {
public:
    // Starts as the entry point does with the command line given (none: a bare start).
    explicit AppDriver(const WCHAR* commandLine = nullptr) : app(new SearchApp())
    {
        GetCurrentDirectoryA(sizeof startFolder, startFolder);
        // The window loads and saves settings: never through the shared key.
        if (!registry.overridden) {
            ADD_FAILURE() << "no private registry subtree: the window is not started";
            return;
        }
        const CommandLine command = ReadCommandLine(commandLine);
        started = app->Initialize(GetModuleHandleA(nullptr), command.folder.c_str());
    }

    ~AppDriver()
    {
        if (Window() != nullptr && IsWindow(Window()))
            DestroyWindow(Window());
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        if (SUCCEEDED(started))
            app->Shutdown();
        SetCurrentDirectoryA(startFolder);
        delete app;
    }

    AppDriver(const AppDriver&) = delete;
    AppDriver& operator=(const AppDriver&) = delete;

    HWND Window() const { return app->window.Handle(); }
    HWND Control(int id) const { return GetDlgItem(Window(), id); }
    const SearchRequest& Request() const { return app->window.Request(); }
    bool Running() const { return app->window.Running(); }

    std::string Text(int id) const
    {
        char text[4096] = {};
        GetDlgItemTextA(Window(), id, text, sizeof text);
        return text;
    }

    void SetText(int id, const std::string& text) const { SetDlgItemTextA(Window(), id, text.c_str()); }

    // A click as the button itself reports it to the window.
    void Click(int id) const { SendMessageA(Control(id), BM_CLICK, 0, 0); }

    // Fills the three inputs and presses Search: the folder in UTF-8, the
    // text and the pattern in the code page, as typed.
    void Search(const std::string& folder, const std::string& text, const std::string& pattern = "*.*",
                bool subfolders = true) const
    {
        SetDlgItemTextW(Window(), IDC_LOCATION, Wide(folder).c_str());
        SetText(IDC_TEXT, text);
        SetText(IDC_FILESPEC, pattern);
        CheckDlgButton(Window(), IDC_SUBFOLDERS, subfolders ? BST_CHECKED : BST_UNCHECKED);
        Click(IDOK);
    }

    // One pass of the loop: a waiting message is taken and handled, else the
    // idle step runs. False when the loop would now wait for a message.
    bool Pass()
    {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            const BOOL got = GetMessageW(&message, nullptr, 0, 0);
            if (got == 0) {
                quit = true;
                return false;
            }
            if (got != -1 && !IsDialogMessageW(Window(), &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            return true;
        }
        ++idlePasses;
        return app->OnIdle() != 0;
    }

    // Passes until the loop would wait with nothing queued; returns the passes made.
    int RunUntilWaiting(int limit = 200000)
    {
        int passes = 0;
        MSG message;
        while (passes < limit && !quit) {
            ++passes;
            if (!Pass() && !PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE))
                break;
        }
        return passes;
    }

    // Passes until the condition holds or the loop would wait; true if it holds.
    template <typename Condition>
    bool RunUntil(Condition condition, int limit = 200000)
    {
        MSG message;
        for (int passes = 0; passes < limit && !quit; ++passes) {
            if (condition())
                return true;
            if (!Pass() && !PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE))
                break;
        }
        return condition();
    }

    // Whether the animation timer runs: waits more than one period, then
    // looks for its message without taking it.
    bool AnimationTimerRuns() const
    {
        Sleep(120);
        MSG message;
        return PeekMessageA(&message, Window(), WM_TIMER, WM_TIMER, PM_NOREMOVE) &&
               message.wParam == ANIMATION_TIMER_ID;
    }

    RECT WindowRect() const
    {
        RECT rect = {};
        GetWindowRect(Window(), &rect);
        return rect;
    }

    // The records of the last search, newest first.
    const FoundFile* Records() const { return app->searcher != nullptr ? app->searcher->FoundFiles() : nullptr; }

    int RecordCount() const
    {
        int count = 0;
        for (const FoundFile* record = Records(); record != nullptr; record = record->next)
            ++count;
        return count;
    }

    PrivateUserRegistry registry;  // first made, last gone
    SearchApp* app;
    HRESULT started = E_FAIL;
    bool quit = false;
    int idlePasses = 0;
    char startFolder[MAX_PATH] = {};
};

// While alive, finds the error box ("#32770" captioned "Trovik") from a
// thread timer, which runs inside the box's own modal loop, records its
// text, icon and buttons and dismisses it by posting IDOK. Any other box
// fails the test within seconds.
class ErrorBoxWatcher {
public:
    ErrorBoxWatcher()
    {
        current = this;
        timer = SetTimer(nullptr, 0, 30, OnTimer);
    }
    ~ErrorBoxWatcher()
    {
        KillTimer(nullptr, timer);
        current = nullptr;
    }
    ErrorBoxWatcher(const ErrorBoxWatcher&) = delete;
    ErrorBoxWatcher& operator=(const ErrorBoxWatcher&) = delete;

    int boxesSeen = 0;
    std::string text;
    bool errorIcon = false;    // the system's error icon, as MB_ICONERROR shows
    std::vector<int> buttons;  // the ids of the buttons shown

private:
    static BOOL CALLBACK CollectParts(HWND child, LPARAM data)
    {
        char className[32] = {};
        GetClassNameA(child, className, sizeof className);
        char text[1024] = {};
        GetWindowTextA(child, text, sizeof text);
        ErrorBoxWatcher* watcher = reinterpret_cast<ErrorBoxWatcher*>(data);
        if (lstrcmpiA(className, "Static") == 0 && text[0] != 0)
            watcher->text.append(text);
        if (lstrcmpiA(className, "Static") == 0 &&
            SendMessageA(child, STM_GETICON, 0, 0) == reinterpret_cast<LRESULT>(LoadIcon(nullptr, IDI_ERROR)))
            watcher->errorIcon = true;
        if (lstrcmpiA(className, "Button") == 0 && IsWindowVisible(child))
            watcher->buttons.push_back(GetDlgCtrlID(child));
        return TRUE;
    }

    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
    {
        if (current == nullptr)
            return;
        // Tests run side by side: only a box of this thread counts.
        HWND box = nullptr;
        do
            box = FindWindowExA(nullptr, box, "#32770", "Trovik");
        while (box != nullptr && GetWindowThreadProcessId(box, nullptr) != GetCurrentThreadId());
        if (box == nullptr || !IsWindowVisible(box))
            return;
        if (box == current->lastBox)
            return;  // already dismissed, not yet gone
        current->lastBox = box;
        ++current->boxesSeen;
        current->text.clear();
        current->errorIcon = false;
        current->buttons.clear();
        EnumChildWindows(box, CollectParts, reinterpret_cast<LPARAM>(current));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }

    static inline ErrorBoxWatcher* current = nullptr;
    UINT_PTR timer = 0;
    HWND lastBox = nullptr;
    ModalWatchdog watchdog{3000};
};
