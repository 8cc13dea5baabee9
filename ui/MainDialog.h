// The main window: Setup, Read, Delete and Quit, and the received-bytes display.
#pragma once

#include "fw/File.h"
#include "fw/String.h"
#include "fw/Wnd.h"
#include "link/MSComm.h"
#include "ui/PortDialog.h"
#include "ui/resource.h"

#include <cstdint>

class CMainDialog : public CDialog {
public:
    explicit CMainDialog(CWnd* parent = nullptr);

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // Window and start-up (ui/)
    int OnCreate(LPCREATESTRUCTW createStruct);
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HICON OnQueryDragIcon();
    void OnClose();
    void OnOK();

    // The logger link (link/)
    void ConfigurePort();
    void SendCommand(CString command);

    // Read-out and erase (readout/)
    void OnComm();
    bool DisplayMayRefresh();
    // Writes out what the table's buffer holds; if that fails, the characters
    // behind it count as unwritten.
    void FlushTable();
    void OnRead();
    void OnTimer(UINT_PTR nIDEvent);
    void OnErase();
    void WaitNextSecond();
    // Ends the run: timer, buttons, file. Returns what the user must be told, or "".
    CString EndReadOut(bool portLost);

    // The port setting (settings/)
    void LoadPortSetting();
    void SerializePort(CArchive& ar);
    void OnSetup();
    // Writes the index to the setting file; a failure is shown, never fatal.
    void StorePortSetting();

    DECLARE_MESSAGE_MAP()
    DECLARE_EVENTSINK_MAP()

private:
    CMSComm m_comm;
    CPortDialog m_portDlg;
    CFile m_file;
    int32_t m_bFileOpen = 0;
    uint32_t m_nCount = 0;
    uint32_t m_nLastCount = 0;
    uint8_t m_nPos = 0;
    CString m_strBytes;
    HICON m_hIcon;

    // What a read-out lost: characters whose writes failed, line errors reported.
    bool m_bReading = false;
    uint32_t m_nUnwritten = 0;
    uint32_t m_nLineErrors = 0;
    // The table's write buffer: characters whose bytes wait in it, and when it was last written out.
    static constexpr size_t kTableBuffer = 4096;
    static constexpr ULONGLONG kFlushMillis = 250;
    uint32_t m_nBufferedChars = 0;
    ULONGLONG m_nLastFlush = 0;
    // The received-bytes display is refreshed at most every kRefreshMillis.
    static constexpr ULONGLONG kRefreshMillis = 100;
    ULONGLONG m_nLastRefresh = 0;
};
