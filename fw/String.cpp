#include "fw/String.h"

#include <cstdio>
#include <vector>
#include <windows.h>

namespace {
constexpr UINT kCodePage = 1252;
}

void CString::FormatV(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed < 0) {
        m_str.clear();
        return;
    }
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    m_str.assign(buffer.data(), static_cast<size_t>(needed));
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

std::wstring Decimal(long long value)
{
    return std::to_wstring(value);
}

std::wstring FillInserts(const std::wstring& in, std::initializer_list<std::wstring> inserts)
{
    std::wstring out;
    for (size_t i = 0; i < in.size(); ++i) {
        const size_t n = i + 1 < in.size() ? static_cast<size_t>(in[i + 1] - L'1') : inserts.size();
        if (in[i] == L'%' && n < inserts.size()) {
            out += inserts.begin()[n];
            ++i;
        } else {
            out += in[i];
        }
    }
    return out;
}

std::wstring Widen(const CString& text)
{
    if (text.IsEmpty())
        return std::wstring();
    const int length = MultiByteToWideChar(kCodePage, 0, text.GetString(), text.GetLength(), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(kCodePage, 0, text.GetString(), text.GetLength(), &wide[0], length);
    return wide;
}

CString Narrow(const wchar_t* text, int length)
{
    if (!text)
        return CString();
    if (length < 0)
        length = static_cast<int>(wcslen(text));
    if (length == 0)
        return CString();
    const int size = WideCharToMultiByte(kCodePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(kCodePage, 0, text, length, &narrow[0], size, nullptr, nullptr);
    return CString(std::move(narrow));
}
