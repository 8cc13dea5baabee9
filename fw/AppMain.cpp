// The program's entry: hands over to the one application object.
#include "fw/App.h"
#include "fw/Exception.h"
#include "fw/Prompts.h"
#include "fw/Wnd.h"
#include "fw/fwres.h"

#include <commctrl.h>
#include <new>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    app->m_hInstance = instance;
    // The common controls of version 6, which the manifest asks for, drawn in today's style.
    INITCOMMONCONTROLSEX controls = { sizeof(controls), ICC_STANDARD_CLASSES };
    InitCommonControlsEx(&controls);
    try {
        app->InitInstance();
    } catch (const CException& e) {
        AfxPrompts().ShowError(nullptr, e.GetDescription());
        return 1;
    } catch (const std::bad_alloc&) {
        AfxPrompts().ShowError(nullptr, LoadMessage(IDS_FW_OUT_OF_MEMORY));
        return 1;
    } catch (...) {
        AfxPrompts().ShowError(nullptr, LoadMessage(IDS_FW_UNEXPECTED));
        return 1;
    }
    return 0;
}
