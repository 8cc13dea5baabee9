// One end-to-end test: a fresh folder as the program's working directory, a
// fresh cable on COM 2 with the logger simulator on its far end.
#pragma once

#include "Harness.h"
#include "LoggerSim.h"
#include "ui/resource.h"

#include <chrono>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>

namespace e2e {

constexpr int kOk = IDOK;
constexpr char kErrorBoxTitle[] = "Vorlix: Fehler / Error";

// A logger record and the table row it must give, both written out by hand:
// 22 characters received, 28 bytes in the table.
constexpr char kRecord[] = " 5 307 9 5 2.5 998.0\r\n";
constexpr char kRow[] = "05.03.07\t09:05\t 2,5\t 998,0\t\n";

using Clock = std::chrono::steady_clock;
inline double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

inline std::string Times(const std::string& text, size_t n)
{
    std::string all;
    while (n-- > 0)
        all += text;
    return all;
}

// A logger holding `records`; `raw` keeps them after an erase. 1042 µs a byte is 9600 baud.
inline loggersim::Options Logger(std::string records, long byteMicros = 1042, bool raw = false)
{
    loggersim::Options options;
    options.records = std::move(records);
    options.byteMicros = byteMicros;
    options.raw = raw;
    return options;
}

class VorlixTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = Work() + "\\tests\\" + info->test_suite_name() + "." + info->name();
        // Emptied, and a cable that a crashed run left in it pulled.
        ASSERT_EQ(0, Shell("mkdir -p '" + UnixPath(dir) + "' && cd '" + UnixPath(dir) +
                           "' && { [ ! -f socat.pid ] || kill $(cat socat.pid); find . -mindepth 1 -delete; }"));
        Plug();
    }

    void TearDown() override
    {
        program.Kill();
        if (sim)
            sim->Stop();
        cable.reset();
        LinkComPorts({});  // no COM port of the prefix is left pointing anywhere
    }

    // A new cable on COM 2: the adapter plugged in (again).
    void Plug()
    {
        cable.reset();  // the old one pulled first: both keep their socat's process id in the same file
        cable = std::make_unique<Cable>(dir);
        ASSERT_TRUE(cable->Ok()) << "socat did not make the cable";
        LinkComPorts({ { 2, cable->ComEnd() } });
    }

    void StartLogger(loggersim::Options options)
    {
        if (sim)
            sim->Stop();
        sim = std::make_unique<loggersim::Simulator>(std::move(options));
        std::string error;
        ASSERT_TRUE(sim->Start("COM30", &error)) << error;
    }

    // Starts vorlix.exe in the test's folder and returns its main window.
    HWND StartProgram()
    {
        EXPECT_TRUE(program.Start(dir));
        main = WaitWindow("Vorlix", 30000);
        EXPECT_TRUE(main) << "the main window did not appear";
        return main;
    }

    // The program's error box, if one appears within the time.
    static HWND ErrorBox(int timeoutMs = 3000) { return WaitWindow(kErrorBoxTitle, timeoutMs); }
    // What the box says; clicks its OK and waits until it is destroyed.
    static std::string Dismiss(HWND box, int button = kOk)
    {
        EXPECT_TRUE(box) << "no box to dismiss";
        const std::string text = StaticTexts(box);
        Click(box, button);
        WaitGone(box, 3000);
        return text;
    }

    std::string Path(const std::string& name) const { return dir + "\\" + name; }
    std::string Table(const std::string& name) const { return ReadFile(Path(name)); }

    // Clicks `button` in the main window; the dialog or box it opens.
    HWND Open(int button)
    {
        EXPECT_TRUE(Click(main, button));
        return WaitOwned(main, 10000);
    }
    HWND OpenPortDialog()
    {
        const HWND dialog = Open(IDC_SETUP);
        EXPECT_EQ("Com Port", Text(dialog));
        return dialog;
    }
    // Read, the file named in the chooser and confirmed; false when no chooser appeared.
    bool ChooseTableFile(const std::string& path)
    {
        const HWND chooser = Open(IDC_READ);
        SetText(chooser, kChooserName, path);
        return chooser && Click(chooser, kOk) && WaitGone(chooser, 3000);
    }
    // Delete, and Yes in its confirmation; false when no confirmation appeared.
    bool ConfirmErase() { return Click(Open(IDC_ERASE), kOk); }

    // The program locks the four buttons one by one when a read-out starts
    // and gives them back the same way at its end, Delete last both times.
    // So these wait for Delete; a read-out has started once the file is named
    // and the buttons are locked.
    void StartRun(const std::string& name)
    {
        ASSERT_TRUE(ChooseTableFile(Path(name)));
        ASSERT_TRUE(WaitFor([&] { return !Enabled(main, IDC_ERASE); }, 3000)) << "the buttons lock during the run";
    }
    // The handler that gives the buttons back closes the table after them:
    // once the window has answered a message of ours, that handler is done.
    bool WaitForEnd(int timeoutMs) { return WaitFor([&] { return Enabled(main, IDC_ERASE); }, timeoutMs) && Answers(); }
    bool Answers()
    {
        DWORD_PTR answer = 0;
        return SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer) != 0;
    }
    // Whether the program shows nothing over its main window, checked once:
    // a box or dialog that a handler opens disables the window before it is
    // created, and the window answers our message only after the handler has
    // returned or from the loop of what it opened.
    bool NothingOpen()
    {
        return Answers() && IsWindowEnabled(main) && !FindTopLevel([&](HWND h) { return OwnedBy(h, main); });
    }

    // One round of what a user does: read out the logger's 10 records (it
    // must keep them after an erase), erase, Setup's OK (the port closed and
    // opened again), the About box.
    void UseOnce()
    {
        fs::remove(Path("runde.txt"));  // a table that is there would be asked about first
        StartRun("runde.txt");
        ASSERT_TRUE(WaitForEnd(10000));
        EXPECT_EQ(Times(kRow, 10), Table("runde.txt"));
        ASSERT_TRUE(ConfirmErase());
        ASSERT_TRUE(sim->WaitErases(++erases, 3000));
        Dismiss(OpenPortDialog());
        SysCommand(main, IDM_ABOUTBOX);
        Dismiss(WaitOwned(main, 5000));
    }

    std::string dir;
    std::unique_ptr<Cable> cable;
    std::unique_ptr<loggersim::Simulator> sim;
    Program program;
    HWND main = nullptr;
    int erases = 0;
};

}  // namespace e2e
