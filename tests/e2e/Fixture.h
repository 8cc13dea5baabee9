// One end-to-end test: a fresh folder as the program's working directory, a
// fresh cable on COM 2 with the logger simulator on its far end.
#pragma once

#include "Harness.h"
#include "LoggerSim.h"

#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace e2e {

constexpr int IDOK_ = 1, IDCANCEL_ = 2;
constexpr int IDC_SETUP = 1000, IDC_READ = 1001, IDC_ERASE = 1002, IDC_BYTES = 1004, IDC_COMM = 1029;
constexpr int IDC_COM1 = 1041;
constexpr int VK_RETURN_ = 0x0D, VK_ESCAPE_ = 0x1B, VK_TAB_ = 0x09;

constexpr char kErrorBoxTitle[] = "Vorlix: Fehler / Error";

class VorlixTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = Session::Get().Work() + "/tests/" + info->test_suite_name() + "." + info->name();
        RemoveTree(dir);
        MakeDirs(dir);
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

    static Driver& driver() { return Session::Get().driver(); }

    // The program's error box, if one appears within the time.
    static std::string ErrorBox(int timeoutMs = 3000) { return driver().WaitWindow(kErrorBoxTitle, timeoutMs); }
    // Clicks the box's OK and waits until it is gone.
    static void Dismiss(const std::string& box)
    {
        driver().Click(box, IDOK_);
        for (int i = 0; i < 300 && driver().Visible(box); ++i)
            Sleep(10);
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

    static void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    std::string dir;
    std::unique_ptr<Cable> cable;
    std::unique_ptr<loggersim::Simulator> sim;
    Program program;
    std::string main;
};

}  // namespace e2e
