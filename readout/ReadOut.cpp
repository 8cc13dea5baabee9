// The read-out run: from the Read button to the finished table file. Silence
// ends it: the first timer tick that finds no new character.
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
#include <vector>

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
    if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &local))
        local = utcTime;
    return local;
}
}  // namespace

void CMainDialog::OnRead()
{
    // A port closed or lost before may be back, or another may be chosen.
    if (!OpenPortOrChoose(&CMainDialog::ReopenPort))
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
    const size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        m_strTableFolder = path.substr(0, slash);
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

    AfxClock().SetTimer(m_hWnd, kReadOutTimer, kReadOutPeriod);
    // The PC's idle timer does not see serial traffic: it must not sleep meanwhile.
    AfxClock().KeepAwake(true);
    LockButtons(true);
    ++m_nRunsStarted;
    m_bFileOpen = 1;
    m_bTableTaken = false;
    m_nUnwritten = 0;
    m_nLineErrors = 0;
    m_bSlept = false;
    m_nBufferedChars = 0;
    m_nLastFlush = AfxClock().Now();
    m_nLastCount = 0;
    // The logger sends its records from a line start: a line the previous run
    // left unfinished must not shift the layout of the new table.
    m_nPos = 0;
    m_bInsideLine = false;
    m_nCount = 0;
}

void CMainDialog::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kReadOutTimer) {
        if (m_nCount == m_nLastCount)
            EndReadOut(RunEnd::Silence);
        else
            m_nLastCount = m_nCount;
    } else if (nIDEvent == kLateTimer) {
        if (m_nLate == m_nLateAtTick)
            TellLateChars();
        else
            m_nLateAtTick = m_nLate;
    }
    Default();
}

void CMainDialog::EndReadOut(RunEnd how)
{
    AfxClock().KillTimer(m_hWnd, kReadOutTimer);
    AfxClock().KeepAwake(false);
    LockButtons(false);
    // The display shows the total, not just the count at the last line's dates.
    ShowCount();
    if (!ReadOutRunning())
        return;
    const std::wstring name = m_file.GetFilePath(), port = Decimal(m_comm.GetCommPort());
    const bool made = m_file.WasCreated();
    CloseTable();
    m_bLateWatch = how != RunEnd::ProgramEnds;

    // Which table the user still has, when nothing came.
    const std::wstring untouched = m_nCount ? std::wstring()
                                            : L"\n\n" + LoadMessage(made ? IDS_TABLE_NOT_MADE : IDS_TABLE_KEPT, { name });
    std::wstring text;
    if (how == RunEnd::PortLost) {
        m_lastRun = LastRun::PortLost;
        text = m_nCount ? LoadMessage(m_nUnwritten ? IDS_RUN_PORT_LOST_UNWRITTEN : IDS_RUN_PORT_LOST,
                                      { port, name, Decimal(m_nCount), Decimal(m_nUnwritten) })
                        : LoadMessage(IDS_PORT_LOST, { port }) + untouched;
        if (!m_comm.GetLossReason().empty())
            text += L"\n\n" + m_comm.GetLossReason();
    } else {
        std::vector<std::wstring> causes;
        if (m_nUnwritten)
            causes.push_back(LoadMessage(IDS_CAUSE_UNWRITTEN, { Decimal(m_nUnwritten) }));
        if (m_nLineErrors)
            causes.push_back(LoadMessage(IDS_CAUSE_LINE_ERRORS, { Decimal(m_nLineErrors) }));
        if (const unsigned long failed = m_comm.GetFailedReads())
            causes.push_back(LoadMessage(IDS_CAUSE_READS_FAILED, { Decimal(failed), port }));
        if (m_bInsideLine)
            causes.push_back(LoadMessage(IDS_CAUSE_INSIDE_LINE));
        if (m_bSlept)
            causes.push_back(LoadMessage(IDS_CAUSE_SLEPT));
        if (causes.empty() && m_nCount == 0) {
            m_lastRun = LastRun::Nothing;
            text = LoadMessage(IDS_RUN_NOTHING, { port }) + untouched;
            // It may be the wrong port: the PC's others are offered with the text.
            const std::vector<ComPortName> ports = how == RunEnd::ProgramEnds ? std::vector<ComPortName>() : m_listPorts();
            if (!ports.empty()) {
                UseAnotherPort(text, ports);
                return;
            }
        } else if (causes.empty()) {
            m_lastRun = LastRun::Good;
        } else {
            m_lastRun = LastRun::Incomplete;
            text = LoadMessage(IDS_RUN_INCOMPLETE, { name });
            for (const std::wstring& cause : causes)
                text += L"\n\n" + cause;
            text += untouched + L"\n\n" + LoadMessage(IDS_RUN_AGAIN);
        }
    }
    if (how != RunEnd::ProgramEnds && !text.empty())
        Tell(text);
}

void CMainDialog::NoteLateChar()
{
    if (!m_bLateWatch || m_nLate++ != 0)
        return;
    // The logger still has what did not reach the table: Delete asks first.
    if (m_lastRun == LastRun::Good)
        m_lastRun = LastRun::Incomplete;
    AfxClock().SetTimer(m_hWnd, kLateTimer, kReadOutPeriod);
}

void CMainDialog::TellLateChars()
{
    AfxClock().KillTimer(m_hWnd, kLateTimer);
    if (!m_bLateWatch || m_nLate == 0)  // nothing to tell, or a tick queued before the kill
        return;
    // Once a run: a logger that keeps sending on its own is not to nag.
    m_bLateWatch = false;
    Tell(LoadMessage(IDS_RUN_LATE, { Decimal(m_nLate), Decimal(m_comm.GetCommPort()) }) + L"\n\n" +
         LoadMessage(IDS_RUN_AGAIN));
}

void CMainDialog::TakeTable()
{
    // Until it is emptied, nothing is written: the new rows never follow the old ones.
    m_file.SetLength(0);
    m_bTableTaken = true;
}

void CMainDialog::CloseTable()
{
    FlushTable();
    // A table this run made and nothing came for is no table.
    const bool unused = m_file.WasCreated() && !m_bTableTaken;
    const std::wstring path = m_file.GetFilePath();
    m_bFileOpen = 0;
    m_file.Close();
    if (unused)
        CFile::Remove(path);
}

void CMainDialog::FlushTable()
{
    m_nLastFlush = AfxClock().Now();
    try {
        m_file.Flush();
    } catch (const CFileException&) {
        if (ReadOutRunning())
            m_nUnwritten += m_nBufferedChars;
    }
    m_nBufferedChars = 0;
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
