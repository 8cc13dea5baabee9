// The port setting: read at window creation, written when the Port dialog is confirmed.
#include "fw/App.h"
#include "fw/Prompts.h"
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
    // The file lives where the program was started; the file chooser may
    // move the working directory later, so the name is made whole now.
    wchar_t path[MAX_PATH * 4];
    const DWORD length = ::GetFullPathNameW(kSettingFileName, MAX_PATH * 4, path, nullptr);
    m_strSettingPath = length > 0 && length < MAX_PATH * 4 ? path : kSettingFileName;
    const size_t slash = m_strSettingPath.find_last_of(L'\\');
    m_strTableFolder = slash == std::wstring::npos ? L"." : m_strSettingPath.substr(0, slash);

    CFile file;
    if (file.Open(m_strSettingPath, CFile::modeRead | CFile::shareExclusive)) {
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
    CFileException error(L"", 0);
    try {
        CFile file;
        if (!file.Open(m_strSettingPath, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, &error))
            throw error;
        CArchive ar(&file, CArchive::store);
        SerializePort(ar);
        ar.Close();
        file.Close();
    } catch (const CFileException& e) {
        // The port chosen or loaded is used all the same; only saving it failed.
        AfxPrompts().ShowError(m_hWnd, LoadMessage(IDS_SETTING_NOT_SAVED, { m_strSettingPath,
                                                                            Decimal(m_portDlg.m_nPort + 1LL),
                                                                            e.GetDescription() }));
    }
}

void CMainDialog::OnSetup()
{
    if (AfxPrompts().RunModal(m_portDlg) != IDOK)
        return;
    StorePortSetting();
    OpenPortOrChoose(&CMainDialog::ConfigurePort);
}
