#include "app/LoggerApp.h"

#include "ui/MainDialog.h"

// The one application object, constructed before the program's entry.
CLoggerApp theApp;

BOOL CLoggerApp::InitInstance()
{
    CMainDialog dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // No message loop of its own: the program ends here.
    return FALSE;
}
