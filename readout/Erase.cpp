// Erasing the logger, after a confirmation and a pause to the next whole second.
#include "fw/App.h"
#include "fw/Clock.h"
#include "fw/Prompts.h"
#include "link/LoggerCommands.h"
#include "res/messages.h"
#include "ui/ConfirmEraseDialog.h"
#include "ui/MainDialog.h"

#include <utility>

void CMainDialog::OnErase()
{
    // A port closed or lost before may be back, or another may be chosen.
    if (!OpenPortOrChoose(Opening::IfClosed))
        return;
    // After a read-out that went wrong the logger holds the only copy.
    const uint32_t late = m_late.Count();
    static const UINT questions[] = { 0, 0, IDS_ERASE_AFTER_NOTHING, IDS_ERASE_AFTER_LOSS, IDS_ERASE_AFTER_INCOMPLETE };  // by Outcome
    const UINT question = questions[static_cast<size_t>(m_lastOutcome)];
    if (question && !AfxPrompts().AskYesNo(m_hWnd, LoadMessage(question)))
        return;
    CConfirmEraseDialog confirm;
    if (AfxPrompts().RunModal(confirm) != IDOK)
        return;
    // A Delete clicked in the pause pauses in turn; when the first pause is
    // over, Quit clicked meanwhile ends the program.
    const Phase before = std::exchange(m_phase, Phase::ErasePause);
    WaitNextSecond();
    const Phase after = m_phase;
    if (after == Phase::ErasePause)
        m_phase = before;
    const bool quit = before == Phase::Idle && std::exchange(m_bQuitAfterErase, false);
    // The session ends: nothing is erased, and nothing is said.
    if (after == Phase::LoggingOff)
        return;
    try {
        // A read-out started in the pause ended it and has the line now: its
        // reply must not be cut by the discard, nor the logger erased while it sends.
        if (after == Phase::Idle)
            Tell(LoadMessage(IDS_ERASE_NOT_SENT));
        // Nor while the logger sends what no table holds, unless the user knew.
        else if (m_late.Count() != late)
            Tell(LoadMessage(IDS_ERASE_NOT_SENT_LATE));
        else
            SendCommand(kEraseCommand);
    } catch (const CException& e) {
        if (!quit)
            throw;
        Tell(e.GetDescription());  // told before the program ends all the same
    }
    if (quit) {
        Leave(Leaving::ByUser);
        CDialog::OnOK();
    }
}

void CMainDialog::WaitNextSecond()
{
    CClock& clock = AfxClock();
    const ULONGLONG end = (clock.Now() / 1000 + 1) * 1000;
    // The window stays alive meanwhile: every message of the thread is
    // dispatched from here, without the dialog's keyboard handling. Between
    // messages the thread sleeps until the next one or the next second.
    for (ULONGLONG now; (now = clock.Now()) < end && m_phase != Phase::LoggingOff;) {
        MSG msg;
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
            continue;
        }
        clock.WaitForMessage(static_cast<DWORD>(end - now));
    }
}
