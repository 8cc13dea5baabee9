// A read-out as a user does it: Read, name the file, wait for the buttons to come back.
#include "Fixture.h"

namespace e2e {
namespace {

using ReadOut = VorlixTest;

TEST_F(ReadOut, WholeRunGivesTheTableAndEndsTwoToFourSecondsAfterTheLastCharacter)
{
    StartLogger(Logger(Times(kRecord, 60)));
    ASSERT_TRUE(StartProgram());
    StartRun("messung.txt");
    // The display counts while the lines come in.
    long shownDuring = 0;
    while (sim->ReadOuts() == 0 || sim->Sending()) {
        shownDuring = std::max(shownDuring, std::atol(Text(main, IDC_BYTES).c_str()));
        Sleep(50);
    }
    EXPECT_GT(shownDuring, 0);
    EXPECT_LT(shownDuring, 1320);
    ASSERT_TRUE(WaitForEnd(8000));
    const double afterLast = Seconds(Clock::now() - sim->LastSent());
    EXPECT_GE(afterLast, 1.9);
    EXPECT_LE(afterLast, 4.5);
    EXPECT_EQ("(254.1.)", sim->Received());
    EXPECT_EQ(Times(kRow, 60), Table("messung.txt"));
    EXPECT_EQ("1320", Text(main, IDC_BYTES)) << "the total is shown";
}

TEST_F(ReadOut, TheSimulatedLoggerGivesTheRowsTheReadmeShowsAndEachRunStartsAfresh)
{
    // The records end in the middle of a line: the next run must count from
    // zero and lay its table out from a line start all the same.
    StartLogger(Logger(loggersim::MakeRecords(3) + " 31126 7"));
    ASSERT_TRUE(StartProgram());
    for (const char* name : { "eins.txt", "zwei.txt" }) {
        StartRun(name);
        ASSERT_TRUE(WaitForEnd(10000));
        EXPECT_EQ("03.11.26\t07:00\t21,0\t1013,9\t45,1\t 996,2\t\n"
                  "03.11.26\t07:15\t20,8\t1014,2\t44,8\t 997,5\t\n"
                  "03.11.26\t07:30\t20,3\t1013,5\t44,9\t 999,2\t\n"
                  "03.11.26\t07:",
                  Table(name));
        EXPECT_EQ("104", Text(main, IDC_BYTES)) << name;
    }
    EXPECT_EQ("(254.1.)(254.1.)", sim->Received());
}

TEST_F(ReadOut, AnExistingTableIsReplacedOnlyAfterYesAndCancelChangesNothing)
{
    StartLogger(Logger(Times(kRecord, 2)));
    ASSERT_TRUE(StartProgram());
    const HWND chooser = Open(IDC_READ);
    ASSERT_TRUE(Click(chooser, kCancel) && WaitGone(chooser, 3000));
    WriteFile(Path("alt.txt"), "the old table");
    for (const int answer : { kNo, kYes }) {
        // A bare name gets ".txt", and so finds the table.
        ASSERT_TRUE(ChooseTableFile(Path("alt")));
        const HWND question = WaitOwned(main, 5000);
        EXPECT_EQ("Vorlix", Text(question));
        EXPECT_TRUE(Says(StaticTexts(question), "alt.txt\" existiert bereits. Ersetzen?\nThe file \""));
        EXPECT_TRUE(Says(StaticTexts(question), "alt.txt\" already exists. Replace it?"));
        ASSERT_TRUE(Click(question, answer) && WaitGone(question, 3000));
    }
    ASSERT_TRUE(WaitFor([&] { return Locked(); }, 3000));
    ASSERT_TRUE(WaitForEnd(10000));
    EXPECT_EQ("(254.1.)", sim->Received()) << "Cancel and No send nothing";
    EXPECT_EQ(Times(kRow, 2), Table("alt.txt"));
    EXPECT_FALSE(fs::exists(Path("alt")));

    // An empty file holds no table: nothing to ask.
    WriteFile(Path("leer.txt"), "");
    StartRun("leer.txt");
    ASSERT_TRUE(WaitForEnd(10000));
    EXPECT_EQ(Times(kRow, 2), Table("leer.txt"));
}

TEST_F(ReadOut, LongPauseEndsTheRunEarlyKeepingWhatCameBefore)
{
    // 300 characters: 13 records and the date, time and first value of the 14th.
    loggersim::Options options = Logger(Times(kRecord, 40));
    options.pauseAfter = 300;
    options.pauseMillis = 6000;
    StartLogger(options);
    ASSERT_TRUE(StartProgram());
    StartRun("pause.txt");
    ASSERT_TRUE(WaitForEnd(9000));
    EXPECT_TRUE(sim->Sending()) << "the run should end while the logger pauses";
    const std::string before = Times(kRow, 13) + "05.03.07\t09:05\t 2,5\t";
    EXPECT_EQ(before, Table("pause.txt"));
    // What comes after the pause finds the file closed.
    WaitFor([&] { return !sim->Sending(); }, 10000);
    Sleep(500);
    EXPECT_EQ(before, Table("pause.txt"));
}

TEST_F(ReadOut, SilentLoggerEndsAtTheFirstTickTwoSecondsOn)
{
    StartLogger(Logger(""));
    ASSERT_TRUE(StartProgram());
    StartRun("leer.txt");
    const auto start = Clock::now();
    ASSERT_TRUE(WaitForEnd(6000));
    const double took = Seconds(Clock::now() - start);
    EXPECT_GE(took, 1.6);
    EXPECT_LE(took, 2.6);
    EXPECT_EQ("", Table("leer.txt"));
    EXPECT_EQ("0", Text(main, IDC_BYTES));
}

TEST_F(ReadOut, ATableThatCannotBeHadOrAClosedPortSendNothingAndTouchNoFile)
{
    PutSetting("3\n");  // COM 4: not there
    StartLogger(Logger(kRecord));
    StartProgramWithError();
    WriteFile(Path("behalten.txt"), "keep me");
    ASSERT_TRUE(ChooseTableFile(Path("behalten.txt")));
    EXPECT_TRUE(Says(Dismiss(ErrorBox(5000)), "COM 4 ist nicht ge\xC3\xB6" "ffnet.\nCOM 4 is not open."));
    EXPECT_EQ("keep me", Table("behalten.txt"));

    const HWND dialog = OpenPortDialog();  // back to COM 2
    ASSERT_TRUE(Click(dialog, IDC_COM2) && Click(dialog, kOk));
    WaitGone(dialog, 3000);
    // Another program holds the table open without sharing.
    WriteFile(Path("besetzt.txt"), "in use");
    const HANDLE held = CreateFileA(Path("besetzt.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ChooseTableFile(Path("besetzt.txt"));
    Click(WaitOwned(main, 5000), kYes);  // it holds a table: first the question, then the refusal
    const HWND box = ErrorBox(5000);
    CloseHandle(held);
    const std::string text = Dismiss(box);
    EXPECT_TRUE(Says(text, "besetzt.txt\" kann nicht angelegt werden.\nThe file \"Z:"));
    EXPECT_TRUE(Says(text, "Es wurde nichts ausgelesen; bitte einen anderen Namen w\xC3\xA4hlen.\n"
                           "Nothing was read out; please choose another name."));
    EXPECT_EQ("in use", Table("besetzt.txt"));
    EXPECT_EQ("", sim->Received());
    EXPECT_FALSE(Locked());
}

TEST_F(ReadOut, WriteErrorsDuringTheRunAreReportedAtItsEnd)
{
    // /dev/full takes the file's creation and refuses every write: a full disk.
    StartLogger(Logger(Times(kRecord, 4)));
    ASSERT_TRUE(StartProgram());
    ASSERT_EQ(0, Shell("ln -s /dev/full '" + UnixPath(Path("voll.txt")) + "'"));
    StartRun("voll.txt");
    ASSERT_TRUE(WaitForEnd(10000));
    // Every character but the 4 carriage returns needed a write.
    const std::string text = Dismiss(ErrorBox(3000));
    EXPECT_TRUE(Says(text, "voll.txt\" ist unvollst\xC3\xA4ndig: 84 Zeichen konnten nicht geschrieben werden, "
                           "0 Mal gingen Zeichen auf der Leitung verloren.\nThe table \""));
    EXPECT_TRUE(Says(text, "voll.txt\" is incomplete: 84 characters could not be written, "
                           "characters were lost on the line 0 times."));
}

TEST_F(ReadOut, EnterDoesNothingDuringARunAndEscapeOrTheCloseBoxKeepEveryCharacterReceived)
{
    // One endless line of 1000 characters: nothing but the 250 ms rule writes
    // it out during the run, so up to a quarter of a second of it waits in
    // the buffer when the program ends. The run itself would end only 2 s
    // after the last character.
    const loggersim::Options options = Logger(std::string(1000, '7'), 1042, true);
    for (const bool escape : { true, false }) {
        SCOPED_TRACE(escape ? "Escape" : "close box");
        StartLogger(options);
        ASSERT_TRUE(StartProgram());
        StartRun("tabelle.txt");
        Key(main, VK_RETURN);
        WaitFor([&] { return sim->SentCount() == 1000 && !sim->Sending(); }, 3000);
        ASSERT_EQ(1000u, sim->SentCount());
        Sleep(500);  // every character has arrived
        ASSERT_TRUE(program.Running() && Locked()) << "the run goes on: Enter does nothing while Quit is locked";
        escape ? Key(main, VK_ESCAPE) : Close(main);
        ASSERT_TRUE(program.WaitExit(10000));
        // The date and time groups of the first ten, then a tab after every field.
        const std::string written = Table("tabelle.txt");
        EXPECT_EQ("77.77.77\t77:77\t7777\t777777\t7777\t", written.substr(0, 32));
        EXPECT_EQ(1000, std::count(written.begin(), written.end(), '7'))
            << "characters received before the end are missing from the table";
        fs::remove(Path("tabelle.txt"));
    }
}

}  // namespace
}  // namespace e2e
