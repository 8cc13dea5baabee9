// Opening the chosen port with the logger's line settings, and sending commands.
#include "ui/MainDialog.h"

void CMainDialog::ConfigurePort()
{
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

void CMainDialog::SendCommand(CString command)
{
    m_comm.DiscardOutput();
    m_comm.DiscardInput();
    m_comm.SetOutput(command);
}
