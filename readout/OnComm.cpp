// The receive handler: each character from the logger goes into the table file.
#include "readout/RecordFormatter.h"
#include "ui/MainDialog.h"

void CMainDialog::OnComm()
{
    if (m_comm.GetCommEvent() != CMSComm::comEvReceive)
        return;
    const CString input = m_comm.GetInput();
    const char ch = input.IsEmpty() ? '\0' : input[0];

    // A failing write (no file open) ends the handler here, silently.
    const RecordChar step = FormatRecordChar(m_nPos, ch);
    if (step.writeChar)
        m_file.Write(&step.ch, 1);
    m_nPos = step.newPos;
    if (!step.lineEnd) {
        if (step.separator)
            m_file.Write(&step.separator, 1);
        if (step.refreshDisplay) {
            m_strBytes.Format("%lu", static_cast<unsigned long>(m_nCount));
            UpdateData(FALSE);
        }
    }
    ++m_nCount;
}
