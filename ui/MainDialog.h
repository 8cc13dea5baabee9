// The main window: Setup, Read, Delete and Quit, and the received-bytes display.
#pragma once

#include "fw/File.h"
#include "fw/String.h"
#include "fw/Wnd.h"
#include "link/MSComm.h"
#include "ui/PortDialog.h"
#include "ui/resource.h"

#include <cstdint>

// One class, its handlers in four files: each group below names its file.
class CMainDialog : public CDialog {
public:
    explicit CMainDialog(CWnd* parent = nullptr);

protected:
    // Window and start-up: ui/MainDialog.cpp.
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    int OnCreate(LPCREATESTRUCTW createStruct);
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HICON OnQueryDragIcon();
    void OnClose();
    void OnOK();

    // The logger link: link/Port.cpp.
    void ConfigurePort();
    void SendCommand(CString command);

    // The read-out: readout/ReadOut.cpp (Read, the timer, the end of a run)
    // and readout/OnComm.cpp (each received character).
    void OnRead();
    void OnTimer(UINT_PTR nIDEvent);
    // Ends the run: timer, buttons, file. Returns what the user must be told, or "".
    CString EndReadOut(bool portLost);
    void OnComm();
    // Shows the count of received characters in the display.
    void ShowCount();
    bool DisplayMayRefresh();
    // Writes out what the table's buffer holds; if that fails, the characters
    // behind it count as unwritten.
    void FlushTable();
    // Writes out the rest, closes the table and ends m_bFileOpen.
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

    // The run. m_bFileOpen is the one sign that a read-out is running: the
    // table is open, the timer runs and the buttons are locked. OnRead sets
    // it once the command is out; CloseTable clears it after closing m_file.
    CFile m_file;
    int32_t m_bFileOpen = 0;
    // Written by OnComm per character; OnRead restarts them; OnTimer keeps
    // m_nLastCount, the count at its previous tick.
    uint32_t m_nCount = 0;
    uint32_t m_nLastCount = 0;
    uint8_t m_nPos = 0;  // the character's position in its logger line
    // The received-bytes display, written by ShowCount (from OnComm and
    // EndReadOut); OnComm refreshes it at most every kRefreshMillis
    // (DisplayMayRefresh keeps m_nLastRefresh).
    CString m_strBytes;
    static constexpr ULONGLONG kRefreshMillis = 100;
    ULONGLONG m_nLastRefresh = 0;
    // What the run lost, for the box at its end: characters whose writes
    // failed (OnComm, FlushTable) and line errors reported (OnComm).
    uint32_t m_nUnwritten = 0;
    uint32_t m_nLineErrors = 0;
    // The table's write buffer: characters whose bytes wait in it (OnComm),
    // and when FlushTable last wrote it out.
    static constexpr size_t kTableBuffer = 4096;
    static constexpr ULONGLONG kFlushMillis = 250;
    uint32_t m_nBufferedChars = 0;
    ULONGLONG m_nLastFlush = 0;

    HICON m_hIcon;  // loaded once, at construction
};
