// The main window: Setup, Read, Delete and Quit, and the received-bytes display.
#pragma once

#include "fw/File.h"
#include "fw/String.h"
#include "fw/Wnd.h"
#include "link/MSComm.h"
#include "link/PortIo.h"
#include "ui/PortDialog.h"
#include "ui/RunState.h"
#include "ui/resource.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One class, its handlers in six files: each group below names its file.
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
    LRESULT OnEndSession(WPARAM endingSession, LPARAM);
    LRESULT OnPowerBroadcast(WPARAM event, LPARAM);
    // Posted by OnInitDialog, so that every box has a shown owner (and a
    // taskbar button): tells what start-up held back, and opens the port.
    static constexpr UINT kStartMessage = WM_APP + 1;
    LRESULT OnStart(WPARAM, LPARAM);
    // Every box the main window shows about what happened: held back until the
    // window is shown, and none at logoff, when the session ends anyway.
    void Tell(const std::wstring& text);
    // The one way out (Quit, Escape, the close box, the erase Quit waited for,
    // the logoff): every byte received goes into the table, the table is
    // closed, then the port. Nothing is told at logoff.
    enum class Leaving { ByUser, AtLogoff };
    void Leave(Leaving why);
    // A table dropped on the window: its chart.
    LRESULT OnDropFiles(WPARAM drop, LPARAM);

    // The logger link: link/Port.cpp.
    void ConfigurePort();
    void SendCommand(CString command);
    // Opens the stored port anew (start-up, Setup) or only when closed (Read,
    // Delete; after a loss the same port again). When it cannot be used and
    // the PC has other ports, the user may take one. False when the port is
    // not open now (the user was told why); other failures are thrown.
    enum class Opening { Anew, IfClosed };
    bool OpenPortOrChoose(Opening how);
    // Shows `problem` above the PC's `ports`; stores the one taken, if any.
    bool TakeAnotherPort(const std::wstring& problem, const std::vector<ComPortName>& ports);
    // Disables or enables Read, Setup, Quit and Delete, in this order.
    void LockButtons(bool locked);

    // The read-out: readout/ReadOut.cpp (Read, the timer, the end of a run)
    // and readout/OnComm.cpp (each received character).
    void OnRead();
    // The run into the table at `path`: takes the file, asks before a table
    // is replaced, sends the command and starts the timer.
    void StartReadOut(const std::wstring& path);
    void OnTimer(UINT_PTR nIDEvent);
    void OnComm();
    bool ReadOutRunning() const { return m_bFileOpen != 0; }
    // Ends a run: closes the table, judges the run and tells what it found.
    void EndReadOut(RunEnd how);
    // The box at a run's end, from its verdict (with the PC's ports after
    // nothing came); `made`: the run made the table.
    void TellRunEnd(const RunVerdict& verdict, const std::wstring& table, bool made);
    // A character with no run, for m_late; TellLateChars tells them when they
    // stop (OnTimer), when the port is opened anew, or on the way out.
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
    CMSComm m_comm;
    // The Port dialog; its m_nPort (COM n has index n - 1) is written by
    // LoadPortSetting and by the dialog itself.
    CPortDialog m_portDlg;
    // The setting file, made absolute at start-up: in the folder the program
    // was started in when that takes files, else in the user's own folder.
    std::wstring m_strSettingPath;
    std::wstring m_strStartFolder;
    bool m_bStartFolderTakesFiles = true;
    // The folder of the last table: the file chooser opens there and the
    // proposed name is looked up there. TableFolder() until there is one.
    std::wstring m_strTableFolder;
    std::wstring TableFolder() const;
    // Whether a folder takes files, and the user's own folders (CSIDL_...).
    std::function<bool(const std::wstring&)> m_folderTakesFiles = FolderTakesFiles;
    std::function<std::wstring(int)> m_shellFolder = ShellFolder;
    // The COM ports this PC has, for the choice when the stored one is not there.
    std::function<std::vector<ComPortName>()> m_listPorts = ComPortsOnThisPc;

    // The window's phase; a read-out runs while m_bFileOpen is set. One
    // started in Delete's pause ends the pause's phase.
    enum class Phase {
        Starting,    // until the window is shown: boxes are held back
        Idle,
        ErasePause,  // Delete waits for the next whole second
        Leaving,     // the user has left; the window is going
        LoggingOff,  // the session ends: nothing is told any more
    };
    Phase m_phase = Phase::Starting;
    std::wstring m_strHeldBack;      // what was told while Starting
    bool m_bQuitAfterErase = false;  // Quit came in the erase's pause: the erase ends the program

    // The run. m_bFileOpen is the one sign that a read-out is running: the
    // table is open, the timer runs and the buttons are locked. StartReadOut
    // sets it once the command is out; CloseTable clears it as it closes m_file.
    CFile m_file;
    int32_t m_bFileOpen = 0;
    // Written by OnComm per character; OnTimer keeps the count at its last tick.
    uint32_t m_nCount = 0;
    uint32_t m_nLastCount = 0;
    uint8_t m_nPos = 0;  // the character's position in its logger line
    // The run's own counters: what it lost, for the box at its end, and the
    // table's write buffer (OnComm, FlushTable, OnPowerBroadcast).
    RunTally m_tally;
    static constexpr size_t kTableBuffer = 4096;
    static constexpr ULONGLONG kFlushMillis = 250;
    // The received-bytes display (ShowCount), refreshed by OnComm at most
    // every kRefreshMillis.
    CString m_strBytes;
    static constexpr ULONGLONG kRefreshMillis = 100;
    ULONGLONG m_nLastRefresh = 0;
    CLateWatch m_late;  // characters after the last run's end
    // The read-out's timer, and the late characters' timer: both tick every kTickMillis.
    static constexpr UINT_PTR kReadOutTimer = 1, kLateTimer = 2;
    static constexpr UINT kTickMillis = 2000;
    // How the last run of this program run went, for Delete's question.
    Outcome m_lastOutcome = Outcome::None;

    HICON m_hIcon;  // loaded once, at construction
};
