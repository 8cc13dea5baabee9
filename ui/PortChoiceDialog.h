// Shown instead of an error box when the port to be opened is not on this
// PC: what went wrong, and the ports the PC has, to use one of them instead.
#pragma once

#include "fw/Wnd.h"
#include "link/PortIo.h"
#include "ui/resource.h"

#include <string>
#include <vector>

class CPortChoiceDialog : public CDialog {
public:
    CPortChoiceDialog(std::wstring problem, std::vector<ComPortName> ports)
        : CDialog(IDD_PORT_CHOICE), m_strProblem(std::move(problem)), m_ports(std::move(ports)) {}

    const std::wstring m_strProblem;
    const std::vector<ComPortName> m_ports;
    int m_nChosen = 0;  // the port number Use took

protected:
    BOOL OnInitDialog() override;
    void OnOK();
    void OnDoubleClick() { OnOK(); }
    void FitText();
    DECLARE_MESSAGE_MAP()
};
