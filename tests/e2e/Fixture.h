// One end-to-end test: a fresh folder as the program's working directory, a
// fresh cable on COM 2 with the logger simulator on its far end.
#pragma once

#include "Harness.h"
#include "LoggerSim.h"
#include "ui/resource.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace e2e {

constexpr int kOk = 1, kCancel = 2, kYes = 6, kNo = 7;
constexpr int kReturn = 0x0D, kEscape = 0x1B;

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
        dir = Session::Get().Work() + "/tests/" + info->test_suite_name() + "." + info->name();
        RemoveTree(dir);
        std::filesystem::create_directories(dir);
        cable = std::make_unique<Cable>(dir);
        ASSERT_TRUE(cable->Ok()) << "socat did not make the cable";
        Session::Get().LinkComPorts({ { 2, cable->ComEnd() } });
    }

    void TearDown() override
    {
        program.process.Kill();
        if (sim)
            sim->Stop();
        cable.reset();
    }

    void StartLogger(loggersim::Options options)
    {
        sim = std::make_unique<loggersim::Simulator>(std::move(options));
        std::string error;
        ASSERT_TRUE(sim->Start(cable->LoggerEnd(), &error)) << error;
    }

    // Starts vorlix.exe in the test's folder and returns its main window.
    std::string StartProgram()
    {
        EXPECT_TRUE(program.Start(dir));
        main = driver().WaitWindow("Vorlix", 30000);
        EXPECT_FALSE(main.empty()) << "the main window did not appear";
        return main;
    }

    // Starts the program when its port cannot be opened: returns the error
    // box's text, dismissed; the main window opens after it.
    std::string StartProgramWithError()
    {
        EXPECT_TRUE(program.Start(dir));
        const std::string box = ErrorBox(30000);
        const std::string text = Dismiss(box);
        main = driver().WaitWindow("Vorlix", 10000);
        EXPECT_FALSE(main.empty()) << "the main window did not appear after the error";
        return text;
    }

    static Driver& driver() { return Session::Get().driver(); }

    // The program's error box, if one appears within the time.
    static std::string ErrorBox(int timeoutMs = 3000) { return driver().WaitWindow(kErrorBoxTitle, timeoutMs); }
    // What the box says; clicks its OK and waits until it is gone.
    static std::string Dismiss(const std::string& box)
    {
        EXPECT_FALSE(box.empty()) << "no box to dismiss";
        const std::string text = driver().StaticTexts(box);
        driver().Click(box, kOk);
        driver().WaitGone(box, 3000);
        return text;
    }

    std::string Setting() const { return ReadFile(dir + "/vxsetup.ini"); }
    void PutSetting(const std::string& content) const { WriteFile(dir + "/vxsetup.ini", content); }
    // Opens the Port dialog with Setup and returns it.
    std::string OpenPortDialog()
    {
        EXPECT_TRUE(driver().Click(main, IDC_SETUP));
        const std::string dialog = driver().WaitOwned(main, 5000);
        EXPECT_EQ("Com Port", driver().Title(dialog));
        return dialog;
    }

    // Read, the file named, and the four buttons locked.
    void StartRun(const std::string& name)
    {
        ASSERT_TRUE(driver().ChooseTableFile(main, WinePath(dir + "/" + name)));
        ASSERT_TRUE(driver().WaitReadOutStarted(main, 3000)) << "the buttons lock during the run";
    }
    bool WaitForEnd(int timeoutMs) { return driver().WaitReadOutEnded(main, timeoutMs); }
    bool Locked()
    {
        for (int id : { IDC_READ, IDC_SETUP, kOk, IDC_ERASE })
            if (driver().Enabled(main, id))
                return false;
        return true;
    }
    std::string Table(const std::string& name) const { return ReadFile(dir + "/" + name); }

    static void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    std::string dir;
    std::unique_ptr<Cable> cable;
    std::unique_ptr<loggersim::Simulator> sim;
    Program program;
    std::string main;
};

// Whether `text` holds `part`, with the text in the failure message.
inline ::testing::AssertionResult Says(const std::string& text, const std::string& part)
{
    if (text.find(part) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << part << "\" is not in:\n" << text;
}

}  // namespace e2e
