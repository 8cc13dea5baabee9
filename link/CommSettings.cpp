#include "link/CommSettings.h"

#include <cstdlib>
#include <string>

namespace {
std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}
}  // namespace

bool ParseCommSettings(const char* text, CommSettings& settings)
{
    std::string fields[4];
    int count = 0;
    for (const char* p = text;; ++p) {
        if (*p == ',' || *p == '\0') {
            if (count == 4)
                return false;
            ++count;
            if (*p == '\0')
                break;
        } else if (count < 4) {
            fields[count] += *p;
        }
    }
    if (count != 4)
        return false;
    for (std::string& field : fields)
        field = Trim(field);

    CommSettings result;
    const std::string& baud = fields[0];
    if (baud.empty() || baud.size() > 7 || baud.find_first_not_of("0123456789") != std::string::npos)
        return false;
    result.baudRate = static_cast<uint32_t>(std::strtoul(baud.c_str(), nullptr, 10));
    if (result.baudRate == 0)
        return false;

    if (fields[1].size() != 1)
        return false;
    switch (fields[1][0]) {
    case 'N': case 'n': result.parity = CommSettings::parityNone; break;
    case 'O': case 'o': result.parity = CommSettings::parityOdd; break;
    case 'E': case 'e': result.parity = CommSettings::parityEven; break;
    case 'M': case 'm': result.parity = CommSettings::parityMark; break;
    case 'S': case 's': result.parity = CommSettings::paritySpace; break;
    default: return false;
    }

    if (fields[2].size() != 1 || fields[2][0] < '4' || fields[2][0] > '8')
        return false;
    result.byteSize = static_cast<uint8_t>(fields[2][0] - '0');

    if (fields[3] == "1")
        result.stopBits = CommSettings::stopOne;
    else if (fields[3] == "1.5")
        result.stopBits = CommSettings::stopOneAndHalf;
    else if (fields[3] == "2")
        result.stopBits = CommSettings::stopTwo;
    else
        return false;

    settings = result;
    return true;
}
