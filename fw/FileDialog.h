// CFileDialog: the common file chooser (open style).
#pragma once

#include "fw/String.h"

#include <string>
#include <windows.h>
#include <commdlg.h>

class CWnd;

// `path` with "." and `extension` added when its last component has no extension.
CString WithDefaultExtension(const CString& path, const char* extension);

class CFileDialog {
public:
    // `filter` lists description|pattern pairs separated by "|" and ends with "||";
    // blanks around a pattern are dropped.
    CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName, DWORD flags, const char* filter,
                CWnd* parent = nullptr);

    INT_PTR DoModal();
    CString GetPathName() const { return Narrow(m_file.c_str()); }
    // The path, with the default extension added when its name has none:
    // the open-style chooser adds it only when such a file exists already.
    CString GetPathNameWithExtension() const;

    OPENFILENAMEW m_ofn;

private:
    BOOL m_bOpenFileDialog;
    CWnd* m_pParentWnd;
    std::wstring m_filter;
    std::wstring m_defaultExt;
    std::wstring m_file;
};
