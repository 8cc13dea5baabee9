// Erasing the logger after a confirmation, and the About box on the system menu.
#include "Fixture.h"

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

    // Waits for the simulator to have received `count` bytes; returns when that happened, 0 if never.
    double WaitReceived(size_t count, int timeoutMs)
    {
        for (const double end = Now() + timeoutMs / 1000.0; Now() < end; Sleep(2))
            if (sim->Received().size() >= count)
                return Now();
        return 0;
    }

    // Confirms just after a second begins, so that the pause lasts nearly a second.
    double ConfirmEarlyInASecond(const std::string& box)
    {
        while (Now() - static_cast<long long>(Now()) > 0.05)
            Sleep(2);
        const double clicked = Now();
        EXPECT_TRUE(driver().Click(box, kOk));
        return clicked;
    }
};

TEST_F(Erase, NoEscapeAndTheCloseBoxSendNothing)
{
    StartLogger(Logger(kRecord));
    ASSERT_FALSE(StartProgram().empty());
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        const std::string box = OpenConfirmation();
        EXPECT_EQ("Alle gespeicherten Daten gehen verloren!\nWirklich l\xC3\xB6schen?\n\n"
                  "All data will erase! Realy delete?\n",
                  driver().StaticTexts(box));
        if (way == 0)
            driver().Click(box, kCancel);
        else if (way == 1)
            driver().Key(box, kEscape);
        else
            driver().Close(box);
        EXPECT_TRUE(driver().WaitGone(box, 3000));
    }
    Sleep(1500);
    EXPECT_EQ("", sim->Received());
    EXPECT_TRUE(program.Running());
}

TEST_F(Erase, YesSendsTheEraseCommandAtTheNextWholeSecondAndTheLoggerIsEmptyAfterwards)
{
    StartLogger(Logger(Times(kRecord, 5)));
    ASSERT_FALSE(StartProgram().empty());
    const std::string box = OpenConfirmation();
    const double clicked = Now();
    ASSERT_TRUE(driver().Click(box, kOk));
    const double arrived = WaitReceived(8, 3000);
    ASSERT_GT(arrived, 0) << "no erase command arrived";
    EXPECT_EQ("(251.1.)", sim->Received());
    EXPECT_LE(arrived - clicked, 1.3);
    EXPECT_GE(arrived, static_cast<double>(static_cast<long long>(clicked) + 1)) << "sent before the next second";

    StartRun("nachher.txt");
    EXPECT_TRUE(WaitForEnd(6000));
    EXPECT_TRUE(Exists(dir + "/nachher.txt"));
    EXPECT_EQ("", Table("nachher.txt"));
    EXPECT_EQ("(251.1.)(254.1.)", sim->Received());
}

TEST_F(Erase, ThePauseSleepsInsteadOfSpinning)
{
    StartLogger(Logger(""));
    ASSERT_FALSE(StartProgram().empty());
    const pid_t pid = program.HostPid();
    ASSERT_GT(pid, 0) << "the program's own process is not known";
    const std::string box = OpenConfirmation();
    const double cpuBefore = CpuSeconds(pid);
    const double clicked = ConfirmEarlyInASecond(box);
    const double arrived = WaitReceived(8, 3000);
    const double cpu = CpuSeconds(pid) - cpuBefore;
    ASSERT_GT(arrived, 0);
    ASSERT_GE(cpuBefore, 0);
    const double pause = arrived - clicked;
    EXPECT_GT(pause, 0.7);
    EXPECT_LT(cpu, pause / 4) << "CPU " << cpu << " s over a pause of " << pause << " s";
}

TEST_F(Erase, DuringThePauseKeysDoNothingAndAClickIsHandledBeforeTheCommandGoesOut)
{
    StartLogger(Logger(""));
    ASSERT_FALSE(StartProgram().empty());
    ConfirmEarlyInASecond(OpenConfirmation());
    Sleep(250);
    driver().Key(main, kEscape);
    driver().Key(main, kReturn);
    // Setup responds inside the pause: its dialog opens, nested in the erase.
    ASSERT_TRUE(driver().Click(main, IDC_SETUP));
    const std::string dialog = driver().WaitOwned(main, 3000);
    EXPECT_EQ("Com Port", driver().Title(dialog));
    Sleep(1200);
    EXPECT_EQ("", sim->Received()) << "the erase waits for the nested dialog";
    driver().Click(dialog, kCancel);
    EXPECT_GT(WaitReceived(8, 3000), 0);
    EXPECT_EQ("(251.1.)", sim->Received());
    Sleep(500);
    EXPECT_TRUE(program.Running()) << "Escape and Enter do nothing during the pause";
}

using About = VorlixTest;

TEST_F(About, SystemCommands0x10To0x1FOpenItAnd0x20DoesNot)
{
    ASSERT_FALSE(StartProgram().empty());
    for (unsigned command : { 0x10u, 0x15u, 0x1Fu }) {
        driver().SysCommand(main, command);
        const std::string box = driver().WaitOwned(main, 5000);
        ASSERT_FALSE(box.empty()) << std::hex << command;
        EXPECT_EQ("Info \xC3\xBC" "ber Vorlix", driver().Title(box));
        EXPECT_TRUE(Says(driver().StaticTexts(box), "Vorlix Version 1.01\nDatenlogger-Auslese\n"));
        driver().Click(box, kOk);
        EXPECT_TRUE(driver().WaitGone(box, 3000));
    }
    driver().SysCommand(main, 0x20);
    EXPECT_TRUE(driver().WaitOwned(main, 1000).empty());
    EXPECT_TRUE(program.Running());
}

TEST_F(About, AReadOutGoesOnAndEndsWhileTheBoxIsOpen)
{
    StartLogger(Logger(Times(kRecord, 30)));
    ASSERT_FALSE(StartProgram().empty());
    StartRun("hinter-info.txt");
    driver().SysCommand(main, 0x10);
    const std::string box = driver().WaitOwned(main, 5000);
    ASSERT_FALSE(box.empty());
    // The run ends by itself behind the box: the buttons come back.
    EXPECT_TRUE(WaitForEnd(10000));
    EXPECT_TRUE(driver().Visible(box));
    EXPECT_EQ(Times(kRow, 30), Table("hinter-info.txt"));
    driver().Click(box, kOk);
}

}  // namespace
}  // namespace e2e
