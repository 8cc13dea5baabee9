#include "fw/Clock.h"

namespace {
CClock g_systemClock;
CClock* g_pClock = &g_systemClock;
}  // namespace

CClock& AfxClock() { return *g_pClock; }
void AfxSetClock(CClock* clock) { g_pClock = clock ? clock : &g_systemClock; }

ULONGLONG CClock::Now()
{
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return ((static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime) / 10000;
}

void CClock::WaitForMessage(DWORD ms)
{
    ::MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void CClock::SetTimer(HWND window, UINT_PTR id, UINT ms) { ::SetTimer(window, id, ms, nullptr); }
void CClock::KillTimer(HWND window, UINT_PTR id) { ::KillTimer(window, id); }

void CClock::KeepAwake(bool on)
{
    ::SetThreadExecutionState(on ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
}
