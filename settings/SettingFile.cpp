// The port setting: read at window creation, written when the Port dialog is confirmed.
#include "settings/PortSetting.h"
#include "ui/MainDialog.h"

void CMainDialog::SerializePort(CArchive& ar)
{
    if (ar.IsStoring())
        WritePortSetting(ar, m_portDlg.m_nPort);
    else
        m_portDlg.m_nPort = ReadPortSetting(ar);
}

void CMainDialog::LoadPortSetting()
{
    CFile file;
    if (file.Open(kSettingFileName, CFile::modeRead | CFile::shareExclusive)) {
        CArchive ar(&file, CArchive::load);
        SerializePort(ar);
        ar.Close();
        file.Close();
        return;
    }
    m_portDlg.m_nPort = 1;
    StorePortSetting();
}

void CMainDialog::StorePortSetting()
{
    CFileException error("", 0);
    try {
        CFile file;
        if (!file.Open(kSettingFileName, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, &error))
            throw error;
        CArchive ar(&file, CArchive::store);
        SerializePort(ar);
        ar.Close();
        file.Close();
    } catch (const CFileException& e) {
        // The port chosen or loaded is used all the same; only saving it failed.
        const int port = m_portDlg.m_nPort + 1;
        ShowErrorBox(m_hWnd, FormatString("Die Einstellung kann nicht in \"%s\" gespeichert werden; "
                                          "COM %d wird nur bis zum Programmende benutzt.\n"
                                          "The setting cannot be saved in \"%s\"; COM %d is used until the "
                                          "program ends.\n\n%s",
                                          kSettingFileName, port, kSettingFileName, port,
                                          e.GetDescription().GetString()));
    }
}

void CMainDialog::OnSetup()
{
    if (m_portDlg.DoModal() != IDOK)
        return;
    StorePortSetting();
    ConfigurePort();
}
