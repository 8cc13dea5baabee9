// The read-out run: from the Read button to the finished table file. Silence
// ends it: the first timer tick that finds no new character.
#include "fw/Exception.h"
#include "fw/FileDialog.h"
#include "link/LoggerCommands.h"
#include "readout/TableFile.h"
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
                        "Tabellen (*.txt) | *.txt | Alle Dateien (*.*)|*.*||");
    if (chooser.DoModal() != IDOK)
        return;

    // Nothing is touched unless the port takes the command and the file can
    // be had: the logger keeps its data, and the user can try again.
    m_comm.RequireOpen();
    const CString path = chooser.GetPathNameWithExtension();
    // The open-style chooser never asks before a table is replaced: ask here.
    if (TableHoldsData(path) &&
        !AskYesNo(m_hWnd, FormatString("Die Datei \"%s\" existiert bereits. Ersetzen?\n"
                                       "The file \"%s\" already exists. Replace it?",
                                       path.GetString(), path.GetString())))
        return;
    OpenTableAndSend(m_file, path, [this] { SendCommand(kReadOutCommand); });

    SetTimer(kReadOutTimer, kReadOutPeriod);
    for (int id : kLockedButtons)
        EnableDlgItem(id, FALSE);
    m_bFileOpen = 1;
    m_bReading = true;
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
    const bool wasReading = m_bReading;
    m_bReading = false;
    // The display shows the total, not just the count at the last line's dates.
    m_strBytes.Format("%lu", static_cast<unsigned long>(m_nCount));
    UpdateData(FALSE);
    if (m_bFileOpen) {
        FlushTable();
        m_file.Close();
    }
    if (!wasReading)
        return CString();

    const char* name = m_file.GetFilePath().GetString();
    const unsigned long count = m_nCount, unwritten = m_nUnwritten, lineErrors = m_nLineErrors;
    if (portLost)
        return FormatString("Die Verbindung \xFC" "ber COM %d ist unterbrochen. Die Tabelle \"%s\" ist "
                            "unvollst\xE4ndig: sie endet nach %lu empfangenen Zeichen%s.\n"
                            "The connection on COM %d was lost. The table \"%s\" is incomplete: it ends "
                            "after %lu characters received%s.",
                            m_comm.GetCommPort(), name, count,
                            unwritten ? FormatString(", %lu davon konnten nicht geschrieben werden", unwritten).GetString() : "",
                            m_comm.GetCommPort(), name, count,
                            unwritten ? FormatString(", %lu of them could not be written", unwritten).GetString() : "");
    if (unwritten != 0 || lineErrors != 0)
        return FormatString("Die Tabelle \"%s\" ist unvollst\xE4ndig: %lu Zeichen konnten nicht geschrieben werden, "
                            "%lu Mal gingen Zeichen auf der Leitung verloren.\n"
                            "The table \"%s\" is incomplete: %lu characters could not be written, "
                            "characters were lost on the line %lu times.",
                            name, unwritten, lineErrors, name, unwritten, lineErrors);
    return CString();
}
