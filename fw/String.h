// CString: the program's 8-bit text (Windows code page 1252).
// The bytes are kept exactly as given, zero bytes included; only the screen
// sees them converted, through Widen() and Narrow().
#pragma once

#include <cstdarg>
#include <initializer_list>
#include <string>

class CString {
public:
    CString() = default;
    CString(const char* text) : m_str(text ? text : "") {}
    CString(const char* data, int length) : m_str(data, static_cast<size_t>(length)) {}
    explicit CString(std::string text) : m_str(std::move(text)) {}

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    const char* GetString() const { return m_str.c_str(); }
    operator const char*() const { return m_str.c_str(); }
    char operator[](int index) const { return m_str[static_cast<size_t>(index)]; }
    const std::string& Str() const { return m_str; }  // for the tests' matchers

    CString& operator+=(const CString& other) { m_str += other.m_str; return *this; }
    CString& operator+=(char ch) { m_str += ch; return *this; }
    friend CString operator+(CString left, const CString& right) { return left += right; }
    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator!=(const CString& a, const CString& b) { return a.m_str != b.m_str; }

    // printf-style formatting, never past the text's own buffer.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const char* format, va_list args);

private:
    std::string m_str;
};

// What the program tells the user is wide text: a message of its own is code
// page 1252, but a file's name may hold any character.
// A number in decimal digits.
std::wstring Decimal(long long value);
// `text` with %1 ... %9 replaced by the inserts, each as often as it occurs;
// an insert the list lacks stays as it is.
std::wstring FillInserts(const std::wstring& text, std::initializer_list<std::wstring> inserts);

// Conversions between the program's code page 1252 text and the wide-character
// API, so that umlauts show right whatever the system's own code page is.
// Never for a file's name: code page 1252 would map "Łódź" to another name.
std::wstring Widen(const CString& text);
CString Narrow(const wchar_t* text, int length = -1);
