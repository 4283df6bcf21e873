// The busy animation drawn from the digit strip.
#include "ui/BusyAnimation.h"

#include <cstdlib>

#include "res/resource.h"

namespace {

// The digit strip: 16 bands of 10 rows, 70 pixels wide. From band 10 on it
// reads as from band 0, so a frame starting at band 10 or below stays inside.
const int kStripWidth = 70;
const int kBandHeight = 10;
const int kFrameHeight = 57;
const int kBandCount = 16;
const int kLastWholeBand = 10;

}  // namespace

BusyAnimation::~BusyAnimation()
{
    if (strip)
        DeleteObject(strip);
}

void BusyAnimation::Load(HINSTANCE instance)
{
    SetStrip(static_cast<HBITMAP>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDB_DIGITS), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
}

void BusyAnimation::SetStrip(HBITMAP digits)
{
    if (strip && strip != digits)
        DeleteObject(strip);
    strip = digits;
}

void BusyAnimation::Start(HWND window) const
{
    SetTimer(window, ANIMATION_TIMER_ID, 40, nullptr);
}

void BusyAnimation::Stop(HWND window) const
{
    HWND control = GetDlgItem(window, IDC_ANIMATION);
    if (control)
        InvalidateRect(control, nullptr, TRUE);
    KillTimer(window, ANIMATION_TIMER_ID);
}

// Draws one frame straight into the control: a 57-row window of the strip
// starting at a band boundary, stretched over the whole control. The band
// comes from the runtime's generator, which is never seeded, so every run
// shows the same sequence. A band past 10 is drawn from the band ten
// earlier, which holds the same digits, so a frame never reaches past the
// strip's last row.
void BusyAnimation::DrawFrame(HWND window) const
{
    HWND control = GetDlgItem(window, IDC_ANIMATION);
    if (!control || !strip)
        return;

    HDC controlDc = GetDC(control);
    if (!controlDc)
        return;
    RECT client;
    HDC memoryDc = nullptr;
    if (GetClientRect(control, &client))
        memoryDc = CreateCompatibleDC(controlDc);
    if (memoryDc) {
        HGDIOBJ previous = SelectObject(memoryDc, strip);
        if (previous && previous != HGDI_ERROR) {
            int band = rand() % kBandCount;
            if (band > kLastWholeBand)
                band -= kLastWholeBand;
            StretchBlt(controlDc, 0, 0, client.right, client.bottom, memoryDc, 0, band * kBandHeight,
                       kStripWidth, kFrameHeight, SRCCOPY);
            SelectObject(memoryDc, previous);
        }
        DeleteDC(memoryDc);
    }
    ReleaseDC(control, controlDc);
}
