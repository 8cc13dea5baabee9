// Erasing the logger after a confirmation, and the About box on the system menu.
#include "Fixture.h"

#include "readout/RecordFormatter.h"

#include <functional>
#include <sys/time.h>

namespace e2e {
namespace {

double Now()
{
    timeval tv;
    gettimeofday(&tv, nullptr);
    return tv.tv_sec + tv.tv_usec / 1e6;
}

class Erase : public VorlixTest {
protected:
    std::string OpenConfirmation()
    {
        EXPECT_TRUE(driver().Click(main, IDC_ERASE));
        const std::string box = driver().WaitOwned(main, 5000);
        EXPECT_EQ("Information", driver().Title(box));
        return box;
    }

    // Waits for the simulator to have received `count` bytes; returns when that happened.
    double WaitReceived(size_t count, int timeoutMs)
    {
        const double end = Now() + timeoutMs / 1000.0;
        while (Now() < end) {
            if (sim->Received().size() >= count)
                return Now();
            Sleep(2);
        }
        return 0;
    }

    void ExpectNothingSentAfter(const std::function<void(const std::string&)>& answer)
    {
        StartLogger(loggersim::Options());
        ASSERT_FALSE(StartProgram().empty());
        const std::string box = OpenConfirmation();
        ASSERT_FALSE(box.empty());
        EXPECT_NE(std::string::npos, driver().StaticTexts(box).find("Wirklich l\xC3\xB6schen?"));
        answer(box);
        for (int i = 0; i < 300 && driver().Visible(box); ++i)
            Sleep(10);
        EXPECT_FALSE(driver().Visible(box));
        Sleep(1500);
        EXPECT_EQ("", sim->Received());
        EXPECT_TRUE(program.Running());
    }
};

TEST_F(Erase, NoSendsNothing)
{
    ExpectNothingSentAfter([](const std::string& box) { driver().Click(box, IDCANCEL_); });
}

TEST_F(Erase, EscapeSendsNothing)
{
    ExpectNothingSentAfter([](const std::string& box) { driver().Key(box, VK_ESCAPE_); });
}

TEST_F(Erase, CloseBoxSendsNothing)
{
    ExpectNothingSentAfter([](const std::string& box) { driver().Close(box); });
}

TEST_F(Erase, YesSendsTheEraseCommandAtTheNextWholeSecond)
{
    loggersim::Options options;
    options.records = loggersim::MakeRecords(5);
    StartLogger(options);
    ASSERT_FALSE(StartProgram().empty());
    const std::string box = OpenConfirmation();
    ASSERT_FALSE(box.empty());
    const double clicked = Now();
    ASSERT_TRUE(driver().Click(box, IDOK_));
    const double arrived = WaitReceived(8, 3000);
    ASSERT_GT(arrived, 0) << "no erase command arrived";
    EXPECT_EQ("(251.1.)", sim->Received());
    EXPECT_LE(arrived - clicked, 1.3);
    EXPECT_GE(arrived, static_cast<double>(static_cast<long long>(clicked) + 1)) << "sent before the next second";
    EXPECT_EQ(1, sim->Erases());
    EXPECT_TRUE(sim->Records().empty());
}

TEST_F(Erase, ThePauseSleepsInsteadOfSpinning)
{
    StartLogger(loggersim::Options());
    ASSERT_FALSE(StartProgram().empty());
    const pid_t pid = program.HostPid();
    ASSERT_GT(pid, 0) << "the program's own process is not known";
    const std::string box = OpenConfirmation();
    ASSERT_FALSE(box.empty());
    // Confirm just after a second begins, so that the pause lasts nearly a second.
    while (Now() - static_cast<long long>(Now()) > 0.05)
        Sleep(2);
    const double cpuBefore = CpuSeconds(pid);
    const double clicked = Now();
    ASSERT_TRUE(driver().Click(box, IDOK_));
    const double arrived = WaitReceived(8, 3000);
    const double cpu = CpuSeconds(pid) - cpuBefore;
    ASSERT_GT(arrived, 0);
    ASSERT_GE(cpuBefore, 0);
    const double pause = arrived - clicked;
    EXPECT_GT(pause, 0.7);
    EXPECT_LT(cpu, pause / 4) << "CPU " << cpu << " s over a pause of " << pause << " s";
}

TEST_F(Erase, EscapeDuringThePauseDoesNothing)
{
    StartLogger(loggersim::Options());
    ASSERT_FALSE(StartProgram().empty());
    const std::string box = OpenConfirmation();
    ASSERT_FALSE(box.empty());
    // Confirm just after a second begins, so that the pause lasts nearly a second.
    while (Now() - static_cast<long long>(Now()) > 0.05)
        Sleep(2);
    ASSERT_TRUE(driver().Click(box, IDOK_));
    Sleep(300);
    driver().Key(main, VK_ESCAPE_);
    driver().Key(main, VK_RETURN_);
    EXPECT_GT(WaitReceived(8, 3000), 0);
    EXPECT_EQ("(251.1.)", sim->Received());
    Sleep(500);
    EXPECT_TRUE(program.Running()) << "Escape and Enter do nothing during the pause";
}

TEST_F(Erase, AClickDuringThePauseIsHandledAtOnceBeforeTheCommandGoesOut)
{
    StartLogger(loggersim::Options());
    ASSERT_FALSE(StartProgram().empty());
    const std::string box = OpenConfirmation();
    ASSERT_FALSE(box.empty());
    while (Now() - static_cast<long long>(Now()) > 0.05)
        Sleep(2);
    ASSERT_TRUE(driver().Click(box, IDOK_));
    Sleep(250);
    // Setup responds inside the pause: its dialog opens, nested in the erase.
    ASSERT_TRUE(driver().Click(main, IDC_SETUP));
    const std::string dialog = driver().WaitOwned(main, 3000);
    ASSERT_FALSE(dialog.empty());
    EXPECT_EQ("Com Port", driver().Title(dialog));
    Sleep(1200);
    EXPECT_EQ("", sim->Received()) << "the erase waits for the nested dialog";
    driver().Click(dialog, IDCANCEL_);
    EXPECT_GT(WaitReceived(8, 3000), 0);
    EXPECT_EQ("(251.1.)", sim->Received());
}

TEST_F(Erase, AReadOutAfterwardsYieldsAnEmptyTable)
{
    loggersim::Options options;
    options.records = loggersim::MakeRecords(5);
    StartLogger(options);
    ASSERT_FALSE(StartProgram().empty());
    const std::string box = OpenConfirmation();
    ASSERT_TRUE(driver().Click(box, IDOK_));
    ASSERT_GT(WaitReceived(8, 3000), 0);
    ASSERT_TRUE(driver().ChooseTableFile(main, WinePath(dir + "/nachher.txt")));
    EXPECT_TRUE(driver().WaitReadOutStarted(main, 3000));
    EXPECT_TRUE(driver().WaitReadOutEnded(main, 6000));
    EXPECT_TRUE(Exists(dir + "/nachher.txt"));
    EXPECT_EQ("", ReadFile(dir + "/nachher.txt"));
    EXPECT_EQ("(251.1.)(254.1.)", sim->Received());
}

class About : public VorlixTest {};

TEST_F(About, SystemCommands0x10To0x1FOpenItAnd0x20DoesNot)
{
    ASSERT_FALSE(StartProgram().empty());
    for (unsigned command : { 0x10u, 0x15u, 0x1Fu }) {
        driver().SysCommand(main, command);
        const std::string box = driver().WaitOwned(main, 5000);
        ASSERT_FALSE(box.empty()) << std::hex << command;
        EXPECT_EQ("Info \xC3\xBC" "ber Vorlix", driver().Title(box));
        EXPECT_NE(std::string::npos, driver().StaticTexts(box).find("Vorlix Version 1.01"));
        driver().Click(box, IDOK_);
        for (int i = 0; i < 300 && driver().Visible(box); ++i)
            Sleep(10);
        EXPECT_FALSE(driver().Visible(box));
    }
    driver().SysCommand(main, 0x20);
    EXPECT_TRUE(driver().WaitOwned(main, 1000).empty());
    EXPECT_TRUE(program.Running());
}

TEST_F(About, AReadOutGoesOnAndEndsWhileTheBoxIsOpen)
{
    loggersim::Options options;
    options.records = loggersim::MakeRecords(30);
    StartLogger(options);
    ASSERT_FALSE(StartProgram().empty());
    ASSERT_TRUE(driver().ChooseTableFile(main, WinePath(dir + "/hinter-info.txt")));
    driver().SysCommand(main, 0x10);
    const std::string box = driver().WaitOwned(main, 5000);
    ASSERT_FALSE(box.empty());
    // The run ends by itself behind the box: the buttons come back.
    EXPECT_TRUE(driver().WaitReadOutEnded(main, 10000));
    EXPECT_TRUE(driver().Visible(box));
    uint8_t pos = 0;
    EXPECT_EQ(FormatRecords(sim->Records(), pos), ReadFile(dir + "/hinter-info.txt"));
    driver().Click(box, IDOK_);
}

}  // namespace
}  // namespace e2e
