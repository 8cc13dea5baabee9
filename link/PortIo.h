// The Win32 calls the serial control makes on a port, behind one interface, so
// that unit tests can replay what a driver answers, call by call, through the
// whole control. CreateWin32PortIo() gives the real one.
//
// Open, Configure, Write, Purge and Close run on the GUI thread; Read, Now and
// Pause on the control's reader thread; Status and Probe on both (before a
// write, and while the reader watches the port).
#pragma once

#include "link/CommSettings.h"

#include <memory>
#include <string>
#include <vector>
#include <windows.h>

class CPortIo {
public:
    struct Result {
        DWORD bytes = 0;
        DWORD error = 0;       // 0 when the call succeeded
        bool waited = false;   // Read: the read had to wait (it did not end as it was issued)
        bool stopped = false;  // Read: ended because the stop event was set
        // Read: the receive purges the port had seen when the read was issued;
        // a read issued before a purge may bring bytes the purge was meant to drop.
        unsigned long purges = 0;
    };

    virtual ~CPortIo() = default;

    // Opens "\\.\COMn"; 0 or the system's error.
    virtual DWORD Open(int port) = 0;
    // Buffer sizes, line settings, no flow control, read timeouts; 0 or the system's error.
    virtual DWORD Configure(const CommSettings& settings, DWORD bufferSize) = 0;
    virtual void Close() = 0;

    // ClearCommError: the line errors since the last call, and how much is waiting.
    virtual Result Status(DWORD* lineErrors, DWORD* waiting) = 0;
    // Reads up to `count` bytes into Buffer(), within the port's read timeouts,
    // ending early (stopped) when `stop` is set.
    virtual Result Read(DWORD count, HANDLE stop) = 0;
    virtual const char* Buffer() const = 0;
    static constexpr DWORD kBufferSize = 4096;
    // Sends the bytes; gives up after `timeoutMs` with ERROR_TIMEOUT.
    virtual Result Write(const void* data, DWORD count, DWORD timeoutMs) = 0;
    // GetCommState: 0 while the device answers.
    virtual DWORD Probe() = 0;
    // PurgeComm; the receive purges (PURGE_RXABORT, PURGE_RXCLEAR) so far, this
    // one included. No read is issued while a purge runs.
    virtual unsigned long Purge(DWORD flags) = 0;

    // The reader's clock in milliseconds, and its pause: true when `stop` was set meanwhile.
    virtual ULONGLONG Now() = 0;
    virtual bool Pause(DWORD ms, HANDLE stop) = 0;
};

// The Win32 calls through which the real port layer reads, writes, sets a port
// up and lists the PC's ports; a unit test replays what a driver does with a
// read or write it was told to cancel, with the settings it is given, and what
// a PC with many devices answers.
struct Win32PortCalls {
    BOOL(WINAPI* readFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) = ReadFile;
    BOOL(WINAPI* writeFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) = WriteFile;
    BOOL(WINAPI* cancelIoEx)(HANDLE, LPOVERLAPPED) = CancelIoEx;
    BOOL(WINAPI* getOverlappedResult)(HANDLE, LPOVERLAPPED, LPDWORD, BOOL) = GetOverlappedResult;
    DWORD(WINAPI* wait)(DWORD, const HANDLE*, BOOL, DWORD) = WaitForMultipleObjects;
    BOOL(WINAPI* getCommState)(HANDLE, LPDCB) = GetCommState;
    BOOL(WINAPI* setCommState)(HANDLE, LPDCB) = SetCommState;
    BOOL(WINAPI* setCommTimeouts)(HANDLE, LPCOMMTIMEOUTS) = SetCommTimeouts;
    DWORD(WINAPI* queryDosDevice)(LPCWSTR, LPWSTR, DWORD) = QueryDosDeviceW;
    LSTATUS(WINAPI* regOpenKeyEx)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY) = RegOpenKeyExW;
    LSTATUS(WINAPI* regEnumValue)(HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD) = RegEnumValueW;
    LSTATUS(WINAPI* regCloseKey)(HKEY) = RegCloseKey;
};

std::shared_ptr<CPortIo> CreateWin32PortIo(const Win32PortCalls& calls = Win32PortCalls());

// A COM port this PC has, and the name of the device behind it as the
// system's serial-port map gives it ("\Device\VCP0" for an FTDI adapter,
// "\Device\Serial0" for a built-in port); empty when the map does not list it.
struct ComPortName {
    int number;
    std::wstring device;
};

// The COM ports this PC has, ascending: the system's DOS device names and its
// serial-port map (HARDWARE\DEVICEMAP\SERIALCOMM).
std::vector<ComPortName> ComPortsOnThisPc();
std::vector<ComPortName> ListComPorts(const Win32PortCalls& calls);
