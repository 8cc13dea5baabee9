// The port setting: read at window creation, written when the Port dialog is confirmed.
#include "fw/App.h"
#include "fw/Prompts.h"
#include "res/messages.h"
#include "settings/PortSetting.h"
#include "ui/MainDialog.h"

#include <shlobj.h>

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
    const std::wstring started = length > 0 && length < MAX_PATH * 4 ? path : kSettingFileName;
    m_strStartFolder = FolderOf(started);
    // Where the user cannot write (Program Files, a zip opened in Explorer, a
    // guarded folder), it lives in the user's own application data; one left
    // in the start folder is still read, until there is one of the user's.
    m_bStartFolderTakesFiles = m_folderTakesFiles(m_strStartFolder);
    const std::wstring own = m_shellFolder(CSIDL_LOCAL_APPDATA);
    m_strSettingPath = m_bStartFolderTakesFiles || own.empty() ? started : own + L"\\Vorlix\\" + kSettingFileName;

    std::vector<std::wstring> places = { m_strSettingPath };
    if (m_strSettingPath != started)
        places.push_back(started);
    for (const std::wstring& place : places) {
        CFile file;
        CFileException error(L"", 0);
        if (file.Open(place, CFile::modeRead | CFile::shareExclusive, &error)) {
            CArchive ar(&file, CArchive::load);
            SerializePort(ar);
            ar.Close();
            file.Close();
            return;
        }
        // Only a file that is not there means no setting: one that cannot be
        // read (locked, access denied) is left as it is.
        if (error.m_lOsError != ERROR_FILE_NOT_FOUND && error.m_lOsError != ERROR_PATH_NOT_FOUND) {
            m_portDlg.m_nPort = 1;
            Tell(LoadMessage(IDS_SETTING_NOT_READ, { place, Decimal(m_portDlg.m_nPort + 1LL),
                                                     SystemErrorText(error.m_lOsError) }));
            return;
        }
    }
    m_portDlg.m_nPort = 1;
    StorePortSetting();
}

void CMainDialog::StorePortSetting()
{
    CFileException error(L"", 0);
    try {
        // The user's own folder for it may not be there yet.
        if (!m_bStartFolderTakesFiles)
            ::CreateDirectoryW(FolderOf(m_strSettingPath).c_str(), nullptr);
        CFile file;
        if (!file.Open(m_strSettingPath, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, &error))
            throw error;
        CArchive ar(&file, CArchive::store);
        SerializePort(ar);
        ar.Close();
        file.Close();
    } catch (const CFileException& e) {
        // The port chosen or loaded is used all the same; only saving it failed.
        Tell(LoadMessage(IDS_SETTING_NOT_SAVED, { m_strSettingPath, Decimal(m_portDlg.m_nPort + 1LL), e.GetDescription() }));
    }
}

void CMainDialog::OnSetup()
{
    if (AfxPrompts().RunModal(m_portDlg) != IDOK)
        return;
    StorePortSetting();
    OpenPortOrChoose(Opening::Anew);
}
