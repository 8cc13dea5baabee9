#include "fw/Exception.h"

#include "fw/App.h"
#include "fw/fwres.h"

std::wstring SystemErrorText(DWORD error)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring line;
    if (length != 0 && buffer) {
        line.assign(buffer, length);
        LocalFree(buffer);
    }
    // One line, without the trailing line break the system adds.
    while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r' || line.back() == L' ' || line.back() == L'.'))
        line.pop_back();
    for (wchar_t& ch : line)
        if (ch == L'\r' || ch == L'\n')
            ch = L' ';
    return (line.empty() ? LoadMessage(IDS_FW_ERROR) : line) + L" (" + std::to_wstring(error) + L")";
}
