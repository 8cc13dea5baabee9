#include "fw/Exception.h"

#include "fw/App.h"
#include "fw/fwres.h"

CString SystemErrorText(DWORD error)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    CString text;
    if (length != 0 && buffer) {
        text = Narrow(buffer, static_cast<int>(length));
        LocalFree(buffer);
    }
    // One line, without the trailing line break the system adds.
    std::string line = text.Str();
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ' || line.back() == '.'))
        line.pop_back();
    for (char& ch : line)
        if (ch == '\r' || ch == '\n')
            ch = ' ';
    return FormatString("%s (%lu)", line.empty() ? LoadMessage(IDS_FW_ERROR).GetString() : line.c_str(),
                        static_cast<unsigned long>(error));
}
