// The read-out run: from the Read button to the finished table file. Silence
// ends it: the first timer tick that finds no new character.
#include "fw/App.h"
#include "fw/Exception.h"
#include "fw/FileDialog.h"
#include "link/LoggerCommands.h"
#include "readout/TableFile.h"
#include "res/messages.h"
#include "ui/MainDialog.h"

namespace {
constexpr UINT_PTR kReadOutTimer = 1;
constexpr UINT kReadOutPeriod = 2000;
const int kLockedButtons[] = { IDC_READ, IDC_SETUP, IDOK, IDC_ERASE };

bool TableHoldsData(const CString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    return ::GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data) &&
           !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && (data.nFileSizeHigh != 0 || data.nFileSizeLow != 0);
}
}  // namespace

void CMainDialog::OnRead()
{
    // After a lost connection the adapter may be back under its name.
    m_comm.Reconnect();
    // The chooser must not move the working directory to the table's folder:
    // the setting file lives where the program was started.
    CFileDialog chooser(TRUE, "txt", "*.txt", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR,
                        LoadMessage(IDS_TABLE_FILTER));
    if (chooser.DoModal() != IDOK)
        return;

    // Nothing is touched unless the port takes the command and the file can
    // be had: the logger keeps its data, and the user can try again.
    m_comm.RequireOpen();
    const CString path = chooser.GetPathNameWithExtension();
    // The open-style chooser never asks before a table is replaced: ask here.
    if (TableHoldsData(path) && !AskYesNo(m_hWnd, LoadMessage(IDS_TABLE_REPLACE, { path })))
        return;
    OpenTableAndSend(m_file, path, [this] { SendCommand(kReadOutCommand); });

    SetTimer(kReadOutTimer, kReadOutPeriod);
    for (int id : kLockedButtons)
        EnableDlgItem(id, FALSE);
    m_bFileOpen = 1;
    m_nUnwritten = 0;
    m_nLineErrors = 0;
    m_nBufferedChars = 0;
    m_nLastFlush = ::GetTickCount64();
    m_nLastCount = 0;
    // The logger sends its records from a line start: a line the previous run
    // left unfinished must not shift the layout of the new table.
    m_nPos = 0;
    m_nCount = 0;
}

void CMainDialog::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kReadOutTimer) {
        if (m_nCount == m_nLastCount) {
            const CString problem = EndReadOut(false);
            if (!problem.IsEmpty())
                throw CException(problem);
        } else {
            m_nLastCount = m_nCount;
        }
    }
    Default();
}

CString CMainDialog::EndReadOut(bool portLost)
{
    KillTimer(kReadOutTimer);
    for (int id : kLockedButtons)
        EnableDlgItem(id, TRUE);
    // The display shows the total, not just the count at the last line's dates.
    ShowCount();
    if (!m_bFileOpen)
        return CString();
    CloseTable();

    const CString name = m_file.GetFilePath();
    if (portLost)
        return LoadMessage(m_nUnwritten ? IDS_RUN_PORT_LOST_UNWRITTEN : IDS_RUN_PORT_LOST,
                           { Decimal(m_comm.GetCommPort()), name, Decimal(m_nCount), Decimal(m_nUnwritten) });
    if (m_nUnwritten != 0 || m_nLineErrors != 0)
        return LoadMessage(IDS_RUN_INCOMPLETE, { name, Decimal(m_nUnwritten), Decimal(m_nLineErrors) });
    return CString();
}
