#include "fw/Wnd.h"

#include "fw/App.h"
#include "fw/Exception.h"
#include "fw/Prompts.h"
#include "fw/fwres.h"

#include <new>

namespace {

// The dialog being created by DoModal, and the hook that attaches it to its
// window before the window's first message: plain globals, as only the GUI
// thread makes dialogs.
CDialog* g_pDialogInit = nullptr;
HHOOK g_hCreationHook = nullptr;
}  // namespace

// ---- CWnd --------------------------------------------------------------------

CWnd::~CWnd()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    if (m_hWnd)
        Detach();
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    // The window's user data holds its object: a lookup that stays inside the
    // process (a window property costs a trip to the system on every message).
    return hWnd ? reinterpret_cast<CWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA)) : nullptr;
}

void CWnd::Attach(HWND hWnd)
{
    m_hWnd = hWnd;
    ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void CWnd::Detach()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
}

const MessageMap* CWnd::GetThisMessageMap()
{
    static const MessageEntry entries[] = { { 0, 0, nullptr } };
    static const MessageMap map = { nullptr, entries };
    return &map;
}

LRESULT CWnd::Default()
{
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
    return ::DefWindowProcW(m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kEventMessage) {
        for (const EventEntry* e = GetEventSinkMap(); e && e->handler; ++e) {
            if (e->id == LOWORD(wParam) && e->dispid == HIWORD(wParam)) {
                e->handler(*this);
                break;
            }
        }
        return 0;
    }
    for (const MessageMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const MessageEntry* e = map->entries; e->handler; ++e) {
            if (e->message != message)
                continue;
            if (message == WM_COMMAND && e->id != static_cast<UINT>(MAKELONG(LOWORD(wParam), HIWORD(wParam))))
                continue;
            return e->handler(*this, wParam, lParam);
        }
    }
    return Default();
}

LRESULT CALLBACK CWnd::StandardWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = FromHandle(hWnd);
    if (!wnd && message == WM_NCCREATE) {
        wnd = static_cast<CWnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (wnd)
            wnd->Attach(hWnd);
    }
    if (!wnd)
        return ::DefWindowProcW(hWnd, message, wParam, lParam);

    const CurrentMessage saved = wnd->m_current;
    wnd->m_current = { message, wParam, lParam };
    LRESULT result = 0;
    // The boundary of every handler: nothing it throws goes past this frame.
    try {
        result = wnd->WindowProc(message, wParam, lParam);
    } catch (const CException& e) {
        if (message != kEventMessage)
            AfxPrompts().ShowError(hWnd, e.GetDescription());
        result = (message == WM_INITDIALOG) ? TRUE : 0;
    } catch (const std::bad_alloc&) {
        if (message != kEventMessage)
            AfxPrompts().ShowError(hWnd, LoadMessage(IDS_FW_OUT_OF_MEMORY));
        result = (message == WM_INITDIALOG) ? TRUE : 0;
    } catch (...) {
        // Anything else would unwind through Windows' own frames.
        if (message != kEventMessage)
            AfxPrompts().ShowError(hWnd, LoadMessage(IDS_FW_UNEXPECTED));
        result = (message == WM_INITDIALOG) ? TRUE : 0;
    }
    wnd->m_current = saved;
    if (message == WM_NCDESTROY)
        wnd->Detach();
    return result;
}

void CWnd::RegisterClassOnce(const wchar_t* className)
{
    WNDCLASSW existing;
    if (::GetClassInfoW(AfxGetInstanceHandle(), className, &existing))
        return;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = StandardWndProc;
    wc.hInstance = AfxGetInstanceHandle();
    wc.lpszClassName = className;
    ::RegisterClassW(&wc);
}

BOOL CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const CString& windowName, DWORD style,
                    const RECT& rect, HWND parent, UINT id)
{
    RegisterClassOnce(className);
    HWND hWnd = ::CreateWindowExW(exStyle, className, Widen(windowName).c_str(), style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), AfxGetInstanceHandle(), this);
    return hWnd != nullptr;
}

void CWnd::FireEvent(UINT dispid)
{
    HWND parent = ::GetParent(m_hWnd);
    if (!parent)
        return;
    const WPARAM event = MAKEWPARAM(::GetDlgCtrlID(m_hWnd), dispid);
    // Events come on the GUI thread, one per received character: a parent of
    // this framework gets them through its window procedure directly, inside
    // the same boundary as a message, which saves the system's SendMessage path.
    if (FromHandle(parent))
        StandardWndProc(parent, kEventMessage, event, reinterpret_cast<LPARAM>(m_hWnd));
    else
        ::SendMessageW(parent, kEventMessage, event, reinterpret_cast<LPARAM>(m_hWnd));
}

void CWnd::CenterWindow(HWND alternateOwner)
{
    HWND owner = alternateOwner ? alternateOwner : ::GetWindow(m_hWnd, GW_OWNER);
    if (owner && (!::IsWindowVisible(owner) || ::IsIconic(owner)))
        owner = nullptr;

    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(owner ? owner : m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT area = monitor.rcWork;
    RECT center = area;
    if (owner)
        ::GetWindowRect(owner, &center);

    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    int x = (center.left + center.right) / 2 - width / 2;
    int y = (center.top + center.bottom) / 2 - height / 2;
    // Keep the whole window on the work area.
    if (x + width > area.right) x = area.right - width;
    if (x < area.left) x = area.left;
    if (y + height > area.bottom) y = area.bottom - height;
    if (y < area.top) y = area.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- Data exchange -----------------------------------------------------------

HWND CDataExchange::PrepareCtrl(int id) const
{
    return m_pDlgWnd->GetDlgItem(id);
}

void DDX_Text(CDataExchange* pDX, int id, CString& value)
{
    HWND control = pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        const int length = ::GetWindowTextLengthW(control);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        const int got = ::GetWindowTextW(control, &text[0], length + 1);
        value = Narrow(text.c_str(), got);
    } else {
        ::SetWindowTextW(control, Widen(value).c_str());
    }
}

void DDX_Radio(CDataExchange* pDX, int id, int& value)
{
    HWND control = pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate)
        value = -1;
    int index = 0;
    // The group runs from this control up to the next control that starts a group.
    while (control) {
        if (::SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) {
            if (pDX->m_bSaveAndValidate) {
                if (::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED)
                    value = index;
            } else {
                ::SendMessageW(control, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
            }
            ++index;
        }
        control = ::GetWindow(control, GW_HWNDNEXT);
        if (control && (::GetWindowLongW(control, GWL_STYLE) & WS_GROUP))
            break;
    }
}

// ---- CDialog -----------------------------------------------------------------

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

LRESULT CALLBACK CDialog::CreationHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && g_pDialogInit) {
        CDialog* dialog = g_pDialogInit;
        g_pDialogInit = nullptr;
        ::UnhookWindowsHookEx(g_hCreationHook);
        g_hCreationHook = nullptr;
        HWND hWnd = reinterpret_cast<HWND>(wParam);
        dialog->Attach(hWnd);
        dialog->m_pfnSuper = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StandardWndProc)));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

INT_PTR CDialog::DoModal()
{
    // Without a parent, the main window owns the dialog, so it is modal to it.
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    CWnd* main = AfxGetMainWnd();
    if (!owner && main && main != this && main->m_hWnd && ::IsWindow(main->m_hWnd))
        owner = main->m_hWnd;

    g_pDialogInit = this;
    g_hCreationHook = ::SetWindowsHookExW(WH_CBT, CreationHook, nullptr, ::GetCurrentThreadId());
    const INT_PTR result = ::DialogBoxParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_nIDTemplate), owner,
                                             DialogProc, 0);
    if (g_hCreationHook) {
        ::UnhookWindowsHookEx(g_hCreationHook);
        g_hCreationHook = nullptr;
    }
    g_pDialogInit = nullptr;
    if (m_hWnd)
        Detach();
    return result;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        CenterWindow();
        return OnInitDialog();
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}
