#include "ui/PortChoiceDialog.h"

BEGIN_MESSAGE_MAP(CPortChoiceDialog, CDialog)
    ON_COMMAND(IDOK, OnOK)
    ON_LBN_DBLCLK(IDC_CHOICE_PORTS, OnDoubleClick)
END_MESSAGE_MAP()

BOOL CPortChoiceDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    ::SetDlgItemTextW(m_hWnd, IDC_CHOICE_TEXT, m_strProblem.c_str());
    FitText();
    const HWND list = GetDlgItem(IDC_CHOICE_PORTS);
    for (const ComPortName& port : m_ports) {
        std::wstring line = L"COM " + std::to_wstring(port.number);
        if (!port.device.empty())
            line += L"    " + port.device;
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    ::SendMessageW(list, LB_SETCURSEL, 0, 0);
    return TRUE;
}

void CPortChoiceDialog::OnOK()
{
    const LRESULT index = ::SendMessageW(GetDlgItem(IDC_CHOICE_PORTS), LB_GETCURSEL, 0, 0);
    if (index < 0 || static_cast<size_t>(index) >= m_ports.size())
        return;
    m_nChosen = m_ports[static_cast<size_t>(index)].number;
    EndDialog(IDOK);
}

void CPortChoiceDialog::FitText()
{
    // The text says what went wrong, with the system's reason or the table's
    // path: the dialog grows to it, and what stands below moves down.
    const HWND text = GetDlgItem(IDC_CHOICE_TEXT);
    RECT has;
    ::GetWindowRect(text, &has);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&has), 2);
    RECT needed = { 0, 0, has.right - has.left, 0 };
    const HDC dc = ::GetDC(text);
    const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(text, WM_GETFONT, 0, 0)));
    ::DrawTextW(dc, m_strProblem.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
    ::SelectObject(dc, old);
    ::ReleaseDC(text, dc);
    const int grow = needed.bottom - (has.bottom - has.top);
    if (grow <= 0)
        return;
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT rect;
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        if (child == text)
            ::SetWindowPos(child, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top + grow,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        else if (rect.top >= has.bottom)
            ::SetWindowPos(child, nullptr, rect.left, rect.top + grow, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT window;
    ::GetWindowRect(m_hWnd, &window);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + grow,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CenterWindow();
}
