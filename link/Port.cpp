// Opening the chosen port with the logger's line settings, and sending commands.
#include "fw/App.h"
#include "fw/Clock.h"
#include "fw/Prompts.h"
#include "res/messages.h"
#include "ui/MainDialog.h"
#include "ui/PortChoiceDialog.h"

void CMainDialog::ConfigurePort()
{
    // Another port, or the same opened again: what comes now is no run's rest.
    TellLateChars();
    if (m_comm.GetPortOpen())
        m_comm.SetPortOpen(FALSE);
    // The port number is the index plus one, in 16 bits: index 0 is COM 1.
    m_comm.SetCommPort(static_cast<short>(static_cast<unsigned short>(m_portDlg.m_nPort) + 1u));
    m_comm.SetSettings("9600,N,8,1");
    m_comm.SetInBufferSize(8191);
    if (!m_comm.GetPortOpen())
        m_comm.SetPortOpen(TRUE);
    // One notification and one character per received byte.
    m_comm.SetRThreshold(1);
    m_comm.SetInputLen(1);
}

bool CMainDialog::OpenPortOrChoose(Opening how)
{
    for (;;) {
        try {
            if (how == Opening::Anew)
                ConfigurePort();
            else if (m_comm.IsPortLost())
                m_comm.Reconnect();  // after a loss the adapter may be back under its name
            else if (!m_comm.GetPortOpen())
                ConfigurePort();
            return true;
        } catch (const CPortUnusable& e) {
            const std::vector<ComPortName> ports = m_listPorts();
            if (ports.empty()) {
                Tell(e.GetDescription() + L"\n\n" + LoadMessage(IDS_PORTS_ON_THIS_PC, { LoadMessage(IDS_PORTS_NONE) }));
                return false;
            }
            if (!TakeAnotherPort(e.GetDescription(), ports))
                return false;
            how = Opening::Anew;
        }
    }
}

bool CMainDialog::TakeAnotherPort(const std::wstring& problem, const std::vector<ComPortName>& ports)
{
    CPortChoiceDialog choice(problem, ports);
    if (AfxPrompts().RunModal(choice) != IDOK)
        return false;
    m_portDlg.m_nPort = choice.m_nChosen - 1;
    StorePortSetting();
    return true;
}

void CMainDialog::SendCommand(CString command)
{
    m_comm.DiscardOutput();
    m_comm.DiscardInput();
    m_comm.SetOutput(command);
    // What comes now is the answer to this command, not the last run's rest.
    m_late.Stop();
    AfxClock().KillTimer(m_hWnd, kLateTimer);
}
