// Ends a dialog box of this thread that nobody answers: a message box or
// folder browser that a test's own helper does not recognise would otherwise
// hold the test in its modal loop until the run's time limit.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

class ModalWatchdog {
public:
    // Windows of the thread that exist now are left alone; a dialog box shown
    // later that stays open longer than limitMs fails the test and is closed.
    explicit ModalWatchdog(DWORD limitMs) : limit(limitMs)
    {
        EnumThreadWindows(GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(&before));
        current = this;
        timer = SetTimer(nullptr, 0, 100, OnTimer);
    }
    ~ModalWatchdog()
    {
        KillTimer(nullptr, timer);
        current = nullptr;
    }
    ModalWatchdog(const ModalWatchdog&) = delete;
    ModalWatchdog& operator=(const ModalWatchdog&) = delete;

    int windowsClosed = 0;

private:
    static BOOL CALLBACK Collect(HWND window, LPARAM list)
    {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
    }

    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
    {
        ModalWatchdog* self = current;
        if (self == nullptr)
            return;
        std::vector<HWND> windows;
        EnumThreadWindows(GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(&windows));
        HWND box = nullptr;
        for (HWND window : windows) {
            char className[16] = {};
            GetClassNameA(window, className, sizeof className);
            if (lstrcmpA(className, "#32770") == 0 && IsWindowVisible(window) &&
                std::find(self->before.begin(), self->before.end(), window) == self->before.end()) {
                box = window;
                break;
            }
        }
        if (box != self->watched) {
            self->watched = box;
            self->since = GetTickCount();
            return;
        }
        if (box == nullptr || GetTickCount() - self->since < self->limit)
            return;
        char caption[256] = {};
        GetWindowTextA(box, caption, sizeof caption);
        ADD_FAILURE() << "a dialog box \"" << caption << "\" stayed open for " << self->limit
                      << " ms with nobody to answer it; closed";
        ++self->windowsClosed;
        self->before.push_back(box);  // reported once
        self->watched = nullptr;
        PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
        PostMessageA(box, WM_CLOSE, 0, 0);
    }

    static inline ModalWatchdog* current = nullptr;
    DWORD limit;
    std::vector<HWND> before;
    HWND watched = nullptr;
    DWORD since = 0;
    UINT_PTR timer = 0;
};
