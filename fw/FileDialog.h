// CFileDialog: the common file chooser (open style).
#pragma once

#include "fw/String.h"

#include <string>
#include <windows.h>
#include <commdlg.h>

class CWnd;

class CFileDialog {
public:
    // `filter` lists description|pattern pairs separated by "|" and ends with "||";
    // blanks around a pattern are dropped.
    CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName, DWORD flags, const char* filter,
                CWnd* parent = nullptr);

    INT_PTR DoModal();
    CString GetPathName() const { return Narrow(m_file.c_str()); }

    OPENFILENAMEW m_ofn;

private:
    BOOL m_bOpenFileDialog;
    CWnd* m_pParentWnd;
    std::wstring m_filter;
    std::wstring m_defaultExt;
    std::wstring m_file;
};
