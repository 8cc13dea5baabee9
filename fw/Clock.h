// CClock: the time, the timers and the waits of the GUI thread, behind one
// interface, so that unit tests can run the read-out timer and the erase's
// pause on a clock of their own (AfxSetClock). The class itself is the
// system's clock.
#pragma once

#include <windows.h>

class CClock {
public:
    virtual ~CClock() = default;

    // Milliseconds of the wall clock since 1601 (UTC): its seconds change
    // when the time of day's seconds do.
    virtual ULONGLONG Now();
    // The time zone that local dates are told in; nullptr: the PC's own.
    virtual const TIME_ZONE_INFORMATION* TimeZone() { return nullptr; }
    // Returns when a message arrives for the thread, or after `ms` at the latest.
    virtual void WaitForMessage(DWORD ms);
    // A timer of `window` that posts WM_TIMER `id` every `ms`.
    virtual void SetTimer(HWND window, UINT_PTR id, UINT ms);
    virtual void KillTimer(HWND window, UINT_PTR id);
    // Keeps the PC from going to sleep while `on` (the idle timer does not see
    // a serial line's traffic).
    virtual void KeepAwake(bool on);
};

CClock& AfxClock();
void AfxSetClock(CClock* clock);  // nullptr: the system's clock again
