// CMSComm: the serial communications control, an invisible child window that
// carries bytes to and from a COM port.
//
// A reader thread takes what the port receives into the input buffer and wakes
// the GUI thread through its message queue; there every received byte raises
// its own OnComm event (CommEvent 2), whichever message loop is running. Line
// errors the driver reports raise events of their own kinds. Everything the
// program calls runs on the GUI thread; a failure throws CException with a
// description naming the port.
#pragma once

#include "fw/String.h"
#include "fw/Wnd.h"

#include <deque>
#include <windows.h>

// Line settings as the text "baud,parity,data bits,stop bits", e.g. "9600,N,8,1".
struct CommSettings {
    DWORD baudRate = 9600;
    BYTE parity = NOPARITY;       // NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY
    BYTE byteSize = 8;            // 4 to 8
    BYTE stopBits = ONESTOPBIT;   // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
};
bool ParseCommSettings(const char* text, CommSettings& settings);

class CMSComm : public CWnd {
public:
    // Event numbers of OnComm, and CommEvent values.
    enum : short {
        comEvReceive = 2,
        comEventBreak = 1001,
        comEventFrame = 1004,
        comEventOverrun = 1006,
        comEventRxOver = 1008,
        comEventRxParity = 1009,
    };
    static constexpr UINT dispidOnComm = 1;

    CMSComm();
    ~CMSComm() override;

    BOOL Create(const char* windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id);

    void SetCommPort(short port);
    short GetCommPort() const { return m_nCommPort; }
    void SetSettings(const CString& settings);
    CString GetSettings() const { return m_strSettings; }
    void SetInBufferSize(short size);
    short GetInBufferSize() const { return m_nInBufferSize; }
    void SetInputLen(short length);
    void SetRThreshold(short threshold);

    void SetPortOpen(BOOL open);
    BOOL GetPortOpen() const { return m_hPort != INVALID_HANDLE_VALUE; }

    // Only 0 is meaningful: it discards what has been received and not read,
    // with every notification still pending for it.
    void SetInBufferCount(short count);
    short GetInBufferCount();
    // Only 0 is meaningful: it discards what has not been sent yet.
    void SetOutBufferCount(short count);

    // Sends the bytes in order, nothing added.
    void SetOutput(const CString& data);
    // Takes up to InputLen received bytes (all with InputLen 0); empty when none waits.
    CString GetInput();
    short GetCommEvent() const { return m_nCommEvent; }

    // True once the port has stopped answering (the cable or adapter is gone).
    bool IsPortLost();
    // Throws the error that an operation `what` would meet on a closed or lost port.
    void RequireOpen(const char* whatDe, const char* whatEn);

protected:
    LRESULT OnWake(WPARAM, LPARAM);
    LRESULT OnNcDestroy(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    static DWORD WINAPI ReaderMain(void* self);
    void ReadLoop();
    void Deliver(const char* data, DWORD count, DWORD errors);
    void MarkLost();
    void PostWake();
    void ClosePort();
    void ApplyLineSettings(const CommSettings& settings);
    [[noreturn]] void ThrowPortError(const char* whatDe, const char* whatEn, DWORD error) const;

    // Set by the program.
    short m_nCommPort = 1;
    CString m_strSettings = "9600,N,8,1";
    short m_nInBufferSize = 1024;
    short m_nInputLen = 0;
    short m_nRThreshold = 0;
    short m_nCommEvent = 0;

    HANDLE m_hPort = INVALID_HANDLE_VALUE;
    HANDLE m_hThread = nullptr;
    HANDLE m_hStop = nullptr;    // manual-reset: the reader ends
    HANDLE m_hSpace = nullptr;   // auto-reset: the input buffer has room again
    HANDLE m_hWriteDone = nullptr;

    // Shared with the reader thread, under m_lock.
    CRITICAL_SECTION m_lock;
    std::deque<char> m_input;            // received, not yet read
    size_t m_nCapacity = 1024;
    unsigned long m_nPendingReceive = 0; // receive events still to raise
    std::deque<short> m_pendingErrors;   // line-error events still to raise
    bool m_bLost = false;
    bool m_bReaderWaiting = false;       // the reader waits for room in m_input
    volatile LONG m_nWakePosted = 0;     // 1 while a wake message is in the queue
};
