// What a serial driver's answer means. Drivers report a pulled adapter in
// different ways (FTDI aborts every read, PL2303 answers ERROR_BAD_COMMAND,
// Bluetooth ERROR_DEVICE_REMOVED, some CH340 drivers ERROR_ACCESS_DENIED), and
// some live ports answer oddly (ClearCommError failing with
// ERROR_INVALID_PARAMETER or now and then ERROR_ACCESS_DENIED, reads that end
// at once with nothing). The reader and the control ask here, and nowhere
// else, what an answer tells; what it does not tell for sure, a probe does.
#pragma once

#include <windows.h>

enum class PortCall {
    Status,  // ClearCommError: line errors and how much is waiting
    Read,    // a read with the port's timeouts
    Write,   // sending
    Probe,   // GetCommState: is the device still there?
};

enum class Verdict {
    Data,   // bytes came (Read), or the call did what it should (Write)
    Idle,   // the port is there and has nothing: Status known, a read that waited its time, a probe answered
    Retry,  // says nothing for sure: an aborted read, a read that ended at once with nothing, an
            // error a live port gives too; Status: the driver cannot say how much is waiting;
            // Write: not sent, the probe tells whether the device is still there
    Lost,   // the device is gone
};

struct PortAnswer {
    PortCall call;
    DWORD error;   // 0 when the call succeeded
    DWORD bytes;   // bytes read or written
    bool atOnce;   // a read that ended well before its timeout
};

Verdict Judge(const PortAnswer& answer);

// Errors by which a driver says its device is gone, whatever the call.
bool IsDeviceGoneError(DWORD error);

// Watches the Retry answers of a port: one that answers with nothing else for
// kLossMillis is probed, and is lost when the probe fails too. A probe that
// answers gives the port another kLossMillis.
class CLossWatch {
public:
    static constexpr ULONGLONG kLossMillis = 500;

    // Data or Idle: the port is alive.
    void Alive() { m_bSuspect = false; }
    // A Retry answer at `now`; true when the port should be probed.
    bool Suspect(ULONGLONG now)
    {
        if (!m_bSuspect) {
            m_bSuspect = true;
            m_since = now;
        }
        return now - m_since >= kLossMillis;
    }
    // The probe answered: start a new window.
    void Probed(ULONGLONG now) { m_since = now; }

private:
    bool m_bSuspect = false;
    ULONGLONG m_since = 0;
};
