// The main dialog itself, its port's driver answering from a script: what it
// does to the port before a command, and the order in which it gives the
// buttons back at the end of a run.
#include "TestWindow.h"
#include "fw/App.h"
#include "ui/MainDialog.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

// Runs `probe` inside the dialog, once it is initialised and its port open.
class CProbedDialog : public CMainDialog {
public:
    explicit CProbedDialog(std::function<void(CProbedDialog&)> probe) : m_probe(std::move(probe)) {}
    std::function<void(CProbedDialog&)> m_probe;
    std::shared_ptr<CScriptedPort> port = std::make_shared<CScriptedPort>();
    using CMainDialog::EndReadOut;
    using CMainDialog::SendCommand;
    using CMainDialog::m_comm;

protected:
    BOOL OnInitDialog() override
    {
        m_comm.SetPortIoFactory([this] { return port; });
        CMainDialog::OnInitDialog();
        m_probe(*this);
        EndDialog(IDCANCEL);
        return TRUE;
    }
};

// Which buttons WM_ENABLE reached, in order, while the hook was set.
std::vector<int> g_enabled;
LRESULT CALLBACK RecordEnable(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_ENABLE && message->wParam)
        g_enabled.push_back(GetDlgCtrlID(message->hwnd));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class MainDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The dialog keeps its setting in the working directory.
        std::filesystem::create_directories(m_dir);
        std::filesystem::current_path(m_dir);
        m_app.m_hInstance = AfxGetResourceHandle();
    }
    void TearDown() override
    {
        std::filesystem::current_path(m_oldDir);
        std::filesystem::remove_all(m_dir);
    }

    CWinApp m_app;
    const std::filesystem::path m_oldDir = std::filesystem::current_path(),
                                m_dir = std::filesystem::temp_directory_path() / "vorlix-dialog";
};

TEST_F(MainDialog, ACommandGoesOutAfterWhatCameBeforeItIsDiscarded)
{
    bool probed = false;
    CProbedDialog dialog([&](CProbedDialog& d) {
        ASSERT_TRUE(d.m_comm.GetPortOpen());
        // Bytes that arrived, but whose events the GUI thread has not taken yet.
        for (DWORD start = GetTickCount(); d.m_comm.GetInBufferCount() < 5 && GetTickCount() - start < 3000;)
            Sleep(10);
        ASSERT_EQ(5, d.m_comm.GetInBufferCount());
        d.SendCommand("(254.1.)");
        EXPECT_EQ(0, d.m_comm.GetInBufferCount()) << "the stale bytes would open the new table";
        EXPECT_EQ("(254.1.)", d.port->Locked([&] { return d.port->written; }));
        probed = true;
    });
    dialog.port->script = { Data("stale") };
    dialog.DoModal();
    EXPECT_TRUE(probed);
}

TEST_F(MainDialog, TheEndOfARunGivesBackReadSetupQuitAndDeleteInThatOrder)
{
    bool probed = false;
    CProbedDialog dialog([&](CProbedDialog& d) {
        for (int id : { IDC_ERASE, IDOK, IDC_SETUP, IDC_READ })
            EnableWindow(d.GetDlgItem(id), FALSE);
        g_enabled.clear();
        HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, RecordEnable, nullptr, GetCurrentThreadId());
        d.EndReadOut(false);
        UnhookWindowsHookEx(hook);
        // The end-to-end tests wait for Delete, the last one, to know the run has ended.
        EXPECT_EQ((std::vector<int>{ IDC_READ, IDC_SETUP, IDOK, IDC_ERASE }), g_enabled);
        probed = true;
    });
    dialog.DoModal();
    EXPECT_TRUE(probed);
}

}  // namespace
