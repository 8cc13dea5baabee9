#include "ui/MainDialog.h"

#include "chart/ChartDialog.h"
#include "fw/App.h"
#include "fw/Prompts.h"
#include "ui/AboutDialog.h"

#include <shellapi.h>
#include <utility>

BEGIN_MESSAGE_MAP(CMainDialog, CDialog)
    ON_WM_CREATE()
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_SETUP, OnSetup)
    ON_BN_CLICKED(IDC_READ, OnRead)
    ON_BN_CLICKED(IDC_ERASE, OnErase)
    ON_WM_CLOSE()
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
    ON_WM_TIMER()
    ON_MESSAGE(WM_ENDSESSION, OnEndSession)
    ON_MESSAGE(WM_POWERBROADCAST, OnPowerBroadcast)
    ON_MESSAGE(kStartMessage, OnStart)
    ON_MESSAGE(WM_DROPFILES, OnDropFiles)
END_MESSAGE_MAP()

BEGIN_EVENTSINK_MAP(CMainDialog)
    ON_EVENT(IDC_COMM, CMSComm::dispidOnComm, OnComm)
END_EVENTSINK_MAP()

CMainDialog::CMainDialog(CWnd* parent)
    : CDialog(IDD_MAIN, parent), m_strBytes(""), m_hIcon(AfxGetApp()->LoadIcon(IDR_MAINFRAME))
{
    // The table goes out a line at a time, not a byte at a time: on a USB
    // stick every single write would reach the device.
    m_file.SetWriteBuffer(kTableBuffer);
}

void CMainDialog::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, IDC_BYTES, m_strBytes);
}

int CMainDialog::OnCreate(LPCREATESTRUCTW)
{
    if (Default() == -1)
        return -1;
    LoadPortSetting();
    m_bFileOpen = 0;
    m_nCount = 0;
    const RECT none = { 0, 0, 0, 0 };
    m_comm.Create(nullptr, 0, none, this, IDC_COMM);
    // While a port takes long to open, nothing that needs it can be clicked.
    m_comm.SetSlowOpen([this](bool waiting) { LockButtons(waiting); });
    return 0;
}

BOOL CMainDialog::OnInitDialog()
{
    CDialog::OnInitDialog();

    AddAboutEntry(m_hWnd);
    ::DragAcceptFiles(m_hWnd, TRUE);
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(AfxGetApp()->LoadIcon(IDR_MAINFRAME, SM_CXICON, SM_CYICON)));
    SendMessage(WM_SETICON, ICON_SMALL,
                reinterpret_cast<LPARAM>(AfxGetApp()->LoadIcon(IDR_MAINFRAME, SM_CXSMICON, SM_CYSMICON)));

    // The port is opened once the window is shown: a box about it then has
    // a shown owner, and a taskbar button.
    ::PostMessageW(m_hWnd, kStartMessage, 0, 0);
    return TRUE;
}

LRESULT CMainDialog::OnStart(WPARAM, LPARAM)
{
    m_phase = Phase::Idle;
    if (!m_strHeldBack.empty())
        Tell(std::exchange(m_strHeldBack, std::wstring()));
    OpenPortOrChoose(Opening::Anew);
    return 0;
}

void CMainDialog::Tell(const std::wstring& text)
{
    if (m_phase == Phase::LoggingOff)
        return;
    if (m_phase == Phase::Starting) {
        m_strHeldBack += (m_strHeldBack.empty() ? L"" : L"\n\n") + text;
        return;
    }
    AfxPrompts().ShowError(m_hWnd, text);
}

void CMainDialog::OnSysCommand(UINT nID, LPARAM)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDialog about;
        AfxPrompts().RunModal(about);
        return;
    }
    if ((nID & 0xFFF0) == IDM_CHART) {
        // The last read-out's table (m_file keeps its name), but not while it is being written.
        if (!ReadOutRunning())
            ShowChart(m_file.GetFilePath(), TableFolder());
        return;
    }
    Default();
}

LRESULT CMainDialog::OnDropFiles(WPARAM drop, LPARAM)
{
    const std::wstring path = DroppedFile(drop);
    if (!ReadOutRunning() && !path.empty())
        ShowChart(path, TableFolder());
    return 0;
}

void CMainDialog::OnPaint()
{
    if (!IsIconic()) {
        Default();
        return;
    }
    // Minimised: draw the icon centred in the client area.
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int cxIcon = GetSystemMetrics(SM_CXICON);
    const int cyIcon = GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(m_hWnd, &rect);
    const int x = (rect.right - rect.left - cxIcon + 1) / 2;
    const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    EndPaint(m_hWnd, &paint);
}

HICON CMainDialog::OnQueryDragIcon()
{
    return m_hIcon;
}

void CMainDialog::Leave(Leaving why)
{
    if (m_phase == Phase::Leaving || m_phase == Phase::LoggingOff)
        return;
    if (why == Leaving::AtLogoff)
        m_phase = Phase::LoggingOff;
    if (ReadOutRunning()) {
        m_comm.DeliverReceived();
        EndReadOut(RunEnd::ProgramEnds);
    } else {
        TellLateChars();
    }
    // Closed, or given up while it is still being opened.
    m_comm.SetPortOpen(FALSE);
    if (why == Leaving::ByUser)
        m_phase = Phase::Leaving;
}

void CMainDialog::OnClose()
{
    Leave(Leaving::ByUser);
    EndDialog(IDCANCEL);
}

void CMainDialog::OnOK()
{
    // Enter reaches Quit even while a read-out has it disabled: then it does nothing.
    if (ReadOutRunning())
        return;
    // Quit during the erase's pause: the erase goes out first, then the program ends.
    if (m_phase == Phase::ErasePause) {
        m_bQuitAfterErase = true;
        return;
    }
    Leave(Leaving::ByUser);
    CDialog::OnOK();
}

void CMainDialog::OnCancel()
{
    Leave(Leaving::ByUser);
    CDialog::OnCancel();
}

LRESULT CMainDialog::OnEndSession(WPARAM endingSession, LPARAM)
{
    // Logoff or shutdown: the process may end as soon as this returns, and
    // no box may hold the session up.
    if (endingSession)
        Leave(Leaving::AtLogoff);
    return 0;
}

LRESULT CMainDialog::OnPowerBroadcast(WPARAM event, LPARAM)
{
    // Windows' idle timer does not see a serial line: a run can be caught by
    // a sleep the program did not prevent (a closed lid, the power button).
    if (event == PBT_APMSUSPEND && ReadOutRunning())
        m_tally.slept = true;
    return TRUE;
}
