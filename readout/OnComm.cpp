// The receive handler: each character from the logger goes into the table file.
#include "fw/Exception.h"
#include "readout/RecordFormatter.h"
#include "ui/MainDialog.h"

void CMainDialog::OnComm()
{
    const short event = m_comm.GetCommEvent();
    if (event == CMSComm::comEventPortLost) {
        // Every byte received before the loss is in the table by now: the run
        // ends at once, and says so. Outside a run nothing is shown until the
        // user acts.
        if (m_bFileOpen)
            ShowErrorBox(m_hWnd, EndReadOut(true));
        return;
    }
    if (event != CMSComm::comEvReceive) {
        if (m_bFileOpen && (event == CMSComm::comEventOverrun || event == CMSComm::comEventRxOver))
            ++m_nLineErrors;
        return;
    }
    const CString input = m_comm.GetInput();
    const char ch = input.IsEmpty() ? '\0' : input[0];

    // A failing write ends the handler here, silently; during a read-out the
    // character is counted as lost with those whose bytes the failed write
    // took along, so that the user can be told at its end. Without an open
    // table the first write fails: nothing is counted.
    const RecordChar step = FormatRecordChar(m_nPos, ch);
    const bool writesSeparator = !step.lineEnd && step.separator;
    try {
        if (step.writeChar)
            m_file.Write(&step.ch, 1);
        m_nPos = step.newPos;
        if (writesSeparator)
            m_file.Write(&step.separator, 1);
    } catch (const CFileException&) {
        if (m_bFileOpen)
            m_nUnwritten += m_nBufferedChars + 1;
        m_nBufferedChars = 0;
        throw;
    }
    if (step.writeChar || writesSeparator)
        ++m_nBufferedChars;
    if (step.refreshDisplay && DisplayMayRefresh())
        ShowCount();
    ++m_nCount;
    // The table reaches the disk a line at a time, and at least every 250 ms
    // while characters keep coming.
    const ULONGLONG now = ::GetTickCount64();
    if (ch == '\n' || now - m_nLastFlush >= kFlushMillis)
        FlushTable();
}

void CMainDialog::CloseTable()
{
    FlushTable();
    m_file.Close();
    m_bFileOpen = 0;
}

void CMainDialog::FlushTable()
{
    m_nLastFlush = ::GetTickCount64();
    try {
        m_file.Flush();
    } catch (const CFileException&) {
        if (m_bFileOpen)
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
    const ULONGLONG now = ::GetTickCount64();
    if (m_nLastRefresh != 0 && now - m_nLastRefresh < kRefreshMillis)
        return false;
    m_nLastRefresh = now;
    return true;
}
