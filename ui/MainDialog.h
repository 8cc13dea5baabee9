// The main window: Setup, Read, Delete and Quit, and the received-bytes display.
#pragma once

#include "fw/File.h"
#include "fw/String.h"
#include "fw/Wnd.h"
#include "link/MSComm.h"
#include "link/PortIo.h"
#include "ui/PortDialog.h"
#include "ui/resource.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One class, its handlers in five files: each group below names its file.
class CMainDialog : public CDialog {
public:
    explicit CMainDialog(CWnd* parent = nullptr);

protected:
    // Window, start-up and the ways out: ui/MainDialog.cpp.
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    int OnCreate(LPCREATESTRUCTW createStruct);
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HICON OnQueryDragIcon();
    void OnClose();
    void OnOK();
    void OnCancel();
    LRESULT OnQueryEndSession(WPARAM, LPARAM);
    LRESULT OnEndSession(WPARAM endingSession, LPARAM);
    LRESULT OnPowerBroadcast(WPARAM event, LPARAM);
    // A table dropped on the window: its chart.
    LRESULT OnDropFiles(WPARAM drop, LPARAM);
    // Quit, Escape, the close box and logoff: every byte received goes into
    // the table, then the table is closed, then the port. Characters that
    // came after the last run are told, but not at logoff (`tell` false).
    void ReleaseAll(bool tell = true);

    // The logger link: link/Port.cpp.
    void ConfigurePort();
    void SendCommand(CString command);
    // Runs `open` (opening the stored port, or opening it again after a loss);
    // when it fails because the port is not on this PC and the PC has others,
    // lets the user choose one of them, stores it and opens it. False when
    // that choice was not made (the user has been told why); any other
    // failure is thrown, for the handler's boundary to show.
    bool OpenPortOrChoose(void (CMainDialog::*open)());
    void ReconnectPort();
    void OpenChosenPort();

    // The read-out: readout/ReadOut.cpp (Read, the timer, the end of a run)
    // and readout/OnComm.cpp (each received character).
    void OnRead();
    // The run into the table at `path`: asks before an existing table is
    // replaced, takes the file, sends the command and starts the timer.
    void StartReadOut(const std::wstring& path);
    void OnTimer(UINT_PTR nIDEvent);
    void OnComm();
    bool ReadOutRunning() const { return m_bFileOpen != 0; }
    // How a run ends; the box that says so, if any, is shown here.
    enum class RunEnd { Silence, PortLost, ReadsFailing, ProgramEnds };
    void EndReadOut(RunEnd how);
    // A character that came with no run: counted when the logger went on
    // after the silence that ended the last run, and told once, when it
    // stops (TellLateChars: from OnTimer, ConfigurePort or on the way out).
    void NoteLateChar();
    void TellLateChars();
    // Empties the table at the first character of a run: until then an
    // existing table keeps its content.
    void TakeTable();
    void ShowCount();
    bool DisplayMayRefresh();
    // Writes out what the table's buffer holds; if that fails, the characters
    // behind it count as unwritten.
    void FlushTable();
    // Writes out the rest and closes the table; a table the run made and
    // left empty is removed.
    void CloseTable();

    // Erasing the logger: readout/Erase.cpp.
    void OnErase();
    void WaitNextSecond();

    // The port setting: settings/SettingFile.cpp.
    void LoadPortSetting();
    void SerializePort(CArchive& ar);
    void OnSetup();
    // Writes the index to the setting file; a failure is shown, never fatal.
    void StorePortSetting();

    DECLARE_MESSAGE_MAP()
    DECLARE_EVENTSINK_MAP()

    // The state, shared by the handlers' files (and open to the unit tests' probe).
    // The port: opened by ConfigurePort, reopened by OnRead and OnErase after a loss.
    CMSComm m_comm;
    // The Port dialog; its m_nPort (COM n has index n - 1) is written by
    // LoadPortSetting and by the dialog itself.
    CPortDialog m_portDlg;
    // The setting file, made absolute at start-up: the file chooser may move
    // the working directory afterwards.
    std::wstring m_strSettingPath;
    // Where the file chooser opens and the proposed name is looked up: the
    // working directory at start-up, then the folder of the last table.
    std::wstring m_strTableFolder;
    // The COM ports this PC has, for the choice when the stored one is not there.
    std::function<std::vector<ComPortName>()> m_listPorts = ComPortsOnThisPc;

    // The run. m_bFileOpen is the one sign that a read-out is running: the
    // table is open, the timer runs and the buttons are locked. StartReadOut
    // sets it once the command is out; CloseTable clears it after closing m_file.
    CFile m_file;
    int32_t m_bFileOpen = 0;
    bool m_bTableTaken = false;  // emptied for this run: the first character has come
    // Written by OnComm per character; StartReadOut restarts them; OnTimer
    // keeps m_nLastCount, the count at its previous tick.
    uint32_t m_nCount = 0;
    uint32_t m_nLastCount = 0;
    uint8_t m_nPos = 0;         // the character's position in its logger line
    bool m_bInsideLine = false;  // the last character did not end a line
    // The received-bytes display, written by ShowCount (from OnComm and
    // EndReadOut); OnComm refreshes it at most every kRefreshMillis
    // (DisplayMayRefresh keeps m_nLastRefresh).
    CString m_strBytes;
    static constexpr ULONGLONG kRefreshMillis = 100;
    ULONGLONG m_nLastRefresh = 0;
    // What the run lost, for the box at its end: characters whose writes
    // failed (OnComm, FlushTable), line errors reported (OnComm), and a
    // sleep of the PC (OnPowerBroadcast).
    uint32_t m_nUnwritten = 0;
    uint32_t m_nLineErrors = 0;
    bool m_bSlept = false;
    // The table's write buffer: characters whose bytes wait in it (OnComm),
    // and when FlushTable last wrote it out.
    static constexpr size_t kTableBuffer = 4096;
    static constexpr ULONGLONG kFlushMillis = 250;
    uint32_t m_nBufferedChars = 0;
    ULONGLONG m_nLastFlush = 0;
    // Characters after the last run's end (NoteLateChar), and at the late
    // timer's last tick (OnTimer). EndReadOut starts the watch; the box,
    // a command or another port end it.
    bool m_bLateWatch = false;
    uint32_t m_nLate = 0;
    uint32_t m_nLateAtTick = 0;
    static constexpr UINT_PTR kReadOutTimer = 1, kLateTimer = 2;
    static constexpr UINT kReadOutPeriod = 2000;
    // How the last run of this program run ended, for the erase's question.
    enum class LastRun { None, Good, Nothing, PortLost, Incomplete };
    LastRun m_lastRun = LastRun::None;
    uint32_t m_nRunsStarted = 0;  // the erase's pause notices a run started meanwhile

    HICON m_hIcon;  // loaded once, at construction
};
