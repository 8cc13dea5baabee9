// The receive handler: each character from the logger goes into the table file.
#include "fw/Clock.h"
#include "fw/Exception.h"
#include "readout/RecordFormatter.h"
#include "ui/MainDialog.h"

void CMainDialog::OnComm()
{
    switch (m_comm.GetCommEvent()) {
    case CMSComm::comEvReceive:
        break;
    case CMSComm::comEventPortLost:
        // Every byte received before the loss is in the table by now: the run
        // ends at once, and says so. Outside a run nothing is shown until the
        // user acts.
        if (ReadOutRunning())
            EndReadOut(RunEnd::PortLost);
        return;
    case CMSComm::comEventReadsFailing:
        if (ReadOutRunning())
            EndReadOut(RunEnd::ReadsFailing);
        return;
    case CMSComm::comEventBreak:
    case CMSComm::comEventFrame:
    case CMSComm::comEventOverrun:
    case CMSComm::comEventRxOver:
    case CMSComm::comEventRxParity:
        if (ReadOutRunning())
            ++m_tally.lineErrors;
        return;
    default:
        return;
    }
    const CString input = m_comm.GetInput();
    const char ch = input.IsEmpty() ? '\0' : input[0];
    if (!ReadOutRunning())
        return NoteLateChar();

    // A failing write ends the handler here, silently; the character is
    // counted as lost with those whose bytes the failed write took along, so
    // that the user can be told at the run's end.
    const RecordChar step = FormatRecordChar(m_nPos, ch);
    const bool writesSeparator = !step.lineEnd && step.separator;
    try {
        if (!m_tally.tableTaken)
            TakeTable();
        if (step.writeChar)
            m_file.Write(&step.ch, 1);
        m_nPos = step.newPos;
        m_tally.insideLine = !step.lineEnd;
        if (writesSeparator)
            m_file.Write(&step.separator, 1);
    } catch (const CFileException&) {
        m_tally.unwritten += m_tally.bufferedChars + 1;
        m_tally.bufferedChars = 0;
        throw;
    }
    if (step.writeChar || writesSeparator)
        ++m_tally.bufferedChars;
    if (step.refreshDisplay && DisplayMayRefresh())
        ShowCount();
    ++m_nCount;
    // The table reaches the disk a line at a time, and at least every 250 ms
    // while characters keep coming.
    if (ch == '\n' || AfxClock().Now() - m_tally.lastFlush >= kFlushMillis)
        FlushTable();
}
