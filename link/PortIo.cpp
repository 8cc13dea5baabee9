#include "link/PortIo.h"

#include <algorithm>
#include <cwchar>
#include <string>

namespace {

// Bounds the wait for a driver to give back a read or write it was told to
// cancel. A driver that ignores the cancel keeps its OVERLAPPED and buffer:
// they are left to it, never freed under it.
constexpr DWORD kCancelMillis = 1000;

// The DOS device list is read into at most this many characters (8 MB).
constexpr size_t kMostDeviceChars = size_t(1) << 22;

// The driver's own settings, with what this program needs put in: the line
// settings, binary mode, and no flow control of any kind. Everything else,
// the XON/XOFF limits among it, stays as the driver gave it: flow control is
// off, so they mean nothing here, and a driver may refuse limits beyond the
// buffer it really keeps.
void ApplyCommSettings(DCB& dcb, const CommSettings& settings)
{
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    // Every byte is kept, zero bytes and bytes with line errors too.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    // Some CDC and virtual drivers hand back 0 for both characters and then
    // refuse their own DCB.
    if (dcb.XonChar == dcb.XoffChar) {
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
    }
}

struct PendingIo {
    OVERLAPPED overlapped = {};
    char buffer[CPortIo::kBufferSize];  // what a read brings
    std::string output;                 // what a write sends
    PendingIo() { overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~PendingIo() { CloseHandle(overlapped.hEvent); }
    PendingIo(const PendingIo&) = delete;
    PendingIo& operator=(const PendingIo&) = delete;
};

class CWin32PortIo : public CPortIo {
public:
    explicit CWin32PortIo(const Win32PortCalls& calls) : m_calls(calls) { InitializeCriticalSection(&m_issue); }
    ~CWin32PortIo() override
    {
        Close();
        DeleteCriticalSection(&m_issue);
    }
    CWin32PortIo(const CWin32PortIo&) = delete;
    CWin32PortIo& operator=(const CWin32PortIo&) = delete;

    DWORD Open(int port) override
    {
        const std::wstring name = L"\\\\.\\COM" + std::to_wstring(port);
        m_hPort = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
        return m_hPort == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    }

    DWORD Configure(const CommSettings& settings, DWORD bufferSize) override
    {
        // A request: a driver may keep a buffer of its own size.
        SetupComm(m_hPort, bufferSize, bufferSize);
        DCB dcb = {};
        dcb.DCBlength = sizeof(dcb);
        if (!m_calls.getCommState(m_hPort, &dcb))
            return GetLastError();
        ApplyCommSettings(dcb, settings);
        if (!m_calls.setCommState(m_hPort, &dcb))
            return GetLastError();
        COMMTIMEOUTS timeouts = {};
        // A read returns 10 ms after the last byte of a burst, at the latest after
        // a second: an idle port costs a read a second, and closing never waits
        // for it (the reader's stop event ends the wait).
        timeouts.ReadIntervalTimeout = 10;
        timeouts.ReadTotalTimeoutConstant = 1000;
        timeouts.WriteTotalTimeoutMultiplier = 2;
        timeouts.WriteTotalTimeoutConstant = 2000;
        if (!m_calls.setCommTimeouts(m_hPort, &timeouts))
            return GetLastError();
        PurgeComm(m_hPort, PURGE_RXCLEAR | PURGE_TXCLEAR);
        return 0;
    }

    void Close() override
    {
        if (m_hPort != INVALID_HANDLE_VALUE)
            CloseHandle(m_hPort);
        m_hPort = INVALID_HANDLE_VALUE;
        // Left to the driver if it never gave it back (see kCancelMillis).
        if (m_read && !m_bReadAbandoned)
            delete m_read;
        m_read = nullptr;
    }

    Result Status(DWORD* lineErrors, DWORD* waiting) override
    {
        Result result;
        COMSTAT status = {};
        *lineErrors = 0;
        *waiting = 0;
        if (!ClearCommError(m_hPort, lineErrors, &status))
            result.error = GetLastError();
        else
            *waiting = status.cbInQue;
        return result;
    }

    Result Read(DWORD count, HANDLE stop) override
    {
        Result result;
        EnterCriticalSection(&m_issue);
        if (!m_read)
            m_read = new PendingIo;
        OVERLAPPED& overlapped = m_read->overlapped;
        ResetEvent(overlapped.hEvent);
        const BOOL done =
            m_calls.readFile(m_hPort, m_read->buffer, count < kBufferSize ? count : kBufferSize, nullptr, &overlapped);
        result.error = done ? 0 : GetLastError();
        result.purges = m_nPurges;
        LeaveCriticalSection(&m_issue);
        if (!done) {
            if (result.error != ERROR_IO_PENDING)
                return result;
            result.error = 0;
            result.waited = true;
            HANDLE waits[] = { stop, overlapped.hEvent };
            if (m_calls.wait(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
                result.stopped = true;
                m_calls.cancelIoEx(m_hPort, &overlapped);
                if (Wait(overlapped.hEvent, kCancelMillis) != WAIT_OBJECT_0)
                    m_bReadAbandoned = true;
                return result;
            }
        }
        if (!m_calls.getOverlappedResult(m_hPort, &overlapped, &result.bytes, FALSE))
            result.error = GetLastError();
        return result;
    }

    const char* Buffer() const override { return m_read ? m_read->buffer : ""; }

    Result Write(const void* data, DWORD count, DWORD timeoutMs) override
    {
        Result result;
        PendingIo* write = new PendingIo;
        write->output.assign(static_cast<const char*>(data), count);
        OVERLAPPED& overlapped = write->overlapped;
        bool cancelled = false;
        if (!m_calls.writeFile(m_hPort, write->output.data(), count, nullptr, &overlapped)) {
            if ((result.error = GetLastError()) != ERROR_IO_PENDING) {
                delete write;
                return result;
            }
            result.error = 0;
            if (Wait(overlapped.hEvent, timeoutMs) != WAIT_OBJECT_0) {
                m_calls.cancelIoEx(m_hPort, &overlapped);
                cancelled = true;
                if (Wait(overlapped.hEvent, kCancelMillis) != WAIT_OBJECT_0) {
                    result.error = ERROR_TIMEOUT;
                    return result;  // the driver still holds `write`
                }
            }
        }
        // Taken after a cancel too: a write that completed as the cancel came has been sent.
        if (!m_calls.getOverlappedResult(m_hPort, &overlapped, &result.bytes, FALSE))
            result.error = GetLastError();
        delete write;
        // Our own cancel's abort, or a write that the write timeouts ended early:
        // the port did not take the bytes in time.
        if ((cancelled && result.error == ERROR_OPERATION_ABORTED) || (result.error == 0 && result.bytes != count))
            result.error = ERROR_TIMEOUT;
        return result;
    }

    DWORD Probe() override
    {
        DCB dcb = {};
        dcb.DCBlength = sizeof(dcb);
        return GetCommState(m_hPort, &dcb) ? 0 : GetLastError();
    }

    unsigned long Purge(DWORD flags) override
    {
        EnterCriticalSection(&m_issue);
        PurgeComm(m_hPort, flags);
        // Wine's PurgeComm leaves a pending read alone: it is cancelled here, on
        // Windows as well, where the purge has ended it already.
        if ((flags & PURGE_RXABORT) && m_read)
            m_calls.cancelIoEx(m_hPort, &m_read->overlapped);
        if (flags & (PURGE_RXABORT | PURGE_RXCLEAR))
            ++m_nPurges;
        const unsigned long purges = m_nPurges;
        LeaveCriticalSection(&m_issue);
        return purges;
    }

    ULONGLONG Now() override { return GetTickCount64(); }

    bool Pause(DWORD ms, HANDLE stop) override { return WaitForSingleObject(stop, ms) == WAIT_OBJECT_0; }

private:
    DWORD Wait(HANDLE event, DWORD ms) { return m_calls.wait(1, &event, FALSE, ms); }

    const Win32PortCalls m_calls;
    HANDLE m_hPort = INVALID_HANDLE_VALUE;
    PendingIo* m_read = nullptr;
    bool m_bReadAbandoned = false;
    // A receive purge and the issue of a read never overlap: a read is issued
    // wholly before a purge, and counts it as not yet seen, or wholly after.
    CRITICAL_SECTION m_issue;
    unsigned long m_nPurges = 0;
};

}  // namespace

std::shared_ptr<CPortIo> CreateWin32PortIo(const Win32PortCalls& calls)
{
    return std::make_shared<CWin32PortIo>(calls);
}

std::vector<ComPortName> ComPortsOnThisPc()
{
    return ListComPorts(Win32PortCalls());
}

std::vector<ComPortName> ListComPorts(const Win32PortCalls& calls)
{
    std::vector<ComPortName> ports;
    const auto add = [&](const wchar_t* name, const wchar_t* device) {
        if (_wcsnicmp(name, L"COM", 3) != 0)
            return;
        wchar_t* end = nullptr;
        const long number = std::wcstol(name + 3, &end, 10);
        if (end == name + 3 || *end != L'\0' || number <= 0 || number >= 256)
            return;
        for (ComPortName& known : ports) {
            if (known.number == number) {
                if (known.device.empty())
                    known.device = device;
                return;
            }
        }
        ports.push_back({ static_cast<int>(number), device });
    };
    // Every DOS device name, in a buffer that grows until the list fits: a PC
    // with many devices has a long one. Should it never fit, each COM port is asked for.
    std::vector<wchar_t> names(65536);
    DWORD length;
    while (!(length = calls.queryDosDevice(nullptr, names.data(), static_cast<DWORD>(names.size()))) &&
           GetLastError() == ERROR_INSUFFICIENT_BUFFER && names.size() < kMostDeviceChars)
        names.resize(names.size() * 2);
    for (const wchar_t* name = names.data(); length && *name; name += std::wcslen(name) + 1)
        add(name, L"");
    for (int number = 1; !length && number < 256; ++number) {
        const std::wstring name = L"COM" + std::to_wstring(number);
        if (calls.queryDosDevice(name.c_str(), names.data(), static_cast<DWORD>(names.size())))
            add(name.c_str(), L"");
    }
    HKEY key;
    if (calls.regOpenKeyEx(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        std::vector<wchar_t> value(16384);  // the longest name a registry value can have
        for (DWORD i = 0;; ++i) {
            wchar_t data[64] = L"";
            DWORD valueLength = static_cast<DWORD>(value.size()), dataLength = sizeof data - sizeof(wchar_t), type = 0;
            const LSTATUS status = calls.regEnumValue(key, i, value.data(), &valueLength, nullptr, &type,
                                                      reinterpret_cast<BYTE*>(data), &dataLength);
            // An entry too long for a port's name is no port of ours: the ones after it still are.
            if (status == ERROR_MORE_DATA)
                continue;
            if (status != ERROR_SUCCESS)
                break;
            if (type == REG_SZ)
                add(data, value.data());
        }
        calls.regCloseKey(key);
    }
    std::sort(ports.begin(), ports.end(), [](const ComPortName& a, const ComPortName& b) { return a.number < b.number; });
    return ports;
}
