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

    static void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    std::string dir;
    std::unique_ptr<Cable> cable;
    std::unique_ptr<loggersim::Simulator> sim;
    Program program;
    std::string main;
};

}  // namespace e2e
