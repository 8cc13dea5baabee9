// Errors raised by the framework and the serial control. Each carries the text
// the user sees: German first, English second.
#pragma once

#include "fw/String.h"

#include <windows.h>

class CException {
public:
    explicit CException(std::wstring description) : m_strDescription(std::move(description)) {}
    virtual ~CException() = default;
    const std::wstring& GetDescription() const { return m_strDescription; }

private:
    std::wstring m_strDescription;
};

// A failed file operation; keeps the system's error code for callers that care.
class CFileException : public CException {
public:
    CFileException(std::wstring description, DWORD osError)
        : CException(std::move(description)), m_lOsError(osError) {}
    DWORD m_lOsError;
};

// The system's own wording for an error code, as one line, and the code.
std::wstring SystemErrorText(DWORD error);
