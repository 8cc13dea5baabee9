// The serial line settings as the control takes them: the text
// "baud,parity,data bits,stop bits", e.g. "9600,N,8,1".
#pragma once

#include <cstdint>

struct CommSettings {
    // The numbers are the ones the Win32 DCB uses, so that they go there unchanged.
    enum Parity : uint8_t { parityNone = 0, parityOdd = 1, parityEven = 2, parityMark = 3, paritySpace = 4 };
    enum StopBits : uint8_t { stopOne = 0, stopOneAndHalf = 1, stopTwo = 2 };

    uint32_t baudRate = 9600;
    Parity parity = parityNone;
    uint8_t byteSize = 8;  // 4 to 8
    StopBits stopBits = stopOne;
};

// Fills `settings` from the text; false, and `settings` untouched, when the text is not valid.
bool ParseCommSettings(const char* text, CommSettings& settings);
