// The thread's message loop while a walk is stepped from it: every waiting
// message first; when none waits, idle steps back to back for a slice; a
// wait only once a step has nothing more to do.
#pragma once

#include <windows.h>

// Steps run back to back for about this long before the queue is looked at
// again: under Wine each look is a round trip to the server, which would cost
// more than a small step itself, while a message still waits at most a slice.
const LONGLONG kSliceMicroseconds = 1000;

// What the loop advances between messages.
class IdleWork {
public:
    // One idle step: 1 when more work is ready now, 0 when nothing is until
    // the next message. A pending stop is carried out here, before any step.
    virtual int OnIdle() = 0;
    // Whether the loop may return; asked before each message and each slice.
    virtual bool Done() const { return false; }

protected:
    ~IdleWork() = default;
};

// Runs until the thread's quit message or until work is done. A message is
// offered to the dialog manager of dialog first (none when null). Messages
// are taken with the wide calls: a character typed into a Unicode text box
// reaches it whole, where the ANSI ones would turn it into the code page's "?".
void RunStepLoop(IdleWork& work, HWND dialog);
