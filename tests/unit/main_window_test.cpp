// The main window on its seams: a driver that answers from a script, prompts
// that answer from a script and write down what was asked, and a clock of the
// test's own. Each case runs inside the real modal dialog, once it is
// initialised, and clicks, ticks and receives as the user and the logger would.
#include "TestWindow.h"
#include "chart/ChartDialog.h"
#include "fw/App.h"
#include "fw/Clock.h"
#include "fw/FileDialog.h"
#include "fw/Prompts.h"
#include "ui/MainDialog.h"
#include "ui/PortChoiceDialog.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <shlobj.h>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// 2026-12-07 12:00:00.300 UTC, in milliseconds since 1601.
constexpr ULONGLONG kNoon = 13441118400300;
constexpr char kRecord[] = " 5 307 9 5 2.5 998.0\r\n";
constexpr char kRow[] = "05.03.07\t09:05\t 2,5\t 998,0\t\n";

struct Answer {
    INT_PTR result = IDCANCEL;
    std::wstring path;  // the chooser's
    int port = 0;       // the Port dialog's index, the port choice's number
    std::function<void()> meanwhile;  // runs while the prompt is open
};
Answer Ok(int port = 0, std::function<void()> meanwhile = {}) { return { IDOK, L"", port, std::move(meanwhile) }; }
Answer Cancel(std::function<void()> meanwhile = {}) { return { IDCANCEL, L"", 0, std::move(meanwhile) }; }
Answer Yes() { return { IDYES, L"", 0, {} }; }
Answer No() { return { IDNO, L"", 0, {} }; }
Answer File(const fs::path& path) { return { IDOK, path.wstring(), 0, {} }; }

class CScriptedPrompts : public CPrompts {
public:
    std::deque<Answer> answers;    // taken in order; none left: Cancel, No
    std::vector<std::string> seen;  // what was asked or told, in UTF-8

    INT_PTR RunModal(CDialog& dialog) override
    {
        static const std::map<UINT, std::string> names = { { IDD_ABOUTBOX, "IDD_ABOUTBOX" }, { IDD_PORT, "IDD_PORT" },
            { IDD_CONFIRM_ERASE, "IDD_CONFIRM_ERASE" }, { IDD_PORT_CHOICE, "IDD_PORT_CHOICE" }, { IDD_CHART, "IDD_CHART" } };
        std::string what = names.at(dialog.GetTemplateId());
        auto* choice = dynamic_cast<CPortChoiceDialog*>(&dialog);
        if (choice)
            what += ": " + Utf8(choice->m_strProblem);
        const Answer answer = Next(what);
        if (answer.result == IDOK) {
            if (auto* port = dynamic_cast<CPortDialog*>(&dialog))
                port->m_nPort = answer.port;
            if (choice)
                choice->m_nChosen = answer.port;
        }
        return answer.result;
    }
    bool ChooseFile(CFileDialog& chooser) override
    {
        EXPECT_EQ(nullptr, chooser.m_ofn.lpstrInitialDir) << "the folder goes with the name";
        const Answer answer = Next("chooser " + Utf8(chooser.GetPathName()));
        chooser.SetPathName(answer.path);
        return !answer.path.empty();
    }
    bool AskYesNo(HWND, const std::wstring& question) override { return Next("ask: " + Utf8(question)).result == IDYES; }
    void ShowError(HWND, const std::wstring& text) override { Note("error: " + Utf8(text)); }

private:
    void Note(const std::string& what)
    {
        // A box whose owner is hidden has no taskbar button: one click elsewhere, and it seems gone.
        const CWnd* main = AfxGetMainWnd();
        seen.push_back(main && !::IsWindowVisible(main->m_hWnd) ? "(hidden) " + what : what);
    }
    Answer Next(const std::string& what)
    {
        Note(what);
        if (answers.empty())
            return Answer();
        Answer answer = answers.front();
        answers.pop_front();
        if (answer.meanwhile)
            answer.meanwhile();
        return answer;
    }
};

class CTestClock : public CClock {
public:
    ULONGLONG now = kNoon;
    std::map<UINT_PTR, UINT> timers;  // running: id and period
    bool awake = false;
    TIME_ZONE_INFORMATION zone = {};
    CTestClock() { zone.Bias = -60; }  // UTC+1 all year round
    ULONGLONG Now() override { return now; }
    const TIME_ZONE_INFORMATION* TimeZone() override { return &zone; }
    void WaitForMessage(DWORD ms) override { now += ms; }
    void SetTimer(HWND, UINT_PTR id, UINT ms) override { timers[id] = ms; }
    void KillTimer(HWND, UINT_PTR id) override { timers.erase(id); }
    void KeepAwake(bool on) override { awake = on; }
};

class CProbedDialog : public CMainDialog {
public:
    using CMainDialog::m_comm;
    using CMainDialog::m_folderTakesFiles;
    using CMainDialog::m_listPorts;
    using CMainDialog::m_shellFolder;
    using CMainDialog::m_nCount;
    using CMainDialog::ReadOutRunning;
    using CMainDialog::SendCommand;
    using CMainDialog::StartReadOut;
    std::function<void(CProbedDialog&)> probe;
    std::shared_ptr<CScriptedPort> port;

    void Click(int id) { SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(id))); }
    void Tick(WPARAM timer = 1) { SendMessage(WM_TIMER, timer); }
    bool Locked() { return !::IsWindowEnabled(GetDlgItem(IDC_READ)) && !::IsWindowEnabled(GetDlgItem(IDC_ERASE)); }
    std::string Shown() { m_strBytes.Empty(); UpdateData(TRUE); return m_strBytes.Str(); }
    // The logger sends `text`: every character has had its event on return.
    void Receive(const std::string& text)
    {
        const uint32_t target = m_nCount + static_cast<uint32_t>(text.size());
        port->Push(Data(text));
        EXPECT_TRUE(PumpUntil([&] { return m_nCount >= target || !ReadOutRunning(); }, 10000));
    }
    // The driver answers `answer`: on return its bytes have arrived, but have not had their events.
    void Arrive(const ReadAnswer& answer)
    {
        port->Push(answer);
        const auto arrived = [&] { return static_cast<size_t>(m_comm.GetInBufferCount()) >= answer.data.size(); };
        for (DWORD start = GetTickCount(); !arrived() && GetTickCount() - start < 3000;)
            Sleep(10);
        EXPECT_TRUE(arrived()) << "the driver's bytes did not reach the control";
    }

protected:
    // The probe runs once the window has started, as the user finds it.
    static constexpr UINT kProbeMessage = WM_APP + 99;
    BOOL OnInitDialog() override
    {
        m_comm.SetPortIoFactory([this] { return port; });
        CMainDialog::OnInitDialog();
        ::PostMessageW(m_hWnd, kProbeMessage, 0, 0);
        return TRUE;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != kProbeMessage)
            return CMainDialog::WindowProc(message, wParam, lParam);
        if (probe)
            probe(*this);
        EndDialog(IDCANCEL);
        return 0;
    }
};

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(dir);
        fs::current_path(dir);
        app.m_hInstance = AfxGetResourceHandle();
        AfxSetPrompts(&prompts);
        AfxSetClock(&clock);
    }
    void TearDown() override
    {
        AfxSetPrompts(nullptr);
        AfxSetClock(nullptr);
        fs::current_path(oldDir);
        fs::remove_all(dir);
    }
    // Runs `body` inside a main window on the test's port.
    void Run(const std::function<void(CProbedDialog&)>& body, std::vector<ComPortName> ports = { { 2, L"" } })
    {
        CProbedDialog dialog;
        dialog.port = port;
        dialog.m_listPorts = [ports] { return ports; };
        dialog.m_shellFolder = [this](int csidl) { return (dir / (csidl == CSIDL_PERSONAL ? "Dokumente" : "lokal")).wstring(); };
        if (!startFolderTakesFiles)
            dialog.m_folderTakesFiles = [](const std::wstring&) { return false; };
        bool ran = false;
        dialog.probe = [&](CProbedDialog& d) { body(d), ran = true; };
        app.m_pMainWnd = &dialog;
        dialog.DoModal();
        app.m_pMainWnd = nullptr;
        EXPECT_TRUE(ran);
    }
    std::string Written() { return port->Locked([&] { return port->written; }); }
    static std::string Content(const fs::path& path)
    {
        std::ostringstream s;
        s << std::ifstream(path, std::ios::binary).rdbuf();
        return s.str();
    }
    static void Put(const fs::path& path, const std::string& content) { std::ofstream(path, std::ios::binary) << content; }
    // Read, the chooser answered with `name`, and the answers that follow.
    void Read(CProbedDialog& d, const fs::path& name, std::initializer_list<Answer> then = {})
    {
        prompts.answers.push_back(File(dir / name));
        prompts.answers.insert(prompts.answers.end(), then);
        d.Click(IDC_READ);
    }

    bool startFolderTakesFiles = true;
    CWinApp app;
    CScriptedPrompts prompts;
    CTestClock clock;
    std::shared_ptr<CScriptedPort> port = std::make_shared<CScriptedPort>();
    const fs::path oldDir = fs::current_path(), dir = fs::temp_directory_path() / "vorlix-window";
};

TEST_F(MainWindow, StartsOnTheStoredPortAndWritesTheSettingOnlyWhenThereIsNone)
{
    const struct {
        const char* file;  // nullptr: none
        short port;
        const char* after;
    } starts[] = { { nullptr, 2, "1\n" }, { "3\r\n", 4, "3\r\n" }, { "", 1, "" }, { "+1x\n7\n", 2, "+1x\n7\n" } };
    for (const auto& start : starts) {
        SCOPED_TRACE(start.after);
        fs::remove(dir / "vxsetup.ini");
        if (start.file)
            Put(dir / "vxsetup.ini", start.file);
        Run([&](CProbedDialog& d) {
            EXPECT_EQ(start.port, d.m_comm.GetCommPort());
            EXPECT_TRUE(d.m_comm.GetPortOpen());
        });
        EXPECT_EQ(start.after, Content(dir / "vxsetup.ini"));
    }
    EXPECT_THAT(prompts.seen, IsEmpty());

    // One that cannot be read (a folder in its place) is left as it is, and the default is used.
    fs::remove(dir / "vxsetup.ini");
    fs::create_directory(dir / "vxsetup.ini");
    Run([&](CProbedDialog& d) { EXPECT_EQ(2, d.m_comm.GetCommPort()); });
    EXPECT_THAT(prompts.seen, ElementsAre(StartsWith("error: Die Einstellung in \"" + (dir / "vxsetup.ini").string() +
                                                     "\" kann nicht gelesen werden; bis zum Programmende wird COM 2 benutzt")));
    fs::remove(dir / "vxsetup.ini");

    // A start folder that takes no file: the setting lives in the user's own folder, read from the start folder
    // until there is one, and the chooser opens in the user's documents.
    startFolderTakesFiles = false;
    prompts.seen.clear();
    Put(dir / "lokal", "a file where the folder should be");
    Run([&](CProbedDialog& d) { EXPECT_EQ(2, d.m_comm.GetCommPort()); });
    EXPECT_THAT(prompts.seen, ElementsAre(StartsWith("error: Die Einstellung kann nicht in \"" + (dir / "lokal" / "Vorlix" / "vxsetup.ini").string() +
                                                     "\" gespeichert werden; COM 2 wird nur bis zum Programmende benutzt.")));
    fs::remove(dir / "lokal");
    fs::create_directory(dir / "lokal");
    Put(dir / "vxsetup.ini", "3\n");
    Run([&](CProbedDialog& d) {
        EXPECT_EQ(4, d.m_comm.GetCommPort());
        EXPECT_FALSE(fs::exists(dir / "lokal" / "Vorlix"));
        prompts.answers = { Ok(0) };
        d.Click(IDC_SETUP);
        clock.now += 41400000;  // 23:30 UTC: here it is tomorrow
        d.Click(IDC_READ);
    });
    Run([&](CProbedDialog& d) { EXPECT_EQ(1, d.m_comm.GetCommPort()); });
    EXPECT_EQ("0\n", Content(dir / "lokal" / "Vorlix" / "vxsetup.ini"));
    EXPECT_EQ("3\n", Content(dir / "vxsetup.ini"));
    EXPECT_THAT(prompts.seen, ElementsAre(StartsWith("error:"), "IDD_PORT",
                                          "chooser " + (dir / "Dokumente" / "Messwerte 2026-12-08.txt").string()));
}

TEST_F(MainWindow, SetupCancelChangesNothingAndOkStoresWhereTheProgramStartedAndReopens)
{
    Put(dir / "vxsetup.ini", "2\r\n");
    Run([&](CProbedDialog& d) {
        prompts.answers = { Cancel() };
        d.Click(IDC_SETUP);
        EXPECT_EQ(0, port->Count("close"));
        EXPECT_EQ("2\r\n", Content(dir / "vxsetup.ini"));
        // The file chooser may have moved the working directory meanwhile.
        fs::create_directory(dir / "tabellen");
        fs::current_path(dir / "tabellen");
        prompts.answers = { Ok(0) };
        d.Click(IDC_SETUP);
        EXPECT_GT(port->Count("close"), 0) << "closed and opened again";
        EXPECT_EQ(1, d.m_comm.GetCommPort());
        EXPECT_TRUE(d.m_comm.GetPortOpen());
        fs::current_path(dir);
    });
    EXPECT_EQ("0\n", Content(dir / "vxsetup.ini"));
    EXPECT_FALSE(fs::exists(dir / "tabellen" / "vxsetup.ini"));
    EXPECT_THAT(prompts.seen, ElementsAre("IDD_PORT", "IDD_PORT"));
}

TEST_F(MainWindow, AMissingOrUnusablePortCanBeSwappedForOneThePcHas)
{
    Put(dir / "vxsetup.ini", "3\n");
    port->openError = ERROR_FILE_NOT_FOUND;
    // Cancel: the window opens with the port closed, as after the error box.
    Run([&](CProbedDialog& d) { EXPECT_FALSE(d.m_comm.GetPortOpen()); }, { { 3, L"\\Device\\Serial0" } });
    EXPECT_EQ("3\n", Content(dir / "vxsetup.ini"));
    EXPECT_THAT(prompts.seen, ElementsAre(HasSubstr("IDD_PORT_CHOICE: Die Schnittstelle COM 4 gibt es nicht.\nThe port COM 4 does not exist.")));

    prompts.answers = { Ok(7, [&] { port->openError = 0; }) };
    Run([&](CProbedDialog& d) {
        EXPECT_EQ(7, d.m_comm.GetCommPort());
        EXPECT_TRUE(d.m_comm.GetPortOpen());
    }, { { 7, L"\\Device\\VCP0" } });
    EXPECT_EQ("6\n", Content(dir / "vxsetup.ini"));

    // No port at all: the box says so.
    prompts.seen.clear();
    port->openError = ERROR_FILE_NOT_FOUND;
    Run([&](CProbedDialog&) {}, {});
    EXPECT_THAT(prompts.seen, ElementsAre(AllOf(HasSubstr("error: Die Schnittstelle COM 7 gibt es nicht."),
                                                HasSubstr("Vorhandene Schnittstellen / Ports on this PC: keine / none"))));

    // A port that is there but cannot be used (refusing its settings, timing out, in use): at start, at Read, at
    // Delete and after Setup's OK, Use stores and opens the one chosen, and Read or Delete go on.
    prompts.seen.clear();
    port->openError = 0;
    port->configureError = ERROR_INVALID_PARAMETER;
    const auto use5 = [&] { return Ok(5, [&] { port->openError = port->configureError = 0; }); };
    prompts.answers = { use5() };
    Run([&](CProbedDialog& d) {
        EXPECT_EQ(5, d.m_comm.GetCommPort());
        for (const auto& [button, error] : { std::pair{ IDC_READ, ERROR_SEM_TIMEOUT }, { IDC_ERASE, ERROR_ACCESS_DENIED } }) {
            d.m_comm.SetPortOpen(FALSE);
            port->openError = error;
            prompts.answers = { use5() };
            d.Click(button);
            EXPECT_TRUE(d.m_comm.GetPortOpen());
        }
        port->openError = ERROR_ACCESS_DENIED;
        prompts.answers = { Ok(0) };
        d.Click(IDC_SETUP);
        EXPECT_FALSE(d.m_comm.GetPortOpen());
        prompts.answers = { Ok(-1) };  // OK without a port selected
        d.Click(IDC_SETUP);
    }, { { 5, L"\\Device\\VCP0" } });
    EXPECT_EQ("-1\n", Content(dir / "vxsetup.ini"));
    EXPECT_THAT(prompts.seen, ElementsAre(
        StartsWith("IDD_PORT_CHOICE: COM 7 kann nicht eingestellt werden.\nCOM 7 cannot be configured."),
        StartsWith("IDD_PORT_CHOICE: COM 5 kann nicht ge\xC3\xB6" "ffnet werden.\nCOM 5 cannot be opened."),
        "chooser " + (dir / "Messwerte 2026-12-07.txt").string(),
        StartsWith("IDD_PORT_CHOICE: COM 5 ist belegt"), "IDD_CONFIRM_ERASE", "IDD_PORT", StartsWith("IDD_PORT_CHOICE: COM 1 ist belegt"),
        "IDD_PORT", StartsWith("IDD_PORT_CHOICE: Die Portnummer 0 ist ung\xC3\xBCltig")));
}

TEST_F(MainWindow, AReadOutFromAPathGivesTheTableAndEndsAtTheFirstTickWithoutNews)
{
    Put(dir / "alt.txt", "the old table");
    Put(dir / "Messwerte 2026-12-07.txt", "");  // today's name is taken
    fs::create_directory(dir / "unter");
    // A folder whose name code page 1252 cannot hold, and the one it would become.
    fs::create_directory(dir / L"\u0141\u00F3d\u017A");
    fs::create_directory(dir / L"L\u00F3dz");
    Put(dir / L"\u0141\u00F3d\u017A" / "ganz.txt", std::string(99, 'x'));
    Run([&](CProbedDialog& d) {
        Read(d, "alt", { No() });
        EXPECT_EQ("", Written()) << "No sends nothing";
        EXPECT_FALSE(d.ReadOutRunning());
        Read(d, "alt", { Yes() });
        EXPECT_EQ("(254.1.)", Written());
        EXPECT_TRUE(d.Locked());
        EXPECT_EQ((std::map<UINT_PTR, UINT>{ { 1, 2000 } }), clock.timers);
        EXPECT_TRUE(clock.awake);
        EXPECT_EQ(13u, fs::file_size(dir / "alt.txt")) << "replaced only when the first character comes";
        d.SendMessage(WM_ENDSESSION, FALSE);  // a logoff called off changes nothing
        d.Receive(std::string(kRecord) + kRecord);
        EXPECT_EQ("1", d.Shown()) << "counted during the run, at most ten times a second";
        d.Tick();
        EXPECT_TRUE(d.ReadOutRunning()) << "characters came since the last tick";
        d.Tick();
        EXPECT_FALSE(d.ReadOutRunning());
        EXPECT_FALSE(d.Locked());
        EXPECT_THAT(clock.timers, IsEmpty());
        EXPECT_FALSE(clock.awake);
        EXPECT_EQ("44", d.Shown());
        EXPECT_EQ(std::string(kRow) + kRow, Content(dir / "alt.txt"));
        // Closed: another program may have it now.
        const HANDLE other = CreateFileW((dir / "alt.txt").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, other);
        CloseHandle(other);

        // A run that stops inside a line says so; the next starts at a line start and at 0, and empties a longer table.
        Read(d, fs::path("unter") / "halb.txt");
        d.Receive(std::string(kRecord) + " 5 3");
        d.Tick(), d.Tick();
        prompts.answers = { Yes() };
        d.StartReadOut((dir / L"\u0141\u00F3d\u017A" / "ganz.txt").wstring());
        d.Receive(kRecord);
        d.Tick(), d.Tick();
        EXPECT_EQ("22", d.Shown());
        d.Click(IDC_READ);  // in the folder of the last table chosen
    });
    EXPECT_EQ(std::string(kRow) + "05.03.", Content(dir / "unter" / "halb.txt"));
    EXPECT_EQ(kRow, Content(dir / L"\u0141\u00F3d\u017A" / "ganz.txt"));
    const std::string chooser = "chooser " + (dir / "Messwerte 2026-12-07 (2).txt").string(),
                      replace = "ask: Die Datei \"" + (dir / "alt.txt").string() + "\" existiert bereits. Ersetzen?\nThe file \"" +
                                (dir / "alt.txt").string() + "\" already exists. Replace it?";
    EXPECT_THAT(prompts.seen, ElementsAre(chooser, replace, chooser, replace, chooser,
        AllOf(StartsWith("error: Die Tabelle \"" + (dir / "unter" / "halb.txt").string() + "\" ist unvollst\xC3\xA4ndig."),
              HasSubstr("Die \xC3\x9C" "bertragung brach mitten in einer Zeile ab.\nThe transfer stopped in the middle of a line.")),
        StartsWith("ask: Die Datei \"" + (dir / L"\u0141\u00F3d\u017A" / "ganz.txt").u8string()), "chooser " + (dir / "unter" / "Messwerte 2026-12-07.txt").string()));
}

TEST_F(MainWindow, ASilentLoggerChangesNoTableSaysSoAndDeleteThenAsksFirst)
{
    Put(dir / "alt.txt", "the old table");
    Run([&](CProbedDialog& d) {
        Read(d, "alt.txt", { Yes() });
        d.Tick();
        EXPECT_FALSE(d.ReadOutRunning()) << "nothing since the start: the first tick ends it";
        Read(d, "neu.txt");
        d.Tick();
        prompts.answers = { No() };
        d.Click(IDC_ERASE);
        prompts.answers = { Yes(), Cancel() };
        d.Click(IDC_ERASE);
    }, {});
    EXPECT_EQ("the old table", Content(dir / "alt.txt"));
    EXPECT_FALSE(fs::exists(dir / "neu.txt"));
    EXPECT_EQ("(254.1.)(254.1.)", Written()) << "neither No nor the confirmation's Cancel erases";
    // Where the PC has ports, it may be the wrong one: they are offered with the text, and the one used is stored
    // and opened, without reading again.
    Run([&](CProbedDialog& d) {
        Read(d, "neu.txt");
        prompts.answers = { Ok(7) };
        d.Tick();
        EXPECT_EQ(7, d.m_comm.GetCommPort());
        EXPECT_TRUE(d.m_comm.GetPortOpen());
        EXPECT_FALSE(d.ReadOutRunning());
    });
    EXPECT_EQ("(254.1.)(254.1.)(254.1.)", Written());
    EXPECT_EQ("6\n", Content(dir / "vxsetup.ini"));
    const std::string nothing = "Vom Logger an COM 2 kam nichts. Ist er eingeschaltet";
    const auto chooser = StartsWith("chooser"), ask = StartsWith("ask: Beim letzten Auslesen kam nichts vom Logger. Nach dem L\xC3\xB6schen sind seine Daten endg\xC3\xBCltig verloren.");
    const auto notMade = HasSubstr("\n\nDie Tabelle \"" + (dir / "neu.txt").string() + "\" wurde nicht angelegt.\nThe table");
    EXPECT_THAT(prompts.seen, ElementsAre(chooser, StartsWith("ask: Die Datei"),
        AllOf(StartsWith("error: " + nothing), HasSubstr("\n\nDie Tabelle \"" + (dir / "alt.txt").string() + "\" ist unver\xC3\xA4ndert.\nThe table")),
        chooser, AllOf(StartsWith("error: " + nothing), notMade), ask, ask, "IDD_CONFIRM_ERASE",
        chooser, AllOf(StartsWith("IDD_PORT_CHOICE: " + nothing), notMade)));
}

TEST_F(MainWindow, CharactersAfterARunHasEndedAreToldOnceAndDeleteThenAsksFirst)
{
    Run([&](CProbedDialog& d) {
        // The logger's bytes have had their events.
        const auto handled = [&] { return PumpUntil([&] { return d.m_comm.GetInBufferCount() == 0; }, 5000); };
        // The logger goes on after more than 2 s of silence.
        const auto late = [&](const char* name, const std::string& rest) {
            Read(d, name);
            d.Receive(kRecord);
            d.Tick(), d.Tick();
            d.Arrive(Data(rest));
            return handled();
        };
        ASSERT_TRUE(late("frueh.txt", kRecord));
        EXPECT_EQ((std::map<UINT_PTR, UINT>{ { 2, 2000 } }), clock.timers);
        // More while the user confirms: the erase is not sent. Then it is, and what
        // comes after it is its answer.
        prompts.answers = { Yes(), Ok(0, [&] { d.Arrive(Data("x")); handled(); }) };
        d.Click(IDC_ERASE);
        EXPECT_EQ("(254.1.)", Written());
        prompts.answers = { Yes(), Ok() };
        d.Click(IDC_ERASE);
        EXPECT_EQ("(254.1.)(251.1.)", Written());
        d.Arrive(Data("ok"));
        ASSERT_TRUE(handled());
        EXPECT_THAT(clock.timers, IsEmpty());

        // Told at the first tick without more, once; ticks queued before the kill say nothing.
        ASSERT_TRUE(late("zwei.txt", kRecord));
        d.Tick(2);
        d.Arrive(Data("\r\n"));
        ASSERT_TRUE(handled());
        d.Tick(2), d.Tick(2);
        d.Arrive(Data("more"));
        ASSERT_TRUE(handled());
        EXPECT_THAT(clock.timers, IsEmpty());
        d.Tick(2), d.Tick(2);
        // Told by Setup, which opens the port anew, and on the way out.
        ASSERT_TRUE(late("drei.txt", "7"));
        prompts.answers = { Ok(1) };
        d.Click(IDC_SETUP);
        d.Arrive(Data("other device"));
        ASSERT_TRUE(handled());
        EXPECT_THAT(clock.timers, IsEmpty());
        ASSERT_TRUE(late("vier.txt", "77"));
        d.SendMessage(WM_COMMAND, IDCANCEL);
    });
    EXPECT_EQ(kRow, Content(dir / "frueh.txt"));
    const auto told = [](const char* count) { return HasSubstr("error: Nach dem Ende des Auslesens kamen noch " + std::string(count)); };
    EXPECT_THAT(prompts.seen, ElementsAre(
        HasSubstr("chooser"), HasSubstr("ask: Die Tabelle des letzten Auslesens ist unvollst\xC3\xA4ndig."), "IDD_CONFIRM_ERASE",
        HasSubstr("error: Der Logger wurde nicht gel\xC3\xB6scht: er hat inzwischen noch Daten gesendet"), HasSubstr("ask:"),
        "IDD_CONFIRM_ERASE", HasSubstr("chooser"),
        "error: Nach dem Ende des Auslesens kamen noch 24 Zeichen vom Logger an COM 2. Sie stehen in keiner Tabelle: "
        "der Logger hatte l\xC3\xA4nger als 2 Sekunden geschwiegen.\n24 more characters came from the logger on COM 2 "
        "after the read-out had ended. They are in no table: the logger had been silent for more than 2 seconds.\n\n"
        "Bitte noch einmal auslesen: der Logger hat seine Daten noch.\nPlease read out again: the logger still holds its data.",
        HasSubstr("chooser"), "IDD_PORT", told("1 Zeichen vom Logger an COM 2."), HasSubstr("chooser"), told("2 Zeichen")));
}

TEST_F(MainWindow, EraseGoesOutAtTheNextWholeSecondUnlessAReadOutStartedMeanwhile)
{
    Run([&](CProbedDialog& d) {
        std::string writtenInThePause = "?";
        // Setup clicked during the pause is handled inside it, before the command.
        prompts.answers = { Ok(0, [&] { ::PostMessageW(d.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_SETUP, BN_CLICKED), 0); }),
                            Cancel([&] { writtenInThePause = Written(); }) };
        d.Click(IDC_ERASE);
        EXPECT_EQ("", writtenInThePause);
        EXPECT_EQ("(251.1.)", Written());
        EXPECT_EQ(kNoon - 300 + 1000, clock.now) << "the next whole second, not a second later";
        // Read carried through in the pause: the run keeps the line.
        prompts.answers = { Ok(0, [&] { ::PostMessageW(d.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_READ, BN_CLICKED), 0); }),
                            File(dir / "pause.txt") };
        d.Click(IDC_ERASE);
        EXPECT_TRUE(d.ReadOutRunning());
        EXPECT_EQ("(251.1.)(254.1.)", Written());
    });
    EXPECT_THAT(prompts.seen.back(), HasSubstr("error: Der Logger wurde nicht gel\xC3\xB6scht: w\xC3\xA4hrend der Wartezeit hat ein Auslesen begonnen."));

    // After an erase, Quit in the pause: the erase goes out at the next whole second (or says why not), then the program
    // ends. A logoff in the pause erases nothing, says nothing and ends the pause at once: nothing holds the session up.
    prompts.seen.clear();
    const std::string before = Written();
    for (const auto& [message, error] : { std::pair<UINT, DWORD>{ WM_COMMAND, 0 }, { WM_ENDSESSION, 0 }, { WM_COMMAND, ERROR_TIMEOUT } }) {
        Run([&](CProbedDialog& d) {
            prompts.answers = { Ok() };
            d.Click(IDC_ERASE);
            const ULONGLONG start = clock.now;
            port->writeError = error;
            prompts.answers = { Ok(0, [&] { ::PostMessageW(d.m_hWnd, message, message == WM_COMMAND ? IDOK : TRUE, 0); }) };
            d.Click(IDC_ERASE);
            EXPECT_FALSE(d.m_comm.GetPortOpen());
            if (message == WM_ENDSESSION)
                EXPECT_EQ(start, clock.now);
            else
                EXPECT_FALSE(::IsWindowVisible(d.m_hWnd)) << "the program ends";
        });
    }
    EXPECT_EQ(before + "(251.1.)(251.1.)(251.1.)(251.1.)", Written());
    const std::string confirm = "IDD_CONFIRM_ERASE";
    EXPECT_THAT(prompts.seen, ElementsAre(confirm, confirm, confirm, confirm, confirm, confirm, StartsWith("error: COM 2 antwortet nicht")));
}

TEST_F(MainWindow, APortSlowToOpenLeavesTheWindowAnsweringAndACloseGivesItUp)
{
    // A Bluetooth port takes up to 20 s to open or to fail: this one until the window has shown it answers.
    static struct { HWND main; HANDLE gate; bool answered, locked, close; } slow;
    slow = { nullptr, CreateEventW(nullptr, TRUE, FALSE, nullptr), false, false, false };
    const TIMERPROC meanwhile = [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        slow.answered = WaitForSingleObject(slow.gate, 0) == WAIT_TIMEOUT;
        slow.locked = !IsWindowEnabled(GetDlgItem(slow.main, IDC_READ)) && !IsWindowEnabled(GetDlgItem(slow.main, IDOK));
        if (slow.close)
            PostMessageW(slow.main, WM_CLOSE, 0, 0);
        else
            SetEvent(slow.gate);
    };
    Run([&](CProbedDialog& d) {
        slow.main = d.m_hWnd;
        port->openGate = slow.gate;
        // Then the close box meanwhile: the open is given up, and the port it opens after all is closed again.
        for (const bool close : { false, true }) {
            ResetEvent(slow.gate);
            slow.close = close;
            SetTimer(nullptr, 0, 10, meanwhile);
            prompts.answers = { Ok(1) };
            d.Click(IDC_SETUP);
            EXPECT_TRUE(slow.answered && slow.locked);
            EXPECT_EQ(!close, d.m_comm.GetPortOpen() != FALSE);
            EXPECT_FALSE(d.Locked());
        }
        const int closed = port->Count("close");
        SetEvent(slow.gate);
        EXPECT_TRUE(PumpUntil([&] { return port->Count("close") > closed; }, 5000));
    });
    EXPECT_TRUE(slow.answered);
    CloseHandle(slow.gate);
}

TEST_F(MainWindow, APulledCableEndsTheRunAtOnceAndReadWaitsForThePortToComeBack)
{
    Run([&](CProbedDialog& d) {
        d.StartReadOut(L"Z:\\dev\\full");  // takes the file, refuses every write
        d.Receive(kRecord);
        port->Then(Failing(ERROR_DEVICE_REMOVED));
        ASSERT_TRUE(PumpUntil([&] { return !d.ReadOutRunning(); }, 5000));
        port->openError = ERROR_FILE_NOT_FOUND;
        d.Click(IDC_READ);  // still away: no chooser
        port->openError = 0;
        port->Then(Quiet());
        d.Click(IDC_ERASE);  // the logger holds the only copy: asked first
        Read(d, "wieder.txt");
        d.Receive(kRecord);
        d.Tick(), d.Tick();
        d.Click(IDC_ERASE);
    }, {});
    EXPECT_EQ(kRow, Content(dir / "wieder.txt"));
    EXPECT_THAT(prompts.seen, ElementsAre(
        StartsWith("error: Die Verbindung \xC3\xBC" "ber COM 2 ist unterbrochen. Die Tabelle \"Z:\\dev\\full\" ist unvollst\xC3\xA4ndig: sie "
                   "endet nach 22 empfangenen Zeichen, 21 davon konnten nicht geschrieben werden."),
        StartsWith("error: Die Verbindung \xC3\xBC" "ber COM 2 war unterbrochen, und die Schnittstelle ist nicht wieder da."),
        StartsWith("ask: Beim letzten Auslesen ist die Verbindung abgebrochen."), StartsWith("chooser"),
        "IDD_CONFIRM_ERASE")) << "no question before the erase after a good run";
}

// Nothing unwinds through Windows: a handler's unexpected error is told and the program goes on; the reader's
// ends the run as a lost connection that says so, with every byte that came before in the table.
TEST_F(MainWindow, AnUnexpectedErrorIsToldAndInTheReaderEndsTheRunAsLost)
{
    Run([&](CProbedDialog& d) {
        prompts.answers = { { IDOK, L"", 0, [] { throw std::runtime_error("in the handler"); } } };
        d.Click(IDC_READ);
        Read(d, "abgebrochen.txt");
        d.Receive(kRecord);
        port->Then(Throwing());
        ASSERT_TRUE(PumpUntil([&] { return !d.ReadOutRunning(); }, 5000));
    });
    EXPECT_EQ(kRow, Content(dir / "abgebrochen.txt"));
    EXPECT_THAT(prompts.seen, ElementsAre(StartsWith("chooser"), "error: Unerwarteter Fehler / Unexpected error", StartsWith("chooser"),
        AllOf(StartsWith("error: Die Verbindung \xC3\xBC" "ber COM 2 ist unterbrochen. Die Tabelle"),
              ::testing::EndsWith("22 characters received.\n\nUnerwarteter Fehler / Unexpected error"))));
}

TEST_F(MainWindow, AnIncompleteTableSaysWhyAndDeleteThenAsksFirst)
{
    Run([&](CProbedDialog& d) {
        // Z:\dev\full takes the file's creation and refuses every write: a full disk.
        d.StartReadOut(L"Z:\\dev\\full");
        d.Receive(std::string(kRecord) + kRecord);
        d.SendMessage(WM_POWERBROADCAST, PBT_APMSUSPEND);
        d.Tick(), d.Tick();
        prompts.answers = { No() };
        d.Click(IDC_ERASE);
        // Framing, parity and a break with the last bytes, then reads that keep failing.
        d.StartReadOut((dir / "gestoert.txt").wstring());
        port->Push({ kRecord, 0, true, 5, CE_FRAME | CE_RXPARITY | CE_BREAK });
        ASSERT_TRUE(PumpUntil([&] { return d.m_nCount == 22; }, 5000));
        port->Then(Failing(ERROR_OPERATION_ABORTED));
        EXPECT_TRUE(PumpUntil([&] { return !d.ReadOutRunning(); }, 10000)) << "ended by the failing reads, not a tick";
    });
    EXPECT_EQ(kRow, Content(dir / "gestoert.txt"));
    EXPECT_THAT(prompts.seen, ElementsAre("error: Die Tabelle \"Z:\\dev\\full\" ist unvollst\xC3\xA4ndig.\nThe table \"Z:\\dev\\full\" is incomplete.\n\n"
              "42 Zeichen konnten nicht geschrieben werden.\n42 characters could not be written.\n\n"
              "Der PC war w\xC3\xA4hrend des Auslesens im Ruhezustand.\nThe PC went to sleep during the read-out.\n\n"
              "Bitte noch einmal auslesen: der Logger hat seine Daten noch.\nPlease read out again: the logger still holds its data.",
        StartsWith("ask: Die Tabelle des letzten Auslesens ist unvollst\xC3\xA4ndig."),
        AllOf(HasSubstr("Die Leitung meldete 3 Mal Fehler: Zeichen gingen verloren oder kamen verf\xC3\xA4lscht an."),
              HasSubstr(" Lesevorg\xC3\xA4nge an COM 2 schlugen fehl.\n"))));
}

TEST_F(MainWindow, TheWaysOutKeepEveryCharacterReceivedWithALossPendingTooAndEnterDoesNothingDuringARun)
{
    Put(dir / "alt.txt", "the old table");
    const struct { UINT message; WPARAM wParam; } ways[] = {
        { WM_COMMAND, IDCANCEL }, { WM_CLOSE, 0 }, { WM_ENDSESSION, TRUE } };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.message);
        Run([&](CProbedDialog& d) {
            Read(d, "alt.txt", { Yes() });  // nothing comes: kept as it was
            d.SendMessage(way.message, way.wParam);
        });
        Run([&](CProbedDialog& d) {
            Read(d, "endlos.txt");
            d.Receive(std::string(100, '7'));
            d.Click(IDOK);
            EXPECT_TRUE(d.ReadOutRunning()) << "Enter while Quit is locked";
            d.Arrive({ std::string(200, '7'), ERROR_DEVICE_REMOVED });
            // The reader has marked the loss and ended; the window has not seen it yet.
            const HANDLE reader = OpenThread(SYNCHRONIZE, FALSE, port->Locked([&] { return port->reader; }));
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(reader, 5000));
            CloseHandle(reader);
            d.SendMessage(way.message, way.wParam);
        });
        EXPECT_EQ("the old table", Content(dir / "alt.txt"));
        const std::string table = Content(dir / "endlos.txt");
        EXPECT_EQ(300, std::count(table.begin(), table.end(), '7'));
        fs::remove(dir / "endlos.txt");
    }
    const auto chooser = StartsWith("chooser"), replace = StartsWith("ask: Die Datei"),
               lost = StartsWith("error: Die Verbindung \xC3\xBC" "ber COM 2 ist unterbrochen. Die Tabelle \"" + (dir / "endlos.txt").string() +
                                 "\" ist unvollst\xC3\xA4ndig: sie endet nach 300 empfangenen Zeichen.");
    EXPECT_THAT(prompts.seen, ElementsAre(chooser, replace, chooser, lost, chooser, replace, chooser, lost, chooser, replace, chooser))
        << "the loss told as the user leaves, but not at logoff";
}

TEST_F(MainWindow, AClosedPortOrATableThatCannotBeHadSendNothing)
{
    Put(dir / "besetzt.txt", "in use");
    const std::string held = (dir / "besetzt.txt").string(), missing = (dir / "fehlt" / "neu.txt").string();
    Run([&](CProbedDialog& d) {
        // Held by another program, as Excel holds a table it opened: said so, before any question.
        const HANDLE other = CreateFileW((dir / "besetzt.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        Read(d, "besetzt.txt");
        CloseHandle(other);
        Read(d, fs::path("fehlt") / "neu.txt");
        d.Click(IDC_READ);  // the chooser cancelled
        // The driver does not take the command: a new table is not left behind, an old one is kept.
        port->writeError = ERROR_TIMEOUT;
        Read(d, "neu.txt");
        Read(d, "besetzt.txt", { Yes() });
        d.m_comm.SetPortOpen(FALSE);
        EXPECT_EQ("COM 2 ist nicht ge\xC3\xB6" "ffnet.\nCOM 2 is not open.", ErrorOf([&] { d.StartReadOut((dir / "zu.txt").wstring()); }));
        EXPECT_FALSE(d.Locked());
    });
    EXPECT_EQ("", Written());
    EXPECT_EQ("in use", Content(dir / "besetzt.txt"));
    EXPECT_FALSE(fs::exists(dir / "neu.txt"));
    EXPECT_FALSE(fs::exists(dir / "zu.txt"));
    const auto chooser = StartsWith("chooser"), noAnswer = StartsWith("error: COM 2 antwortet nicht; der Befehl wurde nicht gesendet.");
    EXPECT_THAT(prompts.seen, ElementsAre(chooser,
        "error: Die Tabelle \"" + held + "\" ist in einem anderen Programm ge\xC3\xB6" "ffnet (z. B. Excel). Bitte dort schlie\xC3\x9F" "en "
        "und erneut auslesen.\nThe table \"" + held + "\" is open in another program (e.g. Excel). Close it there and read again.",
        chooser, AllOf(StartsWith("error: Die Datei \"" + missing + "\" kann nicht angelegt werden."),
                       HasSubstr("Es wurde nichts ausgelesen; bitte einen anderen Namen w\xC3\xA4hlen.")),
        chooser, chooser, noAnswer, chooser, StartsWith("ask: Die Datei \"" + held + "\" existiert bereits."), noAnswer));
}

// A small dialog run modally with `probe` inside it, once it is initialised.
template <class Dialog>
class CProbed : public Dialog {
public:
    template <class... Args>
    explicit CProbed(std::function<void(HWND)> probe, Args&&... args) : Dialog(std::forward<Args>(args)...), m_probe(std::move(probe)) {}

protected:
    BOOL OnInitDialog() override
    {
        Dialog::OnInitDialog();
        m_probe(this->m_hWnd);
        return TRUE;
    }
    std::function<void(HWND)> m_probe;
};

TEST_F(MainWindow, ThePortDialogsTakeWhatIsSelected)
{
    // OK keeps the stored port; a stored index without a button: none selected, and OK keeps none (-1).
    for (const auto& [stored, kept] : { std::pair{ 2, 2 }, { 7, -1 } }) {
        CProbed<CPortDialog> dialog([](HWND h) { PostMessageW(h, WM_COMMAND, IDOK, 0); });
        dialog.m_nPort = stored;
        EXPECT_EQ(IDOK, dialog.DoModal());
        EXPECT_EQ(kept, dialog.m_nPort);
    }

    CProbed<CPortChoiceDialog> choice(
        [](HWND h) {
            const HWND list = GetDlgItem(h, IDC_CHOICE_PORTS);
            EXPECT_EQ(0, SendMessageW(list, LB_GETCURSEL, 0, 0)) << "the first is selected";
            wchar_t line[64] = L"";
            SendMessageW(list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(line));
            EXPECT_EQ(std::wstring(L"COM 7    \\Device\\VCP0"), line);
            SendMessageW(list, LB_SETCURSEL, 1, 0);
            PostMessageW(h, WM_COMMAND, MAKEWPARAM(IDC_CHOICE_PORTS, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
            PostMessageW(h, WM_COMMAND, IDCANCEL, 0);  // ends it, if the double click did not
        },
        L"Die Schnittstelle COM 4 gibt es nicht.", std::vector<ComPortName>{ { 3, L"" }, { 7, L"\\Device\\VCP0" } });
    EXPECT_EQ(IDOK, choice.DoModal()) << "a double click uses the port";
    EXPECT_EQ(7, choice.m_nChosen);
}

// Which buttons WM_ENABLE reached, in order, while the hook was set.
std::vector<int> g_enabled;
LRESULT CALLBACK RecordEnable(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_ENABLE && message->wParam)
        g_enabled.push_back(GetDlgCtrlID(message->hwnd));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MainWindow, ACommandGoesOutAfterStaleBytesAreDroppedAndTheRunGivesTheButtonsBackInOrder)
{
    Run([&](CProbedDialog& d) {
        d.Arrive(Data("stale"));
        ASSERT_EQ(5, d.m_comm.GetInBufferCount());
        Read(d, "frisch.txt");
        EXPECT_EQ(0, d.m_comm.GetInBufferCount()) << "the stale bytes would open the new table";
        g_enabled.clear();
        HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, RecordEnable, nullptr, GetCurrentThreadId());
        d.Receive(kRecord);
        d.Tick(), d.Tick();
        UnhookWindowsHookEx(hook);
        // The end-to-end tests wait for Delete, the last one, to know the run has ended.
        EXPECT_EQ((std::vector<int>{ IDC_READ, IDC_SETUP, IDOK, IDC_ERASE }), g_enabled);
    });
    EXPECT_EQ(kRow, Content(dir / "frisch.txt"));
}

TEST_F(MainWindow, TheWindowHasAnIconOfEachSizeTakesDroppedTablesAndItsChartEntryShowsTheLastTableNotOneBeingWritten)
{
    Put(dir / "leer.txt", std::string("Datum\tUhrzeit\n\x01\0", 16));
    prompts.answers = { File(dir / "leer.txt") };
    Run([&](CProbedDialog& d) {
        // The title bar and Alt+Tab each get the image drawn for their size.
        for (const auto& icon : { std::pair<WPARAM, int>{ ICON_SMALL, SM_CXSMICON }, { ICON_BIG, SM_CXICON } }) {
            ICONINFO info = {};
            ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(d.SendMessage(WM_GETICON, icon.first)), &info));
            BITMAP bitmap = {};
            GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
            EXPECT_EQ(GetSystemMetrics(icon.second), bitmap.bmWidth);
            DeleteObject(info.hbmColor), DeleteObject(info.hbmMask);
        }
        EXPECT_TRUE(GetWindowLongW(d.m_hWnd, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) << "a table can be dropped";
        d.SendMessage(WM_SYSCOMMAND, IDM_CHART);  // no read-out yet: the chooser
        Read(d, "neu.txt");
        d.SendMessage(WM_SYSCOMMAND, IDM_CHART + 0xF);  // the table is being written
        d.Receive(kRecord);
        d.Tick(), d.Tick();
        for (WPARAM command : { 0x10, 0x1F, 0x20, 0x30, 0x4F })  // About, About, nothing, nothing, the chart
            d.SendMessage(WM_SYSCOMMAND, command);
        // A table dropped on the window.
        const std::wstring leer = (dir / "leer.txt").wstring();
        HGLOBAL drop = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + (leer.size() + 2) * sizeof(wchar_t));
        auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
        files->pFiles = sizeof(DROPFILES), files->fWide = TRUE;
        leer.copy(reinterpret_cast<wchar_t*>(files + 1), leer.size());
        GlobalUnlock(drop);
        d.SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(drop));
    });
    const std::string empty = "error: leer.txt enth\xC3\xA4lt keine Messwerte. / leer.txt holds no readings.";
    EXPECT_THAT(prompts.seen, ElementsAre("chooser " + (dir / "*.txt").string(), empty,
                                          "chooser " + (dir / "Messwerte 2026-12-07.txt").string(), "IDD_ABOUTBOX",
                                          "IDD_ABOUTBOX", "IDD_CHART", empty));
}

TEST_F(MainWindow, TheChartSaysWhatTheTableHoldsCopiesZoomsAndEscapeClosesIt)
{
    Put(dir / "bekannt.txt", "03.11.26\t07:00\t21,0\t1013,9\t\n03.11.26\t07:15\t20,8\t-\t\nDatum\n03.11.26\t07:30\t20,3\t1014,5\t\r\n"
                             "03.11.26\t08:30\t20,1\t1014,1\t\n03.11.26\t08:00\t19,9\t1013,1\t\n");
    ChartTable table;
    std::wstring error;
    // Read while another program writes it; a file above 64 MB is not read.
    Put(dir / "gross.txt", "");
    fs::resize_file(dir / "gross.txt", (64 << 20) + 1);
    EXPECT_FALSE(LoadChartTable((dir / "gross.txt").wstring(), table, error));
    EXPECT_EQ("gross.txt ist gr\xC3\xB6\xC3\x9F" "er als 64 MB und zu gro\xC3\x9F f\xC3\xBCr ein Diagramm. / gross.txt is larger than "
              "64 MB, too large for a chart.", Utf8(error));
    const HANDLE writer = CreateFileW((dir / "bekannt.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(LoadChartTable((dir / "bekannt.txt").wstring(), table, error)) << Utf8(error);
    CloseHandle(writer);
    const std::string text = "Vorlix: Diagramm / Chart \xE2\x80\x93 bekannt.txt\r\n"
                             "5 Zeilen / 5 lines: 03.11.2026 07:00 \xE2\x80\x93 03.11.2026 08:30\r\n"
                             "Spalte 3 / column 3: min 19,9, max 21,0, Mittel / mean 20,42\r\n"
                             "Spalte 4 / column 4: min 1013,1, max 1014,5, Mittel / mean 1013,90\r\n"
                             "unlesbar / unreadable: 1 (erste / first: Zeile / line 3)\r\n"
                             "L\xC3\xBC" "cken / gaps: 1\r\nZeit r\xC3\xBC" "ckw\xC3\xA4rts / time going back: 1";
    CProbed<CChartDialog> dialog([&](HWND h) {
        std::string shown;
        for (int id = 0; id < 7; ++id) {
            wchar_t line[256] = L"";
            GetWindowTextW(id ? GetDlgItem(h, IDC_CHART_TEXT + id - 1) : h, line, 256);
            shown += (id ? "\r\n" : "") + Utf8(line);
        }
        EXPECT_EQ(text, shown);
        SendMessageW(h, WM_COMMAND, IDC_CHART_COPY, 0);
        // No check here may return early: the dialog would stay open.
        EXPECT_TRUE(OpenClipboard(h));
        const auto* dib = static_cast<const BITMAPINFOHEADER*>(GlobalLock(GetClipboardData(CF_DIB)));
        EXPECT_TRUE(dib && dib->biBitCount == 24 && dib->biWidth > 300) << "a picture of the chart";
        const HANDLE copied = IsClipboardFormatAvailable(CF_UNICODETEXT) ? GetClipboardData(CF_UNICODETEXT) : nullptr;
        EXPECT_EQ(text, copied ? Utf8(static_cast<const wchar_t*>(GlobalLock(copied))) : "no text");
        CloseClipboard();
        // A drag across part of the chart shows that part; All shows everything again.
        const HWND view = GetDlgItem(h, IDC_CHART_VIEW);
        auto* chart = static_cast<CChartView*>(CWnd::FromHandle(view));
        for (UINT message : { WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP })
            SendMessageW(view, message, 0, MAKELPARAM(message == WM_LBUTTONDOWN ? 200 : 300, 50));
        const double first = table.first;
        EXPECT_GT(chart->From(), first + 20);
        EXPECT_LT(chart->To() - chart->From(), 60);
        SendMessageW(h, WM_COMMAND, IDC_CHART_ALL, 0);
        EXPECT_EQ(std::make_pair(first, first + 90), std::make_pair(chart->From(), chart->To()));
        SetTimer(h, 1, 10000, [](HWND w, UINT, UINT_PTR, DWORD) { EndDialog(w, 99); });  // when Escape does nothing
        PostMessageW(view, WM_KEYDOWN, VK_ESCAPE, 0);
    }, (dir / "bekannt.txt").wstring(), std::move(table));
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
}
}  // namespace
