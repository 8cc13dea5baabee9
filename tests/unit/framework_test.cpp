// The framework layer: files, message and event tables, and how a read-out takes its table.
#include "TestWindow.h"
#include "fw/File.h"
#include "fw/FileDialog.h"
#include "readout/TableFile.h"

#include <gtest/gtest.h>

namespace {

std::string TempPath(const char* name)
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "vorlix-unit-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

std::string ReadAll(const std::string& path)
{
    CFile file;
    EXPECT_TRUE(file.Open(path.c_str(), CFile::modeRead));
    std::string all;
    char buffer[512];
    for (unsigned n; (n = file.Read(buffer, sizeof buffer)) > 0;)
        all.append(buffer, n);
    return all;
}

TEST(File, AFailedWriteDropsWhatWasBufferedAndSaysSo)
{
    // Z:\dev\full takes every open and refuses every write: a full disk.
    CFile file;
    ASSERT_TRUE(file.Open("Z:\\dev\\full", CFile::modeCreate | CFile::modeWrite));
    file.SetWriteBuffer(4096);
    file.Write("half a li", 9);
    EXPECT_THROW(file.Flush(), CFileException);
    EXPECT_NO_THROW(file.Flush()) << "the failed bytes are gone, not tried again";
    file.Write("ne\n", 3);
    EXPECT_THROW(file.Close(), CFileException);
    EXPECT_FALSE(file.IsOpen()) << "closed all the same";
    EXPECT_THROW(file.Write("x", 1), CFileException) << "no buffer without an open file";
}

constexpr UINT kPing = WM_APP + 1, kOther = WM_APP + 2;

class CBaseWnd : public CTestWnd {
public:
    int basePings = 0, others = 0;
    LRESULT OnPing(WPARAM, LPARAM) { return ++basePings, 1; }
    LRESULT OnOther(WPARAM, LPARAM) { return ++others, 2; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CBaseWnd, CWnd)
    ON_MESSAGE(kPing, OnPing)
    ON_MESSAGE(kOther, OnOther)
END_MESSAGE_MAP()

class CDerivedWnd : public CBaseWnd {
public:
    int clicks = 0, events = 0;
    LRESULT OnDerivedPing(WPARAM, LPARAM) { return 10; }
    void OnClick() { ++clicks; }
    void OnEvent() { ++events; }
    void OnThrowingEvent() { throw CException("must stay silent"); }
    DECLARE_MESSAGE_MAP()
    DECLARE_EVENTSINK_MAP()
};
BEGIN_MESSAGE_MAP(CDerivedWnd, CBaseWnd)
    ON_MESSAGE(kPing, OnDerivedPing)
    ON_BN_CLICKED(77, OnClick)
END_MESSAGE_MAP()
BEGIN_EVENTSINK_MAP(CDerivedWnd)
    ON_EVENT(5, 1, OnEvent)
    ON_EVENT(6, 1, OnThrowingEvent)
END_EVENTSINK_MAP()

TEST(MessageMap, EntriesGoByMessageControlAndCodeDerivedFirst)
{
    CDerivedWnd wnd;
    ASSERT_TRUE(wnd.Create());
    EXPECT_EQ(10, wnd.SendMessage(kPing));
    EXPECT_EQ(2, wnd.SendMessage(kOther));
    EXPECT_EQ(0, wnd.basePings);
    for (UINT id : { 77, 78 })
        for (WORD code : { BN_CLICKED, BN_SETFOCUS })
            wnd.SendMessage(WM_COMMAND, MAKEWPARAM(id, code));
    EXPECT_EQ(1, wnd.clicks);
    for (UINT id : { 4, 5 })
        for (UINT dispid : { 1, 2 })
            wnd.SendMessage(kEventMessage, MAKEWPARAM(id, dispid));
    EXPECT_EQ(1, wnd.events);
    // A throwing event handler ends without a message box (which would block here).
    EXPECT_EQ(0, wnd.SendMessage(kEventMessage, MAKEWPARAM(6, 1)));
    // The window gone, the object lets go of it.
    const HWND h = wnd.m_hWnd;
    DestroyWindow(h);
    EXPECT_EQ(nullptr, wnd.m_hWnd);
    EXPECT_EQ(nullptr, CWnd::FromHandle(h));
}

TEST(FileDialog, ANameWithoutExtensionGetsTheDefaultOne)
{
    const struct { const char* typed; const char* saved; } cases[] = {
        { "C:\\daten\\messung", "C:\\daten\\messung.txt" },
        { "C:\\daten\\messung.", "C:\\daten\\messung.txt" },
        { "C:\\daten\\messung.txt", "C:\\daten\\messung.txt" },
        { "C:\\daten\\messung.csv", "C:\\daten\\messung.csv" },
        { "C:\\daten.2026\\messung", "C:\\daten.2026\\messung.txt" },
        { "Z:/tmp/a.b/messung", "Z:/tmp/a.b/messung.txt" },
        { "messung", "messung.txt" },
        { "C:messung", "C:messung.txt" },
        { "C:\\daten\\", "C:\\daten\\" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.saved), WithDefaultExtension(c.typed, "txt")) << c.typed;
}

TEST(TableFile, ACommandThatCannotBeSentTouchesNoTable)
{
    const std::string existing = TempPath("alt.txt"), fresh = TempPath("neu.txt");
    DeleteFileA(fresh.c_str());
    {
        CFile file;
        ASSERT_TRUE(file.Open(existing.c_str(), CFile::modeCreate | CFile::modeWrite));
        file.Write("the old table", 13);
    }
    const auto failingSend = [] { throw CException("COM 2 antwortet nicht.\nCOM 2 does not answer."); };
    CFile table;
    EXPECT_THROW(OpenTableAndSend(table, existing.c_str(), failingSend), CException);
    EXPECT_FALSE(table.IsOpen());
    EXPECT_EQ("the old table", ReadAll(existing)) << "an existing table keeps its content";
    EXPECT_THROW(OpenTableAndSend(table, fresh.c_str(), failingSend), CException);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(fresh.c_str())) << "a table made for the run is gone";

    // Sent: the table is emptied for the run, and held; no other program gets it meanwhile.
    bool sent = false;
    OpenTableAndSend(table, existing.c_str(), [&] { sent = true; });
    EXPECT_TRUE(sent);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(existing.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    table.Write("new", 3);
    table.Close();
    EXPECT_EQ("new", ReadAll(existing));

    // A table that cannot be had: nothing is sent.
    HANDLE other = CreateFileA(existing.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    sent = false;
    const std::string text = ErrorOf([&] { OpenTableAndSend(table, existing.c_str(), [&] { sent = true; }); });
    CloseHandle(other);
    EXPECT_FALSE(sent);
    EXPECT_NE(std::string::npos, text.find("anderen Namen")) << text;
    DeleteFileA(existing.c_str());
}

}  // namespace
