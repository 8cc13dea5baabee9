// The serial control's event numbers (its CommEvent values), one list for the
// control and its reader. CMSComm carries them as its own names.
#pragma once

struct CCommEvents {
    enum : short {
        comEvReceive = 2,            // a received byte
        comEventBreak = 1001,        // the line errors the driver reports
        comEventFrame = 1004,
        comEventOverrun = 1006,
        comEventRxOver = 1008,
        comEventRxParity = 1009,
        comEventPortLost = 1100,     // the port stopped answering and has been closed
        comEventReadsFailing = 1101, // reads have failed for 5 s without one good read; the port still answers
    };
};
