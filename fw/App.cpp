#include "fw/App.h"

#include "fw/Wnd.h"

#include <new>

namespace {
CWinApp* g_pApp = nullptr;
HINSTANCE g_hResources = nullptr;
}

CWinApp::CWinApp()
{
    g_pApp = this;
    m_hInstance = GetModuleHandleW(nullptr);
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

CWinApp* AfxGetApp() { return g_pApp; }
CWnd* AfxGetMainWnd() { return g_pApp ? g_pApp->m_pMainWnd : nullptr; }
HINSTANCE AfxGetInstanceHandle() { return g_pApp ? g_pApp->m_hInstance : GetModuleHandleW(nullptr); }
HINSTANCE AfxGetResourceHandle() { return g_hResources ? g_hResources : AfxGetInstanceHandle(); }
void AfxSetResourceHandle(HINSTANCE module) { g_hResources = module; }

std::wstring LoadMessage(UINT id, std::initializer_list<std::wstring> inserts)
{
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(AfxGetResourceHandle(), id, reinterpret_cast<wchar_t*>(&text), 0);
    return FillInserts(length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring(), inserts);
}
