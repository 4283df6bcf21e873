// The loop that interleaves the thread's messages with slices of idle steps.
#include "search/StepLoop.h"

namespace {

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// The performance counter's ticks in one slice.
LONGLONG SliceTicks()
{
    static LONGLONG ticks = 0;
    if (ticks == 0) {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        ticks = frequency.QuadPart * kSliceMicroseconds / 1000000;
        if (ticks < 1)
            ticks = 1;
    }
    return ticks;
}

}  // namespace

void RunStepLoop(IdleWork& work, HWND dialog)
{
    while (!work.Done()) {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            const BOOL got = GetMessageW(&message, nullptr, 0, 0);
            if (got == 0)
                break;
            if (got == -1)  // nothing was taken; there is nothing to dispatch
                continue;
            if (dialog != nullptr && IsDialogMessageW(dialog, &message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
            continue;
        }
        // A slice: idle steps until one reports nothing to do or the slice is
        // used up. Each idle step looks at the stop first, so a pending stop
        // is carried out before any further step.
        const LONGLONG sliceEnd = Now() + SliceTicks();
        int more;
        do
            more = work.OnIdle();
        while (more && Now() < sliceEnd);
        if (!more && !work.Done())
            WaitMessage();
    }
}
