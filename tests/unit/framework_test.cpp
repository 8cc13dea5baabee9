// The framework layer: text, files, archives, message and event tables, data exchange.
#include "TestWindow.h"
#include "fw/Exception.h"
#include "fw/File.h"
#include "fw/FileDialog.h"
#include "fw/String.h"
#include "fw/Wnd.h"
#include "readout/TableFile.h"

#include <gtest/gtest.h>
#include <string>

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

TEST(String, CodePage1252ToWideAndBack)
{
    const CString text("L\xF6schen \xFC" "ber \x80");
    EXPECT_EQ(std::wstring(L"L\u00F6schen \u00FCber \u20AC"), Widen(text));
    EXPECT_EQ(text, Narrow(Widen(text).c_str()));
}

TEST(File, HeldWithoutEmptyingUntilTheCallerCutsIt)
{
    // How a read-out takes its table: held at once, emptied only once the command is out.
    const unsigned held = CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareExclusive;
    const std::string path = TempPath("held.txt");
    DeleteFileA(path.c_str());
    {
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), held));
        EXPECT_TRUE(file.WasCreated());
        file.Write("old table", 9);
    }
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), held));
    EXPECT_FALSE(file.WasCreated());
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_EXISTING, 0, nullptr))
        << "no other program gets it meanwhile";
    file.Close();
    EXPECT_EQ("old table", ReadAll(path)) << "opening keeps the content";
    ASSERT_TRUE(file.Open(path.c_str(), held));
    file.SetLength(0);
    file.Write("new", 3);
    file.Close();
    EXPECT_EQ("new", ReadAll(path));
    EXPECT_TRUE(CFile::Remove(path.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
    EXPECT_FALSE(CFile::Remove(path.c_str()));
}

TEST(File, AWriteBufferHoldsBytesUntilFlushFullOrClose)
{
    const std::string path = TempPath("buffered.txt");
    {
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
        file.SetWriteBuffer(8);
        file.Write("abc", 3);
        file.Write("de", 2);
        EXPECT_EQ("", ReadAll(path)) << "nothing written yet";
        file.Flush();
        EXPECT_EQ("abcde", ReadAll(path));
        file.Write("fghij", 5);
        file.Write("klmno", 5);  // would overflow: the first five go out
        EXPECT_EQ("abcdefghij", ReadAll(path));
        file.Write("0123456789", 10);  // larger than the buffer: straight through, in order
        EXPECT_EQ("abcdefghijklmno0123456789", ReadAll(path));
        file.Write("pq", 2);
        file.Close();
        EXPECT_EQ("abcdefghijklmno0123456789pq", ReadAll(path));
        ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
        file.Write("left", 4);
    }
    EXPECT_EQ("left", ReadAll(path)) << "destruction writes out the rest";
    DeleteFileA(path.c_str());
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
    const char c = 'x';
    EXPECT_THROW(file.Write(&c, 1), CFileException) << "no buffer without an open file";
}

TEST(Archive, ReadsFirstLineDroppingCarriageReturn)
{
    const std::string path = TempPath("archive.txt");
    struct Case { std::string content; std::string line; bool any; };
    const Case cases[] = {
        { "3\r\n", "3", true },
        { "12\nrest", "12", true },
        { "no line feed", "no line feed", true },
        { "", "", false },
        { "\n", "", true },
        { std::string(10000, '7') + "\n", std::string(10000, '7'), true },
    };
    for (const Case& c : cases) {
        {
            CFile out;
            ASSERT_TRUE(out.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
            if (!c.content.empty())
                out.Write(c.content.data(), static_cast<unsigned>(c.content.size()));
        }
        CFile in;
        ASSERT_TRUE(in.Open(path.c_str(), CFile::modeRead | CFile::shareExclusive));
        CArchive ar(&in, CArchive::load);
        CString line("unchanged");
        EXPECT_EQ(c.any, ar.ReadString(line));
        EXPECT_EQ(c.line, line.Str());
        ar.Close();
    }
    DeleteFileA(path.c_str());
}

TEST(Archive, StoresThroughItsBufferOnClose)
{
    const std::string path = TempPath("store.txt");
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive));
    CArchive ar(&file, CArchive::store);
    const std::string big(5000, 'a');
    ar.WriteString(big.c_str());
    ar.WriteString("-1\n");
    ar.Close();
    file.Close();
    EXPECT_EQ(big + "-1\n", ReadAll(path));
    DeleteFileA(path.c_str());
}

// ---- Message and event tables ----------------------------------------------------

constexpr UINT kPing = WM_APP + 1;
constexpr UINT kOther = WM_APP + 2;

class CBaseWnd : public CTestWnd {
public:
    int basePings = 0;
    int others = 0;
    LRESULT OnPing(WPARAM, LPARAM) { ++basePings; return 1; }
    LRESULT OnOther(WPARAM, LPARAM) { ++others; return 2; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CBaseWnd, CWnd)
    ON_MESSAGE(kPing, OnPing)
    ON_MESSAGE(kOther, OnOther)
END_MESSAGE_MAP()

class CDerivedWnd : public CBaseWnd {
public:
    int derivedPings = 0;
    int clicks = 0;
    int events = 0;
    LRESULT OnDerivedPing(WPARAM, LPARAM) { ++derivedPings; return 10; }
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

TEST(MessageMap, DerivedEntriesWinAndBaseEntriesStillServe)
{
    CDerivedWnd wnd;
    ASSERT_TRUE(wnd.Create());
    EXPECT_EQ(10, wnd.SendMessage(kPing));
    EXPECT_EQ(2, wnd.SendMessage(kOther));
    EXPECT_EQ(1, wnd.derivedPings);
    EXPECT_EQ(0, wnd.basePings);
    EXPECT_EQ(1, wnd.others);
}

TEST(MessageMap, ClicksGoByControlIdAndNotificationCode)
{
    CDerivedWnd wnd;
    ASSERT_TRUE(wnd.Create());
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(77, BN_CLICKED));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(78, BN_CLICKED));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(77, BN_SETFOCUS));
    EXPECT_EQ(1, wnd.clicks);
}

TEST(MessageMap, EventsGoByControlAndEventNumberAndFailSilently)
{
    CDerivedWnd wnd;
    ASSERT_TRUE(wnd.Create());
    wnd.SendMessage(kEventMessage, MAKEWPARAM(5, 1));
    wnd.SendMessage(kEventMessage, MAKEWPARAM(5, 2));
    wnd.SendMessage(kEventMessage, MAKEWPARAM(4, 1));
    EXPECT_EQ(1, wnd.events);
    // A throwing event handler ends without a message box (which would block here).
    EXPECT_EQ(0, wnd.SendMessage(kEventMessage, MAKEWPARAM(6, 1)));
}

TEST(MessageMap, DestroyingTheWindowDetachesTheObject)
{
    CDerivedWnd wnd;
    ASSERT_TRUE(wnd.Create());
    HWND h = wnd.m_hWnd;
    DestroyWindow(h);
    EXPECT_EQ(nullptr, wnd.m_hWnd);
    EXPECT_EQ(nullptr, CWnd::FromHandle(h));
}

}  // namespace

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

    // Sent: the table is emptied for the run, and held.
    bool sent = false;
    OpenTableAndSend(table, existing.c_str(), [&] { sent = true; });
    EXPECT_TRUE(sent);
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
