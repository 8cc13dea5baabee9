// The port setting: read at window creation, written when the Port dialog is confirmed.
#include "fw/App.h"
#include "res/messages.h"
#include "settings/PortSetting.h"
#include "ui/MainDialog.h"

void CMainDialog::SerializePort(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteString(CString(FormatPortIndex(m_portDlg.m_nPort)));
    } else {
        CString line;
        ar.ReadString(line, kMaxSettingLine);
        m_portDlg.m_nPort = ParsePortIndex(line);
    }
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
        ShowErrorBox(m_hWnd, LoadMessage(IDS_SETTING_NOT_SAVED, { kSettingFileName, Decimal(m_portDlg.m_nPort + 1LL),
                                                                  e.GetDescription() }));
    }
}

void CMainDialog::OnSetup()
{
    if (m_portDlg.DoModal() != IDOK)
        return;
    StorePortSetting();
    ConfigurePort();
}
