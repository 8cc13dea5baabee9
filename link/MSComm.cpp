#include "link/MSComm.h"

#include "fw/Exception.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
// Posted to the control by the reader thread: received bytes or line errors wait.
constexpr UINT kWakeMessage = WM_APP + 0x3F01;
// Events raised per wake message; the rest follow in the next one, so that
// the GUI thread's other messages keep flowing during a long burst.
constexpr int kEventsPerWake = 512;
constexpr DWORD kReadChunk = 4096;
constexpr DWORD kSmallRead = 64;
constexpr DWORD kGatherMillis = 10;

class CLock {
public:
    explicit CLock(CRITICAL_SECTION& section) : m_section(section) { EnterCriticalSection(&m_section); }
    ~CLock() { LeaveCriticalSection(&m_section); }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

private:
    CRITICAL_SECTION& m_section;
};

bool IsLostPortError(DWORD error)
{
    // What a port reports once its device is gone: the cable or adapter pulled.
    return error == ERROR_NOT_READY || error == ERROR_BROKEN_PIPE || error == ERROR_INVALID_HANDLE ||
           error == ERROR_BAD_COMMAND || error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_GEN_FAILURE ||
           error == ERROR_ACCESS_DENIED || error == ERROR_FILE_NOT_FOUND;
}

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}
}  // namespace

bool ParseCommSettings(const char* text, CommSettings& settings)
{
    std::string fields[4];
    int count = 0;
    for (const char* p = text;; ++p) {
        if (*p == ',' || *p == '\0') {
            if (count == 4)
                return false;
            ++count;
            if (*p == '\0')
                break;
        } else if (count < 4) {
            fields[count] += *p;
        }
    }
    if (count != 4)
        return false;
    for (std::string& field : fields)
        field = Trim(field);

    CommSettings result;
    const std::string& baud = fields[0];
    if (baud.empty() || baud.size() > 7 || baud.find_first_not_of("0123456789") != std::string::npos)
        return false;
    result.baudRate = static_cast<DWORD>(std::strtoul(baud.c_str(), nullptr, 10));
    if (result.baudRate == 0)
        return false;

    if (fields[1].size() != 1)
        return false;
    switch (fields[1][0]) {
    case 'N': case 'n': result.parity = NOPARITY; break;
    case 'O': case 'o': result.parity = ODDPARITY; break;
    case 'E': case 'e': result.parity = EVENPARITY; break;
    case 'M': case 'm': result.parity = MARKPARITY; break;
    case 'S': case 's': result.parity = SPACEPARITY; break;
    default: return false;
    }

    if (fields[2].size() != 1 || fields[2][0] < '4' || fields[2][0] > '8')
        return false;
    result.byteSize = static_cast<BYTE>(fields[2][0] - '0');

    if (fields[3] == "1")
        result.stopBits = ONESTOPBIT;
    else if (fields[3] == "1.5")
        result.stopBits = ONE5STOPBITS;
    else if (fields[3] == "2")
        result.stopBits = TWOSTOPBITS;
    else
        return false;

    settings = result;
    return true;
}

BEGIN_MESSAGE_MAP(CMSComm, CWnd)
    ON_MESSAGE(kWakeMessage, OnWake)
    ON_MESSAGE(WM_NCDESTROY, OnNcDestroy)
END_MESSAGE_MAP()

CMSComm::CMSComm()
{
    InitializeCriticalSection(&m_lock);
    m_hStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_hSpace = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_hWriteDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

CMSComm::~CMSComm()
{
    ClosePort();
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
    CloseHandle(m_hStop);
    CloseHandle(m_hSpace);
    CloseHandle(m_hWriteDone);
    DeleteCriticalSection(&m_lock);
}

BOOL CMSComm::Create(const char* windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateEx(0, L"CMSComm", windowName ? windowName : "", style | WS_CHILD, rect,
                    parent ? parent->m_hWnd : nullptr, id);
}

// ---- Errors ------------------------------------------------------------------

void CMSComm::ThrowPortError(const char* whatDe, const char* whatEn, DWORD error) const
{
    CString text = FormatString("COM %d kann nicht %s werden.\nCOM %d cannot be %s.", m_nCommPort, whatDe,
                                m_nCommPort, whatEn);
    if (IsLostPortError(error) && GetPortOpen())
        text = FormatString("Die Verbindung \xFC" "ber COM %d ist unterbrochen (Kabel oder Adapter gezogen?).\n"
                            "The connection on COM %d is lost (cable or adapter unplugged?).",
                            m_nCommPort, m_nCommPort);
    throw CException(text + "\n\n" + SystemErrorText(error));
}

void CMSComm::RequireOpen(const char* whatDe, const char* whatEn)
{
    if (!GetPortOpen())
        throw CException(FormatString("COM %d ist nicht ge\xF6" "ffnet: es kann nicht %s werden.\n"
                                      "COM %d is not open: cannot %s.",
                                      m_nCommPort, whatDe, m_nCommPort, whatEn));
    if (IsPortLost())
        ThrowPortError(whatDe, whatEn, ERROR_NOT_READY);
}

// ---- Properties --------------------------------------------------------------

void CMSComm::SetCommPort(short port)
{
    if (GetPortOpen())
        throw CException(FormatString("COM %d ist ge\xF6" "ffnet; der Port kann jetzt nicht gewechselt werden.\n"
                                      "COM %d is open; the port cannot be changed now.",
                                      m_nCommPort, m_nCommPort));
    m_nCommPort = port;
}

void CMSComm::SetSettings(const CString& settings)
{
    CommSettings parsed;
    if (!ParseCommSettings(settings, parsed))
        throw CException(FormatString("Ung\xFCltige Einstellungen \"%s\" (Beispiel: 9600,N,8,1).\n"
                                      "Invalid settings \"%s\" (example: 9600,N,8,1).",
                                      settings.GetString(), settings.GetString()));
    if (GetPortOpen())
        ApplyLineSettings(parsed);
    m_strSettings = settings;
}

void CMSComm::SetInBufferSize(short size)
{
    if (GetPortOpen())
        throw CException(FormatString("COM %d ist ge\xF6" "ffnet; die Puffergr\xF6\xDF" "e kann jetzt nicht "
                                      "ge\xE4ndert werden.\nCOM %d is open; the buffer size cannot be changed now.",
                                      m_nCommPort, m_nCommPort));
    if (size <= 0)
        throw CException(FormatString("Ung\xFCltige Puffergr\xF6\xDF" "e %d.\nInvalid buffer size %d.", size, size));
    m_nInBufferSize = size;
}

void CMSComm::SetInputLen(short length)
{
    m_nInputLen = length < 0 ? 0 : length;
}

void CMSComm::SetRThreshold(short threshold)
{
    CLock lock(m_lock);
    m_nRThreshold = threshold < 0 ? 0 : threshold;
}

// ---- Opening and closing -----------------------------------------------------

void CMSComm::SetPortOpen(BOOL open)
{
    if (!open) {
        ClosePort();
        return;
    }
    if (GetPortOpen())
        throw CException(FormatString("COM %d ist bereits ge\xF6" "ffnet.\nCOM %d is already open.", m_nCommPort,
                                      m_nCommPort));
    if (!m_hWnd)
        throw CException("Die serielle Schnittstelle ist nicht bereit.\nThe serial control is not ready.");
    if (m_nCommPort < 1 || m_nCommPort > 255)
        throw CException(FormatString("Die Portnummer %d ist ung\xFCltig; m\xF6gliche Ports sind COM 1 bis COM 255.\n"
                                      "The port number %d is invalid; possible ports are COM 1 to COM 255.",
                                      m_nCommPort, m_nCommPort));
    CommSettings settings;
    ParseCommSettings(m_strSettings, settings);  // checked when it was set

    const CString name = FormatString("\\\\.\\COM%d", m_nCommPort);
    HANDLE port = CreateFileW(Widen(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        CString text;
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_BAD_PATHNAME ||
            error == ERROR_INVALID_NAME || error == ERROR_BAD_UNIT || error == ERROR_DEV_NOT_EXIST)
            text = FormatString("Die Schnittstelle COM %d gibt es nicht.\nThe port COM %d does not exist.",
                                m_nCommPort, m_nCommPort);
        else if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_BUSY)
            text = FormatString("COM %d ist belegt: ein anderes Programm benutzt die Schnittstelle.\n"
                                "COM %d is in use by another program.",
                                m_nCommPort, m_nCommPort);
        else
            text = FormatString("COM %d kann nicht ge\xF6" "ffnet werden.\nCOM %d cannot be opened.", m_nCommPort,
                                m_nCommPort);
        throw CException(text + "\n\n" + SystemErrorText(error));
    }

    m_hPort = port;
    m_nCapacity = static_cast<size_t>(m_nInBufferSize);
    SetupComm(port, m_nCapacity, m_nCapacity);
    COMMTIMEOUTS timeouts = {};
    // A read returns 10 ms after the last byte of a burst, at the latest after 200 ms.
    timeouts.ReadIntervalTimeout = 10;
    timeouts.ReadTotalTimeoutConstant = 200;
    timeouts.WriteTotalTimeoutMultiplier = 2;
    timeouts.WriteTotalTimeoutConstant = 2000;
    try {
        ApplyLineSettings(settings);
        if (!SetCommTimeouts(port, &timeouts))
            ThrowPortError("eingestellt", "configured", GetLastError());
    } catch (...) {
        CloseHandle(port);
        m_hPort = INVALID_HANDLE_VALUE;
        throw;
    }
    PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR);
    {
        CLock lock(m_lock);
        m_input.clear();
        m_nPendingReceive = 0;
        m_pendingErrors.clear();
        m_bLost = false;
    }
    ResetEvent(m_hStop);
    m_hThread = CreateThread(nullptr, 0, ReaderMain, this, 0, nullptr);
    if (!m_hThread) {
        const DWORD error = GetLastError();
        CloseHandle(port);
        m_hPort = INVALID_HANDLE_VALUE;
        ThrowPortError("ge\xF6" "ffnet", "opened", error);
    }
}

void CMSComm::ApplyLineSettings(const CommSettings& settings)
{
    DCB dcb = {};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(m_hPort, &dcb))
        ThrowPortError("eingestellt", "configured", GetLastError());
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = settings.byteSize;
    dcb.Parity = settings.parity;
    dcb.StopBits = settings.stopBits;
    dcb.fBinary = TRUE;
    dcb.fParity = settings.parity != NOPARITY;
    // No flow control of any kind; every byte, zero bytes too, is kept.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(m_hPort, &dcb))
        ThrowPortError("eingestellt", "configured", GetLastError());
}

void CMSComm::ClosePort()
{
    if (!GetPortOpen())
        return;
    SetEvent(m_hStop);
    if (m_hThread) {
        CancelIoEx(m_hPort, nullptr);
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    CloseHandle(m_hPort);
    m_hPort = INVALID_HANDLE_VALUE;
    CLock lock(m_lock);
    m_input.clear();
    m_nPendingReceive = 0;
    m_pendingErrors.clear();
    m_bLost = false;
}

LRESULT CMSComm::OnNcDestroy(WPARAM, LPARAM)
{
    ClosePort();
    return Default();
}

bool CMSComm::IsPortLost()
{
    CLock lock(m_lock);
    return m_bLost;
}

// ---- Buffers, output and input -------------------------------------------------

void CMSComm::SetInBufferCount(short)
{
    RequireOpen("geleert", "clear the input");
    {
        CLock lock(m_lock);
        m_input.clear();
        m_nPendingReceive = 0;
        m_pendingErrors.clear();
    }
    PurgeComm(m_hPort, PURGE_RXCLEAR);
    SetEvent(m_hSpace);
}

short CMSComm::GetInBufferCount()
{
    CLock lock(m_lock);
    return static_cast<short>(m_input.size());
}

void CMSComm::SetOutBufferCount(short)
{
    RequireOpen("geleert", "clear the output");
    PurgeComm(m_hPort, PURGE_TXCLEAR | PURGE_TXABORT);
}

void CMSComm::SetOutput(const CString& data)
{
    RequireOpen("gesendet", "send");
    OVERLAPPED overlapped = {};
    overlapped.hEvent = m_hWriteDone;
    ResetEvent(m_hWriteDone);
    DWORD written = 0;
    BOOL ok = WriteFile(m_hPort, data.GetString(), static_cast<DWORD>(data.GetLength()), nullptr, &overlapped);
    if (ok || GetLastError() == ERROR_IO_PENDING)
        ok = GetOverlappedResult(m_hPort, &overlapped, &written, TRUE);
    if (!ok)
        ThrowPortError("beschrieben", "written", GetLastError());
    if (written != static_cast<DWORD>(data.GetLength()))
        ThrowPortError("beschrieben", "written", ERROR_TIMEOUT);
}

CString CMSComm::GetInput()
{
    RequireOpen("gelesen", "read");
    std::string taken;
    bool wake;
    {
        CLock lock(m_lock);
        size_t count = m_input.size();
        if (m_nInputLen > 0)
            count = std::min(count, static_cast<size_t>(m_nInputLen));
        taken.assign(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(count));
        m_input.erase(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(count));
        // Waking the reader costs a trip through the system: only when it waits.
        wake = count > 0 && m_bReaderWaiting;
        if (wake)
            m_bReaderWaiting = false;
    }
    if (wake)
        SetEvent(m_hSpace);
    return CString(std::move(taken));
}

// ---- The reader thread and the GUI side of it ----------------------------------

DWORD WINAPI CMSComm::ReaderMain(void* self)
{
    static_cast<CMSComm*>(self)->ReadLoop();
    return 0;
}

void CMSComm::ReadLoop()
{
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    char buffer[kReadChunk];
    int abortedInRow = 0;
    for (;;) {
        size_t room;
        {
            CLock lock(m_lock);
            room = m_nCapacity > m_input.size() ? m_nCapacity - m_input.size() : 0;
            m_bReaderWaiting = room == 0;
        }
        if (room == 0) {
            // The GUI thread has not taken what came; let the driver hold the rest.
            HANDLE waits[] = { m_hStop, m_hSpace };
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0)
                break;
            continue;
        }

        // Line errors, and how much is waiting. A read asks for exactly that much,
        // or for one byte when nothing waits: some drivers hold a larger read back
        // until the line falls silent, whatever the timeouts say.
        DWORD lineErrors = 0;
        COMSTAT status = {};
        if (!ClearCommError(m_hPort, &lineErrors, &status)) {
            if (IsLostPortError(GetLastError())) {
                MarkLost();
                break;
            }
            lineErrors = 0;
            status.cbInQue = 0;
        }
        if (lineErrors)
            Deliver(nullptr, 0, lineErrors);
        const DWORD want = static_cast<DWORD>(std::min<size_t>(std::min<size_t>(room, kReadChunk),
                                                               std::max<DWORD>(status.cbInQue, 1)));

        ResetEvent(overlapped.hEvent);
        DWORD got = 0;
        DWORD error = 0;
        BOOL ok = ReadFile(m_hPort, buffer, want, nullptr, &overlapped);
        if (!ok && GetLastError() == ERROR_IO_PENDING) {
            HANDLE waits[] = { m_hStop, overlapped.hEvent };
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
                CancelIoEx(m_hPort, &overlapped);
                GetOverlappedResult(m_hPort, &overlapped, &got, TRUE);
                break;
            }
            ok = TRUE;
        }
        if (ok)
            ok = GetOverlappedResult(m_hPort, &overlapped, &got, FALSE);
        if (!ok)
            error = GetLastError();
        if (WaitForSingleObject(m_hStop, 0) == WAIT_OBJECT_0)
            break;
        if (got)
            Deliver(buffer, got, 0);
        // A slow line brings its bytes one by one: gather a few before the next
        // read, which costs far more than the bytes themselves.
        if (got > 0 && got < kSmallRead)
            Sleep(kGatherMillis);

        // An idle read ends with ERROR_TIMEOUT on some drivers, with 0 bytes on others.
        if (error == ERROR_OPERATION_ABORTED) {
            // A purge cut the read short; never retry in a tight loop.
            if (++abortedInRow > 3)
                Sleep(10);
        } else {
            abortedInRow = 0;
            if (error != 0 && error != ERROR_TIMEOUT) {
                MarkLost();
                break;
            }
        }
    }
    CloseHandle(overlapped.hEvent);
}

void CMSComm::Deliver(const char* data, DWORD count, DWORD errors)
{
    {
        CLock lock(m_lock);
        const size_t before = m_input.size();
        if (count)
            m_input.insert(m_input.end(), data, data + count);
        const size_t after = m_input.size();
        if (m_nRThreshold > 0 && after >= static_cast<size_t>(m_nRThreshold)) {
            // One event for every byte that arrives while the threshold is met.
            const size_t from = std::max(before, static_cast<size_t>(m_nRThreshold) - 1);
            m_nPendingReceive += static_cast<unsigned long>(after - from);
        }
        if (errors & CE_BREAK)
            m_pendingErrors.push_back(comEventBreak);
        if (errors & CE_FRAME)
            m_pendingErrors.push_back(comEventFrame);
        if (errors & CE_OVERRUN)
            m_pendingErrors.push_back(comEventOverrun);
        if (errors & CE_RXOVER)
            m_pendingErrors.push_back(comEventRxOver);
        if (errors & CE_RXPARITY)
            m_pendingErrors.push_back(comEventRxParity);
    }
    PostWake();
}

void CMSComm::MarkLost()
{
    CLock lock(m_lock);
    m_bLost = true;
}

void CMSComm::PostWake()
{
    if (InterlockedExchange(&m_nWakePosted, 1) == 0)
        PostMessageW(m_hWnd, kWakeMessage, 0, 0);
}

LRESULT CMSComm::OnWake(WPARAM, LPARAM)
{
    InterlockedExchange(&m_nWakePosted, 0);
    for (int i = 0; i < kEventsPerWake && GetPortOpen(); ++i) {
        short event;
        {
            CLock lock(m_lock);
            if (!m_pendingErrors.empty()) {
                event = m_pendingErrors.front();
                m_pendingErrors.pop_front();
            } else if (m_nPendingReceive > 0) {
                --m_nPendingReceive;
                event = comEvReceive;
            } else {
                return 0;
            }
        }
        m_nCommEvent = event;
        FireEvent(dispidOnComm);
    }
    bool more;
    {
        CLock lock(m_lock);
        more = m_nPendingReceive > 0 || !m_pendingErrors.empty();
    }
    if (more)
        PostWake();
    return 0;
}
