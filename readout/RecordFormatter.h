// The record layout of the logger's reply, one received character at a time.
//
// A logger line is read as five two-character groups (day, month, year, hour,
// minute) followed by alternating fields of four and six characters. The
// table gets "." between the date groups, a tab, ":" between the time groups,
// a tab, and a tab after every value field; "." in the data becomes ",", and a
// blank that starts a date or time group becomes "0". Carriage returns and
// zero bytes are not written; a line feed is.
#pragma once

#include <cstdint>
#include <string>

struct RecordChar {
    char ch;              // the character after rewriting
    bool writeChar;       // false for zero bytes and carriage returns
    bool lineEnd;         // a line feed or carriage return: the position restarts at 0
    uint8_t newPos;       // the position after this character
    char separator;       // written right after the character; 0 for none
    bool refreshDisplay;  // the received-bytes display is refreshed after the separator
};

// What the character `ch` becomes when it arrives at position `pos` of its line.
RecordChar FormatRecordChar(uint8_t pos, char ch);

