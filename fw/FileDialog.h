// CFileDialog: the common file chooser (open style).
#pragma once

#include <string>
#include <windows.h>
#include <commdlg.h>

class CWnd;

// `path` with "." and `extension` added when its last component has no extension.
std::wstring WithDefaultExtension(const std::wstring& path, const wchar_t* extension);

class CFileDialog {
public:
    // `filter` lists description|pattern pairs separated by "|" and ends with "||";
    // blanks around a pattern are dropped.
    CFileDialog(BOOL openFileDialog, const wchar_t* defaultExt, const std::wstring& fileName, DWORD flags,
                const std::wstring& filter, CWnd* parent = nullptr);

    INT_PTR DoModal();
    // The name the chooser opens with, until the user has chosen one; then that one.
    const std::wstring& GetPathName() const { return m_file; }
    void SetPathName(const std::wstring& path) { m_file = path; }  // the tests' chooser answers here
    // The path, with the default extension added when its name has none:
    // the open-style chooser adds it only when such a file exists already.
    std::wstring GetPathNameWithExtension() const;

    OPENFILENAMEW m_ofn;

private:
    BOOL m_bOpenFileDialog;
    CWnd* m_pParentWnd;
    std::wstring m_filter;
    std::wstring m_defaultExt;
    std::wstring m_file;
};
