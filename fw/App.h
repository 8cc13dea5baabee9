// The application object: one static instance, run from WinMain.
#pragma once

#include "fw/String.h"

#include <initializer_list>
#include <windows.h>

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Runs the program; a FALSE result ends it without a message loop of its own.
    virtual BOOL InitInstance() { return FALSE; }

    HICON LoadIcon(UINT id) const { return ::LoadIconW(m_hInstance, MAKEINTRESOURCEW(id)); }
    // The icon's image for the size of the system metrics cx and cy (SM_CXSMICON,
    // SM_CYSMICON for the small icon); the system keeps it.
    HICON LoadIcon(UINT id, int cx, int cy) const
    {
        return static_cast<HICON>(::LoadImageW(m_hInstance, MAKEINTRESOURCEW(id), IMAGE_ICON, ::GetSystemMetrics(cx),
                                               ::GetSystemMetrics(cy), LR_SHARED));
    }

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
// Where the program's texts and dialogs are loaded from: its own module,
// unless a test points it at the program's file.
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE module);

// The STRINGTABLE text `id` with its inserts %1, %2, ... filled in, each as
// often as the text names it; "" when the text is missing.
std::wstring LoadMessage(UINT id, std::initializer_list<std::wstring> inserts = {});
