// The serial control's reader: a thread that takes what the port receives
// into the input buffer and wakes the GUI thread with one posted message
// while events wait. It only moves bytes; everything the program sees happens
// on the GUI thread, which takes the events and the bytes from here.
//
// The reader lives as long as its thread or its control needs it, whichever
// is longer: a driver that never gives a read back cannot leave the thread
// pointing at freed memory.
#pragma once

#include "link/PortIo.h"

#include <deque>
#include <memory>
#include <string>
#include <windows.h>

class CCommReader : public std::enable_shared_from_this<CCommReader> {
public:
    // Reads that keep failing while the port answers raise comEventReadsFailing
    // once they have failed this long, on the port's clock, without one good read.
    static constexpr ULONGLONG kFailingMillis = 5000;

    CCommReader(std::shared_ptr<CPortIo> io, HWND notify, UINT wakeMessage, size_t capacity);
    ~CCommReader();
    CCommReader(const CCommReader&) = delete;
    CCommReader& operator=(const CCommReader&) = delete;

    // Starts the thread; false when it could not be made.
    bool Start();
    // Tells the thread to end and waits up to `timeoutMs`; false when it did
    // not end in time (it then finishes on its own and frees the reader).
    bool Stop(DWORD timeoutMs);

    // ---- Called on the GUI thread (AddLineErrors and PostWake on both) ----
    void SetThreshold(short threshold);
    // Takes up to `count` received bytes (all with 0).
    std::string Take(size_t count);
    size_t Waiting();
    // Purges the driver's input, aborting the read in flight, then drops what
    // has been received and not read, with the events still pending for it:
    // no byte that came before is delivered after. Counts failed reads from 0.
    void Discard();
    // Line errors (CE_...) to raise as events; the GUI thread's own ClearCommError takes some.
    void AddLineErrors(DWORD lineErrors);
    // Reads that ended with an error other than a timeout since the last
    // Discard; aborts that a discard caused are not counted.
    unsigned long FailedReads();
    // The reading ended on an unexpected error, not on a lost port.
    bool EndedUnexpectedly();
    // The next event to raise (a CCommEvents value): a line error, a receive, or
    // the loss once every byte received before it has had its events; false when none waits.
    bool NextEvent(short* event);
    // The wake message has been taken: the next Deliver posts a new one.
    void WakeTaken() { InterlockedExchange(&m_nWakePosted, 0); }
    void PostWake();
    bool WakePending() const { return m_nWakePosted != 0; }  // for the tests

private:
    static DWORD WINAPI ThreadMain(void* param);
    void Run();
    bool WaitForRoom(size_t* room);
    // What a read brought, its first `bytes` bytes, unless a discard's purge came after it was issued.
    void Deliver(const CPortIo::Result& read, DWORD bytes, ULONGLONG now);
    // The port is gone, or the reading ended on an error nobody expected.
    void MarkLost(bool unexpected = false);

    // Set at construction, read by both threads.
    const std::shared_ptr<CPortIo> m_io;
    const HWND m_hNotify;
    const UINT m_nWakeMessage;
    const size_t m_nCapacity;
    HANDLE m_hThread = nullptr;
    HANDLE m_hStop = nullptr;    // manual-reset: the reader ends (set by the GUI thread)
    HANDLE m_hSpace = nullptr;   // auto-reset: the input buffer has room again (set by the GUI thread)

    // Shared, under m_lock; who writes each:
    CRITICAL_SECTION m_lock;
    std::deque<char> m_input;             // reader appends, GUI thread takes and discards
    unsigned long m_nPendingReceive = 0;  // reader adds, GUI thread takes and discards
    std::deque<short> m_pendingEvents;    // line errors and the failing reads: both add, GUI thread takes and discards
    short m_nThreshold = 0;               // GUI thread
    bool m_bLost = false;                 // reader
    bool m_bUnexpected = false;           // reader: m_bLost came from an unexpected error
    bool m_bReaderWaiting = false;        // reader sets it, the GUI thread clears it when it wakes the reader
    unsigned long m_nPurges = 0;          // GUI thread: the port's receive purges at the last discard
    unsigned long m_nFailedReads = 0;     // reader counts, GUI thread resets
    // A streak of failed reads, since its first, and whether it was told: reader, reset by the GUI thread.
    bool m_bFailing = false, m_bFailingRaised = false;
    ULONGLONG m_failingSince = 0;
    volatile LONG m_nWakePosted = 0;      // 1 while a wake message is in the queue: reader and GUI thread
};
