#include "link/CommSettings.h"

#include <cstdlib>
#include <cstring>

bool ParseCommSettings(const char* text, CommSettings& settings)
{
    size_t digits = 0;
    while (text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    if (digits == 0 || digits > 7 || std::strcmp(text + digits, ",N,8,1") != 0)
        return false;
    const auto baudRate = static_cast<uint32_t>(std::strtoul(text, nullptr, 10));
    if (baudRate == 0)
        return false;
    settings.baudRate = baudRate;
    return true;
}
