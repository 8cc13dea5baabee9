// One end-to-end test: a fresh folder as the program's working directory, a
// fresh cable on COM 2 with the logger simulator on its far end.
#pragma once

#include "Harness.h"
#include "LoggerSim.h"
#include "ui/resource.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace e2e {

constexpr int kOk = IDOK, kCancel = IDCANCEL, kYes = IDYES, kNo = IDNO;
constexpr int kReturn = VK_RETURN, kEscape = VK_ESCAPE;

constexpr char kErrorBoxTitle[] = "Vorlix: Fehler / Error";

// A logger record and the table row it must give, both written out by hand:
// 22 characters received, 28 bytes in the table.
constexpr char kRecord[] = " 5 307 9 5 2.5 998.0\r\n";
constexpr char kRow[] = "05.03.07\t09:05\t 2,5\t 998,0\t\n";

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

class VorlixTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = Work() + "\\tests\\" + info->test_suite_name() + "." + info->name();
        // Emptied, and a cable that a crashed run left in it pulled.
        ASSERT_EQ(0, Shell("mkdir -p '" + UnixPath(dir) + "' && cd '" + UnixPath(dir) +
                           "' && { [ ! -f socat.pid ] || kill $(cat socat.pid); find . -mindepth 1 -delete; }"));
        cable = std::make_unique<Cable>(dir);
        ASSERT_TRUE(cable->Ok()) << "socat did not make the cable";
        LinkComPorts({ { 2, cable->ComEnd() } });
    }

    void TearDown() override
    {
        program.Kill();
        if (sim)
            sim->Stop();
        cable.reset();
    }

    void StartLogger(loggersim::Options options)
    {
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
    std::string Setting() const { return ReadFile(Path("vxsetup.ini")); }
    void PutSetting(const std::string& content) const { WriteFile(Path("vxsetup.ini"), content); }
    // Opens the Port dialog with Setup and returns it.
    HWND OpenPortDialog()
    {
        EXPECT_TRUE(Click(main, IDC_SETUP));
        const HWND dialog = WaitOwned(main, 5000);
        EXPECT_EQ("Com Port", Title(dialog));
        return dialog;
    }

    // Read, the file named, and the four buttons locked.
    void StartRun(const std::string& name)
    {
        ASSERT_TRUE(ChooseTableFile(main, Path(name)));
        ASSERT_TRUE(WaitReadOutStarted(main, 3000)) << "the buttons lock during the run";
    }
    bool WaitForEnd(int timeoutMs) { return WaitReadOutEnded(main, timeoutMs); }
    bool Locked()
    {
        for (int id : { IDC_READ, IDC_SETUP, kOk, IDC_ERASE })
            if (Enabled(main, id))
                return false;
        return true;
    }
    std::string Table(const std::string& name) const { return ReadFile(Path(name)); }

    std::string dir;
    std::unique_ptr<Cable> cable;
    std::unique_ptr<loggersim::Simulator> sim;
    Program program;
    HWND main = nullptr;
};

// Whether `text` holds `part`, with the text in the failure message.
inline ::testing::AssertionResult Says(const std::string& text, const std::string& part)
{
    if (text.find(part) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << part << "\" is not in:\n" << text;
}

}  // namespace e2e
