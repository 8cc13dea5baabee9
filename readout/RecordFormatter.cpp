#include "readout/RecordFormatter.h"

RecordChar FormatRecordChar(uint8_t pos, char ch)
{
    RecordChar result = {};
    if (ch == '.')
        ch = ',';
    if ((pos == 0 || pos == 2 || pos == 4 || pos == 6 || pos == 8) && ch == ' ')
        ch = '0';
    result.ch = ch;
    result.writeChar = ch != '\0' && ch != '\r';
    if (ch == '\n' || ch == '\r') {
        result.lineEnd = true;
        result.newPos = 0;
        return result;
    }
    const uint8_t next = static_cast<uint8_t>(pos + 1);
    result.newPos = next;
    if (next == 2 || next == 4) {
        result.separator = '.';
        result.refreshDisplay = true;
    } else if (next == 6) {
        result.separator = '\t';
    } else if (next == 8) {
        result.separator = ':';
    } else if (next != 0 && next % 10 == 0) {
        result.separator = '\t';
    } else if (next > 10 && (next - 4) % 10 == 0) {
        result.separator = '\t';
    }
    return result;
}
