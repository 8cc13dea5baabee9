// Erasing the logger, after a confirmation and a pause to the next whole second.
#include "fw/Time.h"
#include "link/LoggerCommands.h"
#include "ui/ConfirmEraseDialog.h"
#include "ui/MainDialog.h"

void CMainDialog::OnErase()
{
    // After a lost connection the adapter may be back under its name.
    m_comm.Reconnect();
    CConfirmEraseDialog confirm;
    if (confirm.DoModal() == IDOK) {
        WaitNextSecond();
        SendCommand(kEraseCommand);
    }
}

void CMainDialog::WaitNextSecond()
{
    const CTime end = CTime::GetCurrentTime() + CTimeSpan(0, 0, 0, 1);
    // The window stays alive meanwhile: every message of the thread is
    // dispatched from here, without the dialog's keyboard handling. Between
    // messages the thread sleeps until the next one or the next second.
    while (CTime::GetCurrentTime() < end) {
        MSG msg;
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
            continue;
        }
        ::MsgWaitForMultipleObjectsEx(0, nullptr, CTime::MillisToNextSecond(), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}
