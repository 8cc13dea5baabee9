#include "link/MSComm.h"

#include "fw/App.h"
#include "fw/Exception.h"
#include "fw/fwres.h"
#include "link/CommReader.h"
#include "link/CommSettings.h"
#include "link/LinkVerdict.h"
#include "link/PortIo.h"
#include "res/messages.h"

#include <climits>

namespace {
// Posted to the control by its reader: received bytes, line errors or the loss wait.
constexpr UINT kWakeMessage = WM_APP + 0x3F01;
// Events raised per wake message; the rest follow in the next one, so that
// the GUI thread's other messages keep flowing during a long burst.
constexpr int kEventsPerWake = 512;
// An open that takes longer than this dispatches the thread's messages while it waits.
constexpr DWORD kSlowOpenMillis = 250;

// An open on a thread of its own, which keeps the job alive. A job the control
// gave up on closes the port it opened after all.
struct OpenJob {
    std::shared_ptr<CPortIo> io;
    int port = 0;
    DWORD error = 0;
    enum : LONG { running, done, givenUp };
    volatile LONG state = running;
};

DWORD WINAPI OpenMain(void* param)
{
    const std::unique_ptr<std::shared_ptr<OpenJob>> holder(static_cast<std::shared_ptr<OpenJob>*>(param));
    OpenJob& job = **holder;
    job.error = job.io->Open(job.port);
    if (InterlockedCompareExchange(&job.state, OpenJob::done, OpenJob::running) == OpenJob::givenUp && job.error == 0)
        job.io->Close();
    return 0;
}
}  // namespace

BEGIN_MESSAGE_MAP(CMSComm, CWnd)
    ON_MESSAGE(kWakeMessage, OnWake)
    ON_MESSAGE(WM_NCDESTROY, OnNcDestroy)
END_MESSAGE_MAP()

CMSComm::CMSComm() : m_makePortIo([] { return CreateWin32PortIo(); }) {}

CMSComm::~CMSComm()
{
    ClosePort();
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

BOOL CMSComm::Create(const char* windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateEx(0, L"CMSComm", windowName ? windowName : "", style | WS_CHILD, rect,
                    parent ? parent->m_hWnd : nullptr, id);
}

// ---- Errors ------------------------------------------------------------------

void CMSComm::ThrowPortError(UINT messageId, DWORD error, bool unusable) const
{
    std::wstring text = LoadMessage(messageId, { Decimal(m_nCommPort) });
    if (error != 0)
        text += L"\n\n" + SystemErrorText(error);
    if (unusable)
        throw CPortUnusable(text);
    throw CException(text);
}

void CMSComm::RequireOpen()
{
    if (GetPortOpen())
        return;
    ThrowPortError(m_bLost ? IDS_PORT_LOST : IDS_PORT_NOT_OPEN, 0);
}

// ---- Properties --------------------------------------------------------------

void CMSComm::SetCommPort(short port)
{
    if (GetPortOpen())
        ThrowPortError(IDS_PORT_OPEN_NO_CHANGE, 0);
    m_nCommPort = port;
    m_bLost = false;
}

void CMSComm::SetSettings(const CString& settings)
{
    CommSettings parsed;
    if (!ParseCommSettings(settings, parsed))
        throw CException(LoadMessage(IDS_SETTINGS_INVALID, { Widen(settings) }));
    if (GetPortOpen()) {
        if (const DWORD error = m_io->Configure(parsed, static_cast<DWORD>(m_nInBufferSize)))
            ThrowPortError(IDS_PORT_NOT_CONFIGURED, error);
    }
    m_strSettings = settings;
}

void CMSComm::SetInBufferSize(short size)
{
    if (GetPortOpen())
        ThrowPortError(IDS_PORT_OPEN_NO_BUFFER, 0);
    if (size <= 0)
        throw CException(LoadMessage(IDS_BUFFER_SIZE_INVALID, { Decimal(size) }));
    m_nInBufferSize = size;
}

void CMSComm::SetInputLen(short length)
{
    m_nInputLen = length < 0 ? 0 : length;
}

void CMSComm::SetRThreshold(short threshold)
{
    m_nRThreshold = threshold < 0 ? 0 : threshold;
    if (m_reader)
        m_reader->SetThreshold(m_nRThreshold);
}

// ---- Opening and closing -----------------------------------------------------

void CMSComm::SetPortOpen(BOOL open)
{
    if (!open) {
        ClosePort();
        m_bLost = false;
        return;
    }
    if (GetPortOpen() || m_bOpening)
        ThrowPortError(IDS_PORT_ALREADY_OPEN, 0);
    if (!m_hWnd)
        throw CException(LoadMessage(IDS_CONTROL_NOT_READY));
    if (m_nCommPort < 1 || m_nCommPort > 255)
        throw CPortUnusable(LoadMessage(IDS_PORT_NUMBER_INVALID, { Decimal(m_nCommPort) }));
    CommSettings settings;
    ParseCommSettings(m_strSettings, settings);  // checked when it was set

    std::shared_ptr<CPortIo> io = m_makePortIo();
    DWORD error = 0;
    if (!OpenAside(io, &error))
        return;  // closed meanwhile: the window is going
    if (error) {
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_BAD_PATHNAME ||
            error == ERROR_INVALID_NAME || error == ERROR_BAD_UNIT || error == ERROR_DEV_NOT_EXIST)
            ThrowPortError(IDS_PORT_NOT_THERE, error, true);
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_BUSY) {
            // Not another program: our own reader of before, whose read the driver never gave back.
            if (error == ERROR_ACCESS_DENIED && m_nHeldPort == m_nCommPort && !m_heldReader.expired())
                ThrowPortError(IDS_PORT_HELD, error, true);
            ThrowPortError(IDS_PORT_BUSY, error, true);
        }
        ThrowPortError(IDS_PORT_CANNOT_OPEN, error, true);
    }
    // A port that opens but refuses its settings is no lost one, whatever the error says.
    if ((error = io->Configure(settings, static_cast<DWORD>(m_nInBufferSize))) != 0) {
        io->Close();
        ThrowPortError(IDS_PORT_NOT_CONFIGURED, error, true);
    }
    auto reader = std::make_shared<CCommReader>(io, m_hWnd, kWakeMessage, static_cast<size_t>(m_nInBufferSize));
    reader->SetThreshold(m_nRThreshold);
    if (!reader->Start())
        ThrowPortError(IDS_PORT_CANNOT_OPEN, GetLastError());
    m_io = std::move(io);
    m_reader = std::move(reader);
    m_bLost = m_bLostUnexpectedly = false;
    m_nFailedReads = 0;
}

bool CMSComm::OpenAside(const std::shared_ptr<CPortIo>& io, DWORD* error)
{
    auto job = std::make_shared<OpenJob>();
    job->io = io;
    job->port = m_nCommPort;
    auto* param = new std::shared_ptr<OpenJob>(job);
    const HANDLE thread = ::CreateThread(nullptr, 0, OpenMain, param, 0, nullptr);
    if (!thread) {
        delete param;
        *error = io->Open(m_nCommPort);
        return true;
    }
    // A Bluetooth port can take 20 s to open or to fail: meanwhile the window
    // paints and can be moved, and a close gives the open up.
    m_bOpening = true;
    m_bOpenGivenUp = false;
    if (::WaitForSingleObject(thread, kSlowOpenMillis) == WAIT_TIMEOUT) {
        if (m_slowOpen)
            m_slowOpen(true);
        while (!m_bOpenGivenUp &&
               ::MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) != WAIT_OBJECT_0) {
            MSG msg;
            while (!m_bOpenGivenUp && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        if (m_slowOpen)
            m_slowOpen(false);
    }
    ::CloseHandle(thread);
    m_bOpening = false;
    if (m_bOpenGivenUp) {
        // Done after all, but no longer wanted: closed here, else by the thread.
        if (InterlockedCompareExchange(&job->state, OpenJob::givenUp, OpenJob::running) == OpenJob::done &&
            job->error == 0)
            io->Close();
        return false;
    }
    *error = job->error;
    return true;
}

void CMSComm::Reconnect()
{
    if (!m_bLost || GetPortOpen())
        return;
    try {
        SetPortOpen(TRUE);
    } catch (const CException& e) {
        m_bLost = true;
        throw CPortUnusable(LoadMessage(IDS_PORT_NOT_BACK, { Decimal(m_nCommPort) }) + L"\n\n" + e.GetDescription());
    }
}

void CMSComm::ClosePort()
{
    m_bOpenGivenUp = m_bOpening;
    if (!m_reader)
        return;
    m_nFailedReads = m_reader->FailedReads();
    m_heldReader = m_reader;
    m_nHeldPort = m_nCommPort;
    // A reader that does not end in time is left to end on its own; it keeps
    // the port, and closes it, until then. The window never waits longer.
    if (m_reader->Stop(kAnswerMillis))
        m_io->Close();
    m_reader.reset();
    m_io.reset();
}

std::wstring CMSComm::GetLossReason() const
{
    return m_bLost && m_bLostUnexpectedly ? LoadMessage(IDS_FW_UNEXPECTED) : std::wstring();
}

void CMSComm::LosePort()
{
    // Closed at once, so that a re-plugged adapter can have its name back.
    ClosePort();
    m_bLost = true;
}

LRESULT CMSComm::OnNcDestroy(WPARAM, LPARAM)
{
    ClosePort();
    return Default();
}

// ---- Buffers, output and input -------------------------------------------------

void CMSComm::DiscardInput()
{
    RequireOpen();
    m_reader->Discard();
}

unsigned long CMSComm::GetFailedReads() const
{
    return m_reader ? m_reader->FailedReads() : m_nFailedReads;
}

short CMSComm::GetInBufferCount()
{
    return m_reader ? static_cast<short>(m_reader->Waiting()) : 0;
}

void CMSComm::DiscardOutput()
{
    RequireOpen();
    m_io->Purge(PURGE_TXCLEAR | PURGE_TXABORT);
}

void CMSComm::SetOutput(const CString& data)
{
    RequireOpen();
    // Some drivers refuse writes while a line error waits to be taken: it is
    // taken here, and raised as the reader would have raised it.
    DWORD lineErrors = 0, waiting = 0;
    if (m_io->Status(&lineErrors, &waiting).error == 0 && lineErrors)
        m_reader->AddLineErrors(lineErrors);
    const CPortIo::Result result =
        m_io->Write(data.GetString(), static_cast<DWORD>(data.GetLength()), kAnswerMillis);
    Verdict verdict = Judge({ PortCall::Write, result.error, result.bytes, false });
    // An answer that tells nothing for sure: the device itself is asked.
    if (verdict == Verdict::Retry && Judge({ PortCall::Probe, m_io->Probe(), 0, false }) == Verdict::Lost)
        verdict = Verdict::Lost;
    switch (verdict) {
    case Verdict::Data:
        return;
    case Verdict::Lost:
        // The reader would find the same in a moment; the port goes now.
        LosePort();
        ThrowPortError(IDS_PORT_LOST, result.error);
    default:
        ThrowPortError(IDS_PORT_NO_ANSWER, result.error);
    }
}

CString CMSComm::GetInput()
{
    RequireOpen();
    return CString(m_reader->Take(static_cast<size_t>(m_nInputLen)));
}

// ---- The GUI side of the reader --------------------------------------------------

bool CMSComm::RaiseEvents(std::shared_ptr<CCommReader> reader, int most)
{
    for (int i = 0; i < most && reader == m_reader; ++i) {
        short event;
        if (!reader->NextEvent(&event))
            return false;
        // Every byte received before the loss has had its event.
        if (event == comEventPortLost) {
            m_bLostUnexpectedly = reader->EndedUnexpectedly();
            LosePort();
        }
        m_nCommEvent = event;
        FireEvent(dispidOnComm);
    }
    return reader == m_reader;
}

LRESULT CMSComm::OnWake(WPARAM, LPARAM)
{
    // The reader of a port closed meanwhile may still have posted one.
    std::shared_ptr<CCommReader> reader = m_reader;
    if (!reader)
        return 0;
    reader->WakeTaken();
    if (RaiseEvents(reader, kEventsPerWake))
        reader->PostWake();
    return 0;
}

void CMSComm::DeliverReceived()
{
    // What the reader has taken in, and what it gathers from the driver
    // within one more gather (50 ms): the program is about to close the port.
    RaiseEvents(m_reader, INT_MAX);
    for (int round = 0; round < 2 && m_reader; ++round) {
        ::Sleep(30);
        RaiseEvents(m_reader, INT_MAX);
    }
}
