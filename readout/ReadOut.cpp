// The read-out run: from the Read button to the finished table file. Silence
// ends it: the first timer tick that finds no new character.
#include "fw/Exception.h"
#include "fw/FileDialog.h"
#include "link/LoggerCommands.h"
#include "ui/MainDialog.h"

namespace {
constexpr UINT_PTR kReadOutTimer = 1;
constexpr UINT kReadOutPeriod = 2000;
const int kLockedButtons[] = { IDC_READ, IDC_SETUP, IDOK, IDC_ERASE };
}  // namespace

void CMainDialog::OnRead()
{
    // The chooser must not move the working directory to the table's folder:
    // the setting file lives where the program was started.
    CFileDialog chooser(TRUE, "txt", "*.txt", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR,
                        "Tabellen (*.txt) | *.txt | Alle Dateien (*.*)|*.*||");
    if (chooser.DoModal() != IDOK)
        return;

    // Nothing is touched unless the port can take the command and the file
    // can be created: the logger keeps its data, and the user can try again.
    m_comm.RequireOpen("gesendet", "send");
    CFileException error("", 0);
    if (!m_file.Open(chooser.GetPathName(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, &error))
        throw CException(error.GetDescription() +
                         "\n\nEs wurde nichts ausgelesen; bitte einen anderen Namen w\xE4hlen.\n"
                         "Nothing was read out; please choose another name.");

    SetTimer(kReadOutTimer, kReadOutPeriod);
    for (int id : kLockedButtons)
        EnableDlgItem(id, FALSE);
    m_bFileOpen = 1;
    m_bReading = true;
    m_nUnwritten = 0;
    m_nLineErrors = 0;
    m_nLastCount = 0;
    // The logger sends its records from a line start: a line the previous run
    // left unfinished must not shift the layout of the new table.
    m_nPos = 0;
    SendCommand(kReadOutCommand);
    m_nCount = 0;
}

void CMainDialog::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kReadOutTimer) {
        if (m_nCount == m_nLastCount)
            EndReadOut();
        else
            m_nLastCount = m_nCount;
    }
    Default();
}

void CMainDialog::EndReadOut()
{
    KillTimer(kReadOutTimer);
    for (int id : kLockedButtons)
        EnableDlgItem(id, TRUE);
    const bool wasReading = m_bReading;
    m_bReading = false;
    // The display shows the total, not just the count at the last line's dates.
    m_strBytes.Format("%lu", static_cast<unsigned long>(m_nCount));
    UpdateData(FALSE);
    if (m_bFileOpen)
        m_file.Close();
    if (wasReading && (m_nUnwritten != 0 || m_nLineErrors != 0))
        throw CException(FormatString(
            "Die Tabelle \"%s\" ist unvollst\xE4ndig: %lu Zeichen konnten nicht geschrieben werden, "
            "%lu Mal gingen Zeichen auf der Leitung verloren.\n"
            "The table \"%s\" is incomplete: %lu characters could not be written, "
            "characters were lost on the line %lu times.",
            m_file.GetFilePath().GetString(), static_cast<unsigned long>(m_nUnwritten),
            static_cast<unsigned long>(m_nLineErrors), m_file.GetFilePath().GetString(),
            static_cast<unsigned long>(m_nUnwritten), static_cast<unsigned long>(m_nLineErrors)));
}
