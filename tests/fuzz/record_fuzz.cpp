// The record layout on any stream of received characters.
#include "readout/RecordFormatter.h"

#include <cstddef>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint8_t pos = size ? data[0] : 0;
    for (size_t i = 0; i < size; ++i) {
        const RecordChar step = FormatRecordChar(pos, static_cast<char>(data[i]));
        if (step.lineEnd ? step.newPos != 0 : step.newPos != static_cast<uint8_t>(pos + 1))
            __builtin_trap();
        pos = step.newPos;
    }
    return 0;
}
