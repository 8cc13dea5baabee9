// The setting file's text parser on any first line, and the index written back and read again.
#include "settings/PortSetting.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), size);
    const int index = ParsePortIndex(line.c_str());
    if (ParsePortIndex(FormatPortIndex(index).c_str()) != index)
        __builtin_trap();
    return 0;
}
