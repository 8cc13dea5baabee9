// The Port dialog: four radio buttons COM 1 to COM 4.
#pragma once

#include "fw/Wnd.h"
#include "ui/resource.h"

class CPortDialog : public CDialog {
public:
    explicit CPortDialog(CWnd* parent = nullptr) : CDialog(IDD_PORT, parent) {}

    // The selected button: 0 to 3 for COM 1 to COM 4, -1 for none.
    int m_nPort = -1;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Radio(pDX, IDC_COM1, m_nPort); }
};
