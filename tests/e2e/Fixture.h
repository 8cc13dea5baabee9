// One end-to-end test: a fresh folder as the program's working directory, a
// fresh cable on COM 2 with the logger simulator on its far end.
#pragma once

#include "Harness.h"
#include "LoggerSim.h"
#include "ui/resource.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>

namespace e2e {

constexpr int kOk = IDOK, kCancel = IDCANCEL, kYes = IDYES, kNo = IDNO;
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

// A setting of the tools that run these tests longer or bigger, from the
// environment; `fallback` when it is not set.
inline long EnvNumber(const char* name, long fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? std::atol(value) : fallback;
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

// Whether `text` holds `part`, with the text in the failure message.
inline ::testing::AssertionResult Says(const std::string& text, const std::string& part)
{
    if (text.find(part) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << part << "\" is not in:\n" << text;
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

    // A new cable on COM 2 (and the other ports `more` names): the adapter plugged in (again).
    void Plug(std::vector<int> more = {})
    {
        cable.reset();  // the old one pulled first: both keep their socat's process id in the same file
        cable = std::make_unique<Cable>(dir);
        ASSERT_TRUE(cable->Ok()) << "socat did not make the cable";
        std::vector<std::pair<int, std::string>> links = { { 2, cable->ComEnd() } };
        for (int port : more)
            links.emplace_back(port, cable->ComEnd());
        LinkComPorts(links);
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

    // Starts the program when its port cannot be opened: returns the error
    // box's text, dismissed; the main window opens after it.
    std::string StartProgramWithError()
    {
        EXPECT_TRUE(program.Start(dir));
        const std::string text = Dismiss(ErrorBox(30000));
        main = WaitWindow("Vorlix", 10000);
        EXPECT_TRUE(main) << "the main window did not appear after the error";
        return text;
    }

    // The program's error box, if one appears within the time.
    static HWND ErrorBox(int timeoutMs = 3000) { return WaitWindow(kErrorBoxTitle, timeoutMs); }
    // What the box says; clicks its OK and waits until it is gone.
    static std::string Dismiss(HWND box)
    {
        EXPECT_TRUE(box) << "no box to dismiss";
        const std::string text = StaticTexts(box);
        Click(box, kOk);
        WaitGone(box, 3000);
        return text;
    }

    std::string Path(const std::string& name) const { return dir + "\\" + name; }
    std::string Table(const std::string& name) const { return ReadFile(Path(name)); }
    std::string Setting() const { return Table("vxsetup.ini"); }
    void PutSetting(const std::string& content) const { WriteFile(Path("vxsetup.ini"), content); }

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
    bool WaitForEnd(int timeoutMs)
    {
        DWORD_PTR answer = 0;
        return WaitFor([&] { return Enabled(main, IDC_ERASE); }, timeoutMs) &&
               SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer);
    }
    bool Locked()
    {
        for (int id : { IDC_READ, IDC_SETUP, kOk, IDC_ERASE })
            if (Enabled(main, id))
                return false;
        return true;
    }

    std::string dir;
    std::unique_ptr<Cable> cable;
    std::unique_ptr<loggersim::Simulator> sim;
    Program program;
    HWND main = nullptr;
};

}  // namespace e2e
