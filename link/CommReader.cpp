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
    (*self)->Run();
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
            Deliver(nullptr, 0, lineErrors);
        const DWORD want = static_cast<DWORD>(
            std::min<size_t>(std::min<size_t>(room, CPortIo::kBufferSize), known ? std::max<DWORD>(waiting, 1) : room));

        const ULONGLONG start = m_io->Now();
        const CPortIo::Result read = m_io->Read(want, m_hStop);
        if (read.stopped)
            return;
        const bool atOnce = !read.waited || m_io->Now() - start < kAtOnceMillis;
        if (read.bytes)
            Deliver(m_io->Buffer(), read.bytes, 0);

        switch (Judge({ PortCall::Read, read.error, read.bytes, atOnce })) {
        case Verdict::Lost:
            return MarkLost();
        case Verdict::Data:
            watch.Alive();
            // Gather after a small read, unless the driver could not say what
            // waits, or had bytes it did not own up to: it said none waited,
            // yet the read found one at once. Such a driver is read at once
            // again, so that its count never caps the rate.
            if (known && read.bytes < kSmallRead && !(waiting == 0 && !read.waited) &&
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

void CCommReader::Deliver(const char* data, DWORD count, DWORD lineErrors)
{
    {
        CLock lock(m_lock);
        const size_t before = m_input.size();
        if (count)
            m_input.insert(m_input.end(), data, data + count);
        const size_t after = m_input.size();
        if (m_nThreshold > 0 && after >= static_cast<size_t>(m_nThreshold)) {
            // One event for every byte that arrives while the threshold is met.
            const size_t from = std::max(before, static_cast<size_t>(m_nThreshold) - 1);
            m_nPendingReceive += static_cast<unsigned long>(after - from);
        }
        static const struct { DWORD flag; short event; } kLineErrors[] = {
            { CE_BREAK, CCommEvents::comEventBreak },     { CE_FRAME, CCommEvents::comEventFrame },
            { CE_OVERRUN, CCommEvents::comEventOverrun }, { CE_RXOVER, CCommEvents::comEventRxOver },
            { CE_RXPARITY, CCommEvents::comEventRxParity },
        };
        for (const auto& e : kLineErrors)
            if (lineErrors & e.flag)
                m_pendingErrors.push_back(e.event);
    }
    PostWake();
}

void CCommReader::MarkLost()
{
    {
        CLock lock(m_lock);
        m_bLost = true;
    }
    PostWake();
}

void CCommReader::PostWake()
{
    if (InterlockedExchange(&m_nWakePosted, 1) == 0)
        PostMessageW(m_hNotify, m_nWakeMessage, 0, 0);
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
    {
        CLock lock(m_lock);
        m_input.clear();
        m_nPendingReceive = 0;
        m_pendingErrors.clear();
        m_bReaderWaiting = false;
    }
    SetEvent(m_hSpace);
}

bool CCommReader::NextEvent(short* event)
{
    CLock lock(m_lock);
    if (!m_pendingErrors.empty()) {
        *event = m_pendingErrors.front();
        m_pendingErrors.pop_front();
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
