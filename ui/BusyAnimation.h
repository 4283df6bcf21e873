// The busy animation: frames of the digit strip drawn into the window's
// animation control on a timer while a search runs.
#pragma once

#include <windows.h>

enum { ANIMATION_TIMER_ID = 6348 };

class BusyAnimation {
public:
    BusyAnimation() = default;
    ~BusyAnimation();
    BusyAnimation(const BusyAnimation&) = delete;
    BusyAnimation& operator=(const BusyAnimation&) = delete;

    // Takes the digit strip from the module's bitmap resource.
    void Load(HINSTANCE instance);
    // The strip frames are drawn from; the animation owns it from here on.
    void SetStrip(HBITMAP digits);
    HBITMAP Strip() const { return strip; }

    // A frame on window's timer (ANIMATION_TIMER_ID) every 40 ms from now on.
    void Start(HWND window) const;
    // No more frames; the window's animation control repaints itself blank.
    void Stop(HWND window) const;
    // One frame into the window's animation control.
    void DrawFrame(HWND window) const;

private:
    HBITMAP strip = nullptr;
};
