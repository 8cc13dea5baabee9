// The serial line settings as the control takes them: the text
// "baud,parity,data bits,stop bits". The logger speaks 8 data bits, no
// parity and one stop bit; only the baud rate is a number of choice, e.g.
// "9600,N,8,1".
#pragma once

#include <cstdint>

struct CommSettings {
    uint32_t baudRate = 9600;
};

// Fills `settings` from the text; false, and `settings` untouched, when the text is not valid.
bool ParseCommSettings(const char* text, CommSettings& settings);
