#include "link/LinkVerdict.h"

bool IsDeviceGoneError(DWORD error)
{
    // Not here, though drivers give them for a pulled adapter too: ERROR_ACCESS_DENIED
    // (CH340), ERROR_GEN_FAILURE and ERROR_NOT_READY (several USB drivers, Wine's pty).
    // Live ports answer them now and then, ClearCommError among others: the probe decides.
    switch (error) {
    case ERROR_FILE_NOT_FOUND:       // the device's name is gone
    case ERROR_INVALID_HANDLE:
    case ERROR_BAD_COMMAND:          // PL2303
    case ERROR_BROKEN_PIPE:          // Wine: the pty's far side has gone
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:       // the Bluetooth stack
        return true;
    default:
        return false;
    }
}

Verdict Judge(const PortAnswer& answer)
{
    const DWORD error = answer.error;
    if (error != 0 && IsDeviceGoneError(error))
        return Verdict::Lost;
    switch (answer.call) {
    case PortCall::Status:
        // A driver that cannot say how much is waiting is no lost one: the read decides.
        return error == 0 ? Verdict::Idle : Verdict::Retry;
    case PortCall::Probe:
        return error == 0 ? Verdict::Idle : Verdict::Lost;
    case PortCall::Write:
        // Nothing of ours aborts a write (the port layer reports its own cancel as
        // ERROR_TIMEOUT): an aborted write is a device that went away under it.
        if (error == ERROR_OPERATION_ABORTED)
            return Verdict::Lost;
        return error == 0 ? Verdict::Data : Verdict::Retry;
    case PortCall::Read:
        break;
    }
    if (error == 0 && answer.bytes > 0)
        return Verdict::Data;
    // An idle read ends with ERROR_TIMEOUT on some drivers, with 0 bytes on
    // others; only one that waited for its timeout says the line is quiet.
    if (error == 0 || error == ERROR_TIMEOUT)
        return answer.atOnce ? Verdict::Retry : Verdict::Idle;
    // ERROR_OPERATION_ABORTED: a purge cut the read short, or a removed FTDI
    // device aborts every read. Anything else unknown: the same caution.
    return Verdict::Retry;
}
