// Erasing the logger after a confirmation, and the About box on the system menu.
#include "Fixture.h"

namespace e2e {
namespace {

// Wall-clock seconds: the erase waits for the next whole second of the clock.
double Now()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

class Erase : public VorlixTest {
protected:
    // Waits for the simulator to have received the erase command; when that happened, 0 if never.
    double WaitErase()
    {
        for (const double end = Now() + 3; Now() < end; Sleep(2))
            if (sim->Received().size() >= 8)
                return Now();
        return 0;
    }
};

TEST_F(Erase, NoEscapeAndTheCloseBoxSendNothing)
{
    StartLogger(Logger(kRecord));
    ASSERT_TRUE(StartProgram());
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        const HWND box = Open(IDC_ERASE);
        EXPECT_EQ("Information", Text(box));
        EXPECT_EQ("Alle gespeicherten Daten gehen verloren!\nWirklich l\xC3\xB6schen?\n\n"
                  "All data will erase! Realy delete?\n",
                  StaticTexts(box));
        if (way == 0)
            Click(box, kCancel);
        else if (way == 1)
            Key(box, VK_ESCAPE);
        else
            Close(box);
        EXPECT_TRUE(WaitGone(box, 3000));
    }
    Sleep(1500);
    EXPECT_EQ("", sim->Received());
    EXPECT_TRUE(program.Running());
}

TEST_F(Erase, YesSendsTheEraseCommandAtTheNextWholeSecondAndTheLoggerIsEmptyAfterwards)
{
    StartLogger(Logger(Times(kRecord, 5)));
    ASSERT_TRUE(StartProgram());
    const HWND box = Open(IDC_ERASE);
    const double clicked = Now();
    ASSERT_TRUE(Click(box, kOk));
    const double arrived = WaitErase();
    ASSERT_GT(arrived, 0) << "no erase command arrived";
    EXPECT_EQ("(251.1.)", sim->Received());
    EXPECT_LE(arrived - clicked, 1.3);
    EXPECT_GE(arrived, static_cast<double>(static_cast<long long>(clicked) + 1)) << "sent before the next second";

    StartRun("nachher.txt");
    EXPECT_TRUE(WaitForEnd(6000));
    EXPECT_TRUE(fs::exists(Path("nachher.txt")));
    EXPECT_EQ("", Table("nachher.txt"));
    EXPECT_EQ("(251.1.)(254.1.)", sim->Received());
}

TEST_F(Erase, DuringThePauseKeysDoNothingAndAClickIsHandledBeforeTheCommandGoesOut)
{
    StartLogger(Logger(""));
    ASSERT_TRUE(StartProgram());
    const HWND box = Open(IDC_ERASE);
    // Confirmed just after a second begins, so that the pause lasts nearly a second.
    WaitFor([] { return Now() - static_cast<long long>(Now()) < 0.05; }, 2000);
    ASSERT_TRUE(Click(box, kOk));
    Sleep(250);
    Key(main, VK_ESCAPE);
    Key(main, VK_RETURN);
    // Setup responds inside the pause: its dialog opens, nested in the erase.
    const HWND dialog = OpenPortDialog();
    Sleep(1200);
    EXPECT_EQ("", sim->Received()) << "the erase waits for the nested dialog";
    Click(dialog, kCancel);
    EXPECT_GT(WaitErase(), 0);
    EXPECT_EQ("(251.1.)", sim->Received());
    Sleep(500);
    EXPECT_TRUE(program.Running()) << "Escape and Enter do nothing during the pause";
}

using About = VorlixTest;

TEST_F(About, SystemCommands0x10To0x1FOpenItAnd0x20DoesNot)
{
    ASSERT_TRUE(StartProgram());
    for (unsigned command : { 0x10u, 0x15u, 0x1Fu }) {
        SysCommand(main, command);
        const HWND box = WaitOwned(main, 5000);
        ASSERT_TRUE(box) << std::hex << command;
        EXPECT_EQ("Info \xC3\xBC" "ber Vorlix", Text(box));
        EXPECT_TRUE(Says(StaticTexts(box), "Vorlix Version 1.01\nDatenlogger-Auslese\n"));
        Click(box, kOk);
        EXPECT_TRUE(WaitGone(box, 3000));
    }
    SysCommand(main, 0x20);
    EXPECT_FALSE(WaitOwned(main, 1000));
    EXPECT_TRUE(program.Running());
}

TEST_F(About, AReadOutGoesOnAndEndsWhileTheBoxIsOpen)
{
    StartLogger(Logger(Times(kRecord, 30)));
    ASSERT_TRUE(StartProgram());
    StartRun("hinter-info.txt");
    SysCommand(main, 0x10);
    const HWND box = WaitOwned(main, 5000);
    ASSERT_TRUE(box);
    // The run ends by itself behind the box: the buttons come back.
    EXPECT_TRUE(WaitForEnd(10000));
    EXPECT_TRUE(IsWindowVisible(box));
    EXPECT_EQ(Times(kRow, 30), Table("hinter-info.txt"));
    Click(box, kOk);
}

}  // namespace
}  // namespace e2e
