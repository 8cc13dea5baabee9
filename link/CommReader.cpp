#include "link/CommReader.h"

#include "link/CommEvents.h"
#include "link/LinkVerdict.h"

#include <algorithm>

namespace {
// A read that ends this much earlier than its timeout (1 s) without data says nothing.
constexpr ULONGLONG kAtOnceMillis = 50;
// A slow line brings its bytes one by one: after a small read the reader
// gathers a few before the next, which costs far more than the bytes.
constexpr DWORD kSmallRead = 64;
constexpr DWORD kGatherMillis = 50;
// While a port answers with nothing but aborts or empty reads, never faster than this.
constexpr DWORD kRetryMillis = 20;

class CLock {
public:
    explicit CLock(CRITICAL_SECTION& section) : m_section(section) { EnterCriticalSection(&m_section); }
    ~CLock() { LeaveCriticalSection(&m_section); }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

private:
    CRITICAL_SECTION& m_section;
};
}  // namespace

CCommReader::CCommReader(std::shared_ptr<CPortIo> io, HWND notify, UINT wakeMessage, size_t capacity)
    : m_io(std::move(io)), m_hNotify(notify), m_nWakeMessage(wakeMessage), m_nCapacity(capacity)
{
    InitializeCriticalSection(&m_lock);
    m_hStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_hSpace = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

CCommReader::~CCommReader()
{
    m_io->Close();
    if (m_hThread)
        CloseHandle(m_hThread);
    CloseHandle(m_hStop);
    CloseHandle(m_hSpace);
    DeleteCriticalSection(&m_lock);
}

bool CCommReader::Start()
{
    // The thread holds the reader too, for as long as it runs.
    auto* self = new std::shared_ptr<CCommReader>(shared_from_this());
    m_hThread = CreateThread(nullptr, 0, ThreadMain, self, 0, nullptr);
    if (!m_hThread) {
        delete self;
        return false;
    }
    return true;
}

bool CCommReader::Stop(DWORD timeoutMs)
{
    SetEvent(m_hStop);
    return !m_hThread || WaitForSingleObject(m_hThread, timeoutMs) == WAIT_OBJECT_0;
}

DWORD WINAPI CCommReader::ThreadMain(void* param)
{
    std::unique_ptr<std::shared_ptr<CCommReader>> self(static_cast<std::shared_ptr<CCommReader>*>(param));
    // Nothing leaves the thread: whatever the port layer throws ends the reading
    // as a lost port would, once every byte received before has had its event.
    try {
        (*self)->Run();
    } catch (...) {
        (*self)->MarkLost(true);
    }
    return 0;
}

// ---- The reader thread ----------------------------------------------------------

bool CCommReader::WaitForRoom(size_t* room)
{
    for (;;) {
        {
            CLock lock(m_lock);
            *room = m_nCapacity > m_input.size() ? m_nCapacity - m_input.size() : 0;
            m_bReaderWaiting = *room == 0;
        }
        if (*room > 0)
            return WaitForSingleObject(m_hStop, 0) != WAIT_OBJECT_0;
        // The GUI thread has not taken what came; let the driver hold the rest.
        HANDLE waits[] = { m_hStop, m_hSpace };
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0)
            return false;
    }
}

void CCommReader::Run()
{
    CLossWatch watch;
    size_t room;
    while (WaitForRoom(&room)) {
        // Line errors, and how much is waiting. A read asks for exactly that much,
        // or for one byte when nothing waits: some drivers hold a larger read back
        // until the line falls silent, whatever the timeouts say. A driver that
        // cannot tell gets a read of a whole chunk, which its timeouts end.
        DWORD lineErrors = 0, waiting = 0;
        const CPortIo::Result status = m_io->Status(&lineErrors, &waiting);
        const Verdict statusVerdict = Judge({ PortCall::Status, status.error, 0, false });
        if (statusVerdict == Verdict::Lost)
            return MarkLost();
        const bool known = statusVerdict == Verdict::Idle;
        if (known && lineErrors)
            AddLineErrors(lineErrors);
        const DWORD want = static_cast<DWORD>(
            std::min<size_t>(std::min<size_t>(room, CPortIo::kBufferSize), known ? std::max<DWORD>(waiting, 1) : room));

        const ULONGLONG start = m_io->Now();
        const CPortIo::Result read = m_io->Read(want, m_hStop);
        if (read.stopped)
            return;
        const ULONGLONG end = m_io->Now();
        const bool atOnce = !read.waited || end - start < kAtOnceMillis;
        // A driver that says it read more than it was asked for put no more than that into the buffer.
        const DWORD bytes = std::min(read.bytes, want);
        Deliver(read, bytes, end);

        switch (Judge({ PortCall::Read, read.error, bytes, atOnce })) {
        case Verdict::Lost:
            return MarkLost();
        case Verdict::Data:
            watch.Alive();
            // Gather after a small read, unless the driver could not say what
            // waits, or had bytes it did not own up to: it said none waited,
            // yet the read found one at once. Such a driver is read at once
            // again, so that its count never caps the rate.
            if (known && bytes < kSmallRead && !(waiting == 0 && !read.waited) &&
                m_io->Pause(kGatherMillis, m_hStop))
                return;
            break;
        case Verdict::Idle:
            watch.Alive();
            break;
        case Verdict::Retry:
            if (watch.Suspect(m_io->Now())) {
                if (Judge({ PortCall::Probe, m_io->Probe(), 0, false }) == Verdict::Lost)
                    return MarkLost();
                watch.Probed(m_io->Now());
            }
            if (m_io->Pause(kRetryMillis, m_hStop))
                return;
            break;
        }
    }
}

void CCommReader::AddLineErrors(DWORD lineErrors)
{
    {
        CLock lock(m_lock);
        static const struct { DWORD flag; short event; } kLineErrors[] = {
            { CE_BREAK, CCommEvents::comEventBreak },     { CE_FRAME, CCommEvents::comEventFrame },
            { CE_OVERRUN, CCommEvents::comEventOverrun }, { CE_RXOVER, CCommEvents::comEventRxOver },
            { CE_RXPARITY, CCommEvents::comEventRxParity },
        };
        for (const auto& e : kLineErrors)
            if (lineErrors & e.flag)
                m_pendingEvents.push_back(e.event);
    }
    PostWake();
}

void CCommReader::Deliver(const CPortIo::Result& read, DWORD bytes, ULONGLONG now)
{
    bool wake = bytes > 0;
    {
        CLock lock(m_lock);
        // Issued before the last discard's purge: whatever it brought, bytes or an
        // abort, belongs to what the discard dropped.
        if (read.purges != m_nPurges)
            return;
        const size_t before = m_input.size();
        m_input.insert(m_input.end(), m_io->Buffer(), m_io->Buffer() + bytes);
        const size_t after = m_input.size();
        if (m_nThreshold > 0 && after >= static_cast<size_t>(m_nThreshold)) {
            // One event for every byte that arrives while the threshold is met.
            const size_t from = std::max(before, static_cast<size_t>(m_nThreshold) - 1);
            m_nPendingReceive += static_cast<unsigned long>(after - from);
        }
        if (read.error == 0 || read.error == ERROR_TIMEOUT) {
            m_bFailing = m_bFailingRaised = false;
        } else {
            ++m_nFailedReads;
            if (!m_bFailing) {
                m_bFailing = true;
                m_failingSince = now;
            } else if (!m_bFailingRaised && now - m_failingSince >= kFailingMillis) {
                // Once a streak: the port still answers the probe, so it is not lost.
                m_bFailingRaised = true;
                m_pendingEvents.push_back(CCommEvents::comEventReadsFailing);
                wake = true;
            }
        }
    }
    if (wake)
        PostWake();
}

void CCommReader::MarkLost(bool unexpected)
{
    {
        CLock lock(m_lock);
        m_bLost = true;
        m_bUnexpected = unexpected;
    }
    PostWake();
}

void CCommReader::PostWake()
{
    // A post that failed left no wake in the queue: the next one must be posted.
    if (InterlockedExchange(&m_nWakePosted, 1) == 0 && !PostMessageW(m_hNotify, m_nWakeMessage, 0, 0))
        InterlockedExchange(&m_nWakePosted, 0);
}

// ---- The GUI thread's side --------------------------------------------------------

void CCommReader::SetThreshold(short threshold)
{
    CLock lock(m_lock);
    m_nThreshold = threshold;
}

std::string CCommReader::Take(size_t count)
{
    std::string taken;
    bool wake;
    {
        CLock lock(m_lock);
        if (count == 0 || count > m_input.size())
            count = m_input.size();
        taken.assign(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(count));
        m_input.erase(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(count));
        // Waking the reader costs a trip through the system: only when it waits.
        wake = count > 0 && m_bReaderWaiting;
        if (wake)
            m_bReaderWaiting = false;
    }
    if (wake)
        SetEvent(m_hSpace);
    return taken;
}

size_t CCommReader::Waiting()
{
    CLock lock(m_lock);
    return m_input.size();
}

void CCommReader::Discard()
{
    // The driver first: once its buffer is dropped and the read in flight
    // aborted, every byte of before is here or in a read counted as issued
    // before this purge, which Deliver drops.
    const unsigned long purges = m_io->Purge(PURGE_RXABORT | PURGE_RXCLEAR);
    {
        CLock lock(m_lock);
        m_nPurges = purges;
        m_input.clear();
        m_nPendingReceive = 0;
        m_pendingEvents.clear();
        m_bReaderWaiting = false;
        m_nFailedReads = 0;
        m_bFailing = m_bFailingRaised = false;
    }
    SetEvent(m_hSpace);
}

bool CCommReader::EndedUnexpectedly()
{
    CLock lock(m_lock);
    return m_bUnexpected;
}

unsigned long CCommReader::FailedReads()
{
    CLock lock(m_lock);
    return m_nFailedReads;
}

bool CCommReader::NextEvent(short* event)
{
    CLock lock(m_lock);
    if (!m_pendingEvents.empty()) {
        *event = m_pendingEvents.front();
        m_pendingEvents.pop_front();
    } else if (m_nPendingReceive > 0) {
        --m_nPendingReceive;
        *event = CCommEvents::comEvReceive;
    } else if (m_bLost) {
        m_bLost = false;
        *event = CCommEvents::comEventPortLost;
    } else {
        return false;
    }
    return true;
}
