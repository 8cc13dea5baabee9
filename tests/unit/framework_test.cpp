// The framework layer: files, message and event tables, the chooser's default extension.
#include "TestWindow.h"
#include "fw/File.h"
#include "fw/FileDialog.h"
#include "fw/Prompts.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

// The thread's shown window: a box or a chooser of the test's own.
HWND ShownWindow()
{
    HWND shown = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND h, LPARAM found) {
        return IsWindowVisible(h) ? (*reinterpret_cast<HWND*>(found) = h, FALSE) : TRUE;
    }, reinterpret_cast<LPARAM>(&shown));
    return shown;
}

TEST(File, AFailedWriteDropsWhatWasBufferedAndSaysSo)
{
    // Z:\dev\full takes every open and refuses every write: a full disk.
    CFile file;
    ASSERT_TRUE(file.Open(L"Z:\\dev\\full", CFile::modeCreate | CFile::modeWrite));
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
    void OnThrowingEvent() { throw CException(L"must stay silent"); }
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
    // A throwing event handler ends without a box.
    struct : CPrompts { void ShowError(HWND, const std::wstring&) override { ADD_FAILURE() << "a box"; } } silent;
    AfxSetPrompts(&silent);
    EXPECT_EQ(0, wnd.SendMessage(kEventMessage, MAKEWPARAM(6, 1)));
    AfxSetPrompts(nullptr);
    // The window gone, the object lets go of it.
    const HWND h = wnd.m_hWnd;
    DestroyWindow(h);
    EXPECT_EQ(nullptr, wnd.m_hWnd);
    EXPECT_EQ(nullptr, CWnd::FromHandle(h));
}

TEST(FileDialog, ANameWithoutExtensionGetsTheDefaultOne)
{
    const struct { const wchar_t* typed; const wchar_t* saved; } cases[] = {
        { L"C:\\daten\\messung", L"C:\\daten\\messung.txt" },
        { L"C:\\daten\\messung.", L"C:\\daten\\messung.txt" },
        { L"C:\\daten\\messung.txt", L"C:\\daten\\messung.txt" },
        { L"C:\\daten\\messung.csv", L"C:\\daten\\messung.csv" },
        { L"Z:/tmp/a.b/messung", L"Z:/tmp/a.b/messung.txt" },
        { L"messung", L"messung.txt" },
        { L"C:messung", L"C:messung.txt" },
        { L"C:\\daten\\", L"C:\\daten\\" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.saved, WithDefaultExtension(c.typed, L"txt"));
}

// The chooser puts the working directory back, whatever its flags: on Windows the open-style one moves it to the
// folder picked, and a folder in use there keeps a USB stick from being ejected.
TEST(FileDialog, TheWorkingDirectoryStaysWhereItWas)
{
    static std::wstring picked;
    picked = (std::filesystem::temp_directory_path() / "vorlix-picked.txt").wstring();
    const std::filesystem::path before = std::filesystem::current_path();
    const TIMERPROC pick = [](HWND, UINT, UINT_PTR id, DWORD) {
        const HWND chooser = ShownWindow();
        if (!chooser)
            return;
        KillTimer(nullptr, id);
        SetDlgItemTextW(chooser, 0x47c, picked.c_str());
        PostMessageW(chooser, WM_COMMAND, IDOK, 0);
    };
    SetTimer(nullptr, 0, 50, pick);
    CFileDialog chooser(TRUE, L"txt", L"", OFN_HIDEREADONLY, L"T (*.txt) | *.txt |A|*.*||");
    ASSERT_EQ(IDOK, chooser.DoModal());
    EXPECT_EQ(picked, chooser.GetPathName());
    EXPECT_EQ(before, std::filesystem::current_path());
    EXPECT_EQ(std::wstring(L"T (*.txt) \0*.txt\0A\0*.*\0", 24), std::wstring(chooser.m_ofn.lpstrFilter, 24)) << "no blank in a pattern";
}

// Enter, pressed before the question is read, keeps the logger's data.
TEST(Prompts, AQuestionsDefaultAnswerIsNo)
{
    static int presses;
    presses = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        if (const HWND box = ShownWindow())  // Enter, and should that not end it, Yes
            ++presses == 1 ? PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0) : PostMessageW(box, WM_COMMAND, IDYES, 0);
    });
    EXPECT_FALSE(CPrompts().AskYesNo(nullptr, L"L\u00f6schen? / Erase?"));
    KillTimer(nullptr, timer);
    EXPECT_GE(presses, 1);
}

}  // namespace
