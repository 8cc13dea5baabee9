#include "ui/PortChoiceDialog.h"

BEGIN_MESSAGE_MAP(CPortChoiceDialog, CDialog)
    ON_COMMAND(IDOK, OnOK)
    ON_LBN_DBLCLK(IDC_CHOICE_PORTS, OnDoubleClick)
END_MESSAGE_MAP()

BOOL CPortChoiceDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    ::SetDlgItemTextW(m_hWnd, IDC_CHOICE_TEXT, m_strProblem.c_str());
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
