// The read-out run: from the Read button to the finished table file. The
// first timer tick that finds no new character ends it, and so do the loss of
// the port, reads that keep failing and the program's end.
#include "fw/App.h"
#include "fw/Clock.h"
#include "fw/Exception.h"
#include "fw/FileDialog.h"
#include "fw/Prompts.h"
#include "link/LoggerCommands.h"
#include "readout/TableFile.h"
#include "readout/TableName.h"
#include "res/messages.h"
#include "ui/MainDialog.h"

#include <shlobj.h>

namespace {
const int kLockedButtons[] = { IDC_READ, IDC_SETUP, IDOK, IDC_ERASE };

bool FileExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool TableHoldsData(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    return ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
           !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && (data.nFileSizeHigh != 0 || data.nFileSizeLow != 0);
}

// Today's local date as the clock gives it.
SYSTEMTIME Today()
{
    const ULONGLONG ticks = AfxClock().Now() * 10000;
    const FILETIME utc = { static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32) };
    SYSTEMTIME utcTime, local;
    ::FileTimeToSystemTime(&utc, &utcTime);
    if (!::SystemTimeToTzSpecificLocalTime(AfxClock().TimeZone(), &utcTime, &local))
        local = utcTime;
    return local;
}
}  // namespace

void CMainDialog::OnRead()
{
    // A port closed or lost before may be back, or another may be chosen.
    if (!OpenPortOrChoose(Opening::IfClosed))
        return;
    const SYSTEMTIME today = Today();
    const std::wstring folder = TableFolder();
    const std::wstring name = ProposeTableName(today.wYear, today.wMonth, today.wDay, [&](const std::wstring& candidate) {
        return FileExists(folder + L"\\" + candidate);
    });
    // The folder goes with the name: an initial folder given again gives way
    // to the one the chooser last used, and the name would be looked up in
    // another folder than the one shown.
    CFileDialog chooser(TRUE, L"txt", folder + L"\\" + name, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR,
                        LoadMessage(IDS_TABLE_FILTER));
    if (!AfxPrompts().ChooseFile(chooser))
        return;
    const std::wstring path = chooser.GetPathNameWithExtension();
    m_strTableFolder = FolderOf(path);
    StartReadOut(path);
}

std::wstring CMainDialog::TableFolder() const
{
    if (!m_strTableFolder.empty())
        return m_strTableFolder;
    const std::wstring documents = m_bStartFolderTakesFiles ? std::wstring() : m_shellFolder(CSIDL_PERSONAL);
    return documents.empty() ? m_strStartFolder : documents;
}

void CMainDialog::LockButtons(bool locked)
{
    for (int id : kLockedButtons)
        EnableDlgItem(id, !locked);
}

void CMainDialog::StartReadOut(const std::wstring& path)
{
    // Nothing is touched unless the port takes the command and the file can
    // be had: the logger keeps its data, and the user can try again.
    m_comm.RequireOpen();
    const bool sent = OpenTableAndSend(m_file, path, [&] {
        // The open-style chooser never asks before a table is replaced: ask here.
        if (TableHoldsData(path) && !AfxPrompts().AskYesNo(m_hWnd, LoadMessage(IDS_TABLE_REPLACE, { path })))
            return false;
        SendCommand(kReadOutCommand);
        return true;
    });
    if (!sent)
        return;

    AfxClock().SetTimer(m_hWnd, kReadOutTimer, kTickMillis);
    // The PC's idle timer does not see serial traffic: it must not sleep meanwhile.
    AfxClock().KeepAwake(true);
    LockButtons(true);
    // A read-out started in Delete's pause ends it: it has the line now.
    if (m_phase == Phase::ErasePause)
        m_phase = Phase::Idle;
    m_bFileOpen = 1;
    m_tally = RunTally();
    m_tally.lastFlush = AfxClock().Now();
    m_nLastCount = 0;
    // The logger sends its records from a line start: a line the previous run
    // left unfinished must not shift the layout of the new table.
    m_nPos = 0;
    m_nCount = 0;
}

void CMainDialog::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kReadOutTimer) {
        if (m_nCount == m_nLastCount)
            EndReadOut(RunEnd::Silence);
        else
            m_nLastCount = m_nCount;
    } else if (nIDEvent == kLateTimer && m_late.Tick()) {
        TellLateChars();
    }
    Default();
}

void CMainDialog::EndReadOut(RunEnd how)
{
    if (!ReadOutRunning())
        return;
    AfxClock().KillTimer(m_hWnd, kReadOutTimer);
    AfxClock().KeepAwake(false);
    LockButtons(false);
    // The display shows the total, not just the count at the last line's dates.
    ShowCount();
    const std::wstring table = m_file.GetFilePath();
    const bool made = m_file.WasCreated();
    CloseTable();
    const RunVerdict verdict = JudgeRun(how, m_nCount, m_tally, m_comm.GetFailedReads());
    m_lastOutcome = verdict.outcome;
    if (how == RunEnd::ProgramEnds)
        return;
    m_late.Arm();
    TellRunEnd(verdict, table, made);
}

void CMainDialog::TellRunEnd(const RunVerdict& verdict, const std::wstring& table, bool made)
{
    const std::wstring port = Decimal(m_comm.GetCommPort());
    // Which table the user still has, when nothing came.
    const std::wstring untouched = m_nCount ? std::wstring()
                                            : L"\n\n" + LoadMessage(made ? IDS_TABLE_NOT_MADE : IDS_TABLE_KEPT, { table });
    std::wstring text;
    switch (verdict.outcome) {
    case Outcome::PortLost:
        text = m_nCount ? LoadMessage(m_tally.unwritten ? IDS_RUN_PORT_LOST_UNWRITTEN : IDS_RUN_PORT_LOST,
                                      { port, table, Decimal(m_nCount), Decimal(m_tally.unwritten) })
                        : LoadMessage(IDS_PORT_LOST, { port }) + untouched;
        if (const std::wstring reason = m_comm.GetLossReason(); !reason.empty())
            text += L"\n\n" + reason;
        break;
    case Outcome::Nothing: {
        text = LoadMessage(IDS_RUN_NOTHING, { port }) + untouched;
        // It may be the wrong port: the PC's others are offered with the text.
        const std::vector<ComPortName> ports = m_listPorts();
        if (!ports.empty()) {
            if (TakeAnotherPort(text, ports))
                OpenPortOrChoose(Opening::Anew);
            return;
        }
        break;
    }
    case Outcome::Incomplete: {
        // In Cause's order: each cause's text, and the number it gives.
        static const UINT texts[] = { IDS_CAUSE_UNWRITTEN, IDS_CAUSE_LINE_ERRORS, IDS_CAUSE_READS_FAILED,
                                      IDS_CAUSE_INSIDE_LINE, IDS_CAUSE_SLEPT };
        const unsigned long numbers[] = { m_tally.unwritten, m_tally.lineErrors, m_comm.GetFailedReads(), 0, 0 };
        text = LoadMessage(IDS_RUN_INCOMPLETE, { table });
        for (const Cause cause : verdict.causes) {
            const auto c = static_cast<size_t>(cause);
            text += L"\n\n" + LoadMessage(texts[c], { Decimal(static_cast<long long>(numbers[c])), port });
        }
        text += untouched + L"\n\n" + LoadMessage(IDS_RUN_AGAIN);
        break;
    }
    default:
        return;
    }
    Tell(text);
}

void CMainDialog::NoteLateChar()
{
    if (!m_late.Note())
        return;
    // The logger still has what did not reach the table: Delete asks first.
    if (m_lastOutcome == Outcome::Good)
        m_lastOutcome = Outcome::Incomplete;
    AfxClock().SetTimer(m_hWnd, kLateTimer, kTickMillis);
}

void CMainDialog::TellLateChars()
{
    AfxClock().KillTimer(m_hWnd, kLateTimer);
    // Once a run: a logger that keeps sending on its own is not to nag.
    if (const uint32_t late = m_late.Finish())
        Tell(LoadMessage(IDS_RUN_LATE, { Decimal(late), Decimal(m_comm.GetCommPort()) }) + L"\n\n" +
             LoadMessage(IDS_RUN_AGAIN));
}

void CMainDialog::TakeTable()
{
    // Until it is emptied, nothing is written: the new rows never follow the old ones.
    m_file.SetLength(0);
    m_tally.tableTaken = true;
}

void CMainDialog::CloseTable()
{
    FlushTable();
    // A table this run made and nothing came for is no table.
    const bool unused = m_file.WasCreated() && !m_tally.tableTaken;
    const std::wstring path = m_file.GetFilePath();
    m_bFileOpen = 0;
    m_file.Close();
    if (unused)
        CFile::Remove(path);
}

void CMainDialog::FlushTable()
{
    m_tally.lastFlush = AfxClock().Now();
    try {
        m_file.Flush();
    } catch (const CFileException&) {
        m_tally.unwritten += m_tally.bufferedChars;
    }
    m_tally.bufferedChars = 0;
}

void CMainDialog::ShowCount()
{
    m_strBytes.Format("%lu", static_cast<unsigned long>(m_nCount));
    UpdateData(FALSE);
}

bool CMainDialog::DisplayMayRefresh()
{
    // A refresh costs about a quarter of a millisecond of CPU, more than all
    // else a character costs. At the line's own speed a line brings two every
    // 33 ms, faster than anyone can read them: at most ten a second are shown.
    const ULONGLONG now = AfxClock().Now();
    if (m_nLastRefresh != 0 && now - m_nLastRefresh < kRefreshMillis)
        return false;
    m_nLastRefresh = now;
    return true;
}
