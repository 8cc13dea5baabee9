// CMSComm: the serial communications control, an invisible child window that
// carries bytes to and from a COM port.
//
// Its reader (link/CommReader.h) takes what the port receives on a thread of
// its own and wakes the GUI thread through its message queue; there every
// received byte raises its own OnComm event (CommEvent 2), whichever message
// loop is running. Line errors the driver reports raise events of their own
// kinds, and so does the loss of the port (the cable or adapter pulled):
// comEventPortLost comes after the events of every byte received before it,
// and by then the port is closed. Reads that keep failing on a port that still
// answers raise comEventReadsFailing once, and GetFailedReads() counts them.
// Everything the program calls runs on the GUI thread; a failure throws
// CException with a description naming the port.
#pragma once

#include "fw/Exception.h"
#include "fw/String.h"
#include "fw/Wnd.h"
#include "link/CommEvents.h"

#include <functional>
#include <memory>
#include <windows.h>

class CCommReader;
class CPortIo;

// The port cannot be opened: it is not on this PC (or not back after a loss),
// its number cannot be one, it is in use, or it refuses its settings. The user
// may choose another.
class CPortUnusable : public CException {
public:
    using CException::CException;
};

// The event numbers of OnComm, and CommEvent values, are CCommEvents' (comEvReceive, ...).
class CMSComm : public CWnd, public CCommEvents {
public:
    static constexpr UINT dispidOnComm = 1;
    // How long a write, or the reader's end on close, may take before the port
    // is reported as not answering.
    static constexpr DWORD kAnswerMillis = 3000;

    CMSComm();
    ~CMSComm() override;

    BOOL Create(const char* windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id);
    // Where the port's Win32 calls go; unit tests replay a driver here.
    void SetPortIoFactory(std::function<std::shared_ptr<CPortIo>()> factory) { m_makePortIo = std::move(factory); }
    // Called with true when an open turns out slow (the window answers while it
    // waits), and with false when it is over.
    void SetSlowOpen(std::function<void(bool)> slowOpen) { m_slowOpen = std::move(slowOpen); }

    void SetCommPort(short port);
    short GetCommPort() const { return m_nCommPort; }
    void SetSettings(const CString& settings);
    CString GetSettings() const { return m_strSettings; }  // for the tests
    void SetInBufferSize(short size);
    void SetInputLen(short length);
    void SetRThreshold(short threshold);

    void SetPortOpen(BOOL open);
    // FALSE also gives up an open that waits for a slow port.
    BOOL GetPortOpen() const { return m_reader != nullptr; }

    // Setting InBufferCount or OutBufferCount to 0, the only value they take:
    // discards what has been received and not read, with every notification
    // still pending for it; or what has not been sent yet.
    void DiscardInput();
    short GetInBufferCount();  // received, not yet taken; for the tests
    void DiscardOutput();

    // Sends the bytes in order, nothing added.
    void SetOutput(const CString& data);
    // Takes up to InputLen received bytes (all with InputLen 0); empty when none waits.
    CString GetInput();
    short GetCommEvent() const { return m_nCommEvent; }

    // Reads that failed since the last DiscardInput (or the port's opening),
    // other than timeouts and the aborts a discard causes.
    unsigned long GetFailedReads() const;
    // Raises at once the events of every byte received so far (the port is
    // about to be closed with a table still open).
    void DeliverReceived();

    // True from the loss of the port (comEventPortLost) until it is opened or closed again.
    bool IsPortLost() const { return m_bLost; }
    // Why the port was lost, when it was no pulled cable: the reading ended on
    // an unexpected error. Empty otherwise.
    std::wstring GetLossReason() const;
    // After a loss: opens the same port again, or throws the error that it is still gone.
    void Reconnect();
    // Throws the error that an operation meets on a closed or lost port.
    void RequireOpen();

protected:
    LRESULT OnWake(WPARAM, LPARAM);
    LRESULT OnNcDestroy(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    void ClosePort();
    // Opens `io` on a thread of its own, dispatching the thread's messages
    // meanwhile once it takes long; *error is what the open gave. False when
    // the port was closed meanwhile: the open is given up.
    bool OpenAside(const std::shared_ptr<CPortIo>& io, DWORD* error);
    // Raises up to `most` pending events of `reader`, its own copy: a loss among
    // them resets m_reader. False when none is left or the port went meanwhile.
    bool RaiseEvents(std::shared_ptr<CCommReader> reader, int most);
    // The device is gone: the port is closed and IsPortLost() holds.
    void LosePort();
    // The message `messageId` (an IDS_PORT_... text) for this port; the
    // system's wording of `error` follows unless it is 0.
    // As CPortUnusable when the port could not be opened.
    [[noreturn]] void ThrowPortError(UINT messageId, DWORD error, bool unusable = false) const;

    // All members are the GUI thread's own; the reader shares nothing else.
    short m_nCommPort = 1;
    CString m_strSettings = "9600,N,8,1";
    short m_nInBufferSize = 1024;
    short m_nInputLen = 0;
    short m_nRThreshold = 0;
    short m_nCommEvent = 0;  // the event being raised
    bool m_bLost = false;
    bool m_bOpening = false, m_bOpenGivenUp = false;  // OpenAside waits; a close came meanwhile
    bool m_bLostUnexpectedly = false;  // with m_bLost: the reader ended on an unexpected error
    unsigned long m_nFailedReads = 0;  // GetFailedReads() of the port last closed

    std::function<std::shared_ptr<CPortIo>()> m_makePortIo;
    std::function<void(bool)> m_slowOpen;
    std::shared_ptr<CPortIo> m_io;         // the open port; null while closed
    std::shared_ptr<CCommReader> m_reader;  // its reader; null while closed
    // The reader last closed, and its port: alive while it holds the port, after a
    // close that gave up on it, until the driver lets its read go.
    std::weak_ptr<CCommReader> m_heldReader;
    short m_nHeldPort = 0;
};
