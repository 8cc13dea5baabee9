// A read-out as a user does it: Read, name the file, wait for the buttons to come back.
#include "Fixture.h"

#include "readout/RecordFormatter.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;

std::string Table(const std::string& received)
{
    uint8_t pos = 0;
    return FormatRecords(received, pos);
}

class ReadOut : public VorlixTest {
protected:
    // A whole start of a run: the file named, the buttons locked.
    void StartRun(const std::string& name)
    {
        ASSERT_TRUE(driver().ChooseTableFile(main, name));
        ASSERT_TRUE(WaitLocked()) << "the four buttons lock during the run";
    }

    bool Locked()
    {
        for (int id : { IDC_READ, IDC_SETUP, IDOK_, IDC_ERASE })
            if (driver().Enabled(main, id))
                return false;
        return true;
    }

    // Waits until the run has ended (the buttons are back); false after the time.
    bool WaitForEnd(int timeoutMs) { return driver().WaitReadOutEnded(main, timeoutMs); }

    bool WaitLocked()
    {
        for (int i = 0; i < 100; ++i) {
            if (Locked())
                return true;
            Sleep(20);
        }
        return false;
    }

    static loggersim::Options Records(int lines)
    {
        loggersim::Options options;
        options.records = loggersim::MakeRecords(lines);
        return options;
    }

    static constexpr int kChooserName = 0x47c;  // the chooser's name field
};

TEST_F(ReadOut, WholeRunGivesTheTableAndEndsTwoToFourSecondsAfterTheLastCharacter)
{
    StartLogger(Records(60));
    ASSERT_FALSE(StartProgram().empty());
    StartRun(WinePath(dir + "/messung.txt"));

    // The display counts while the lines come in.
    std::string shownDuring;
    while (sim->ReadOuts() == 0 || sim->Sending()) {
        const std::string shown = driver().Text(main, IDC_BYTES);
        if (!shown.empty() && shown != "0")
            shownDuring = shown;
        Sleep(50);
    }
    EXPECT_FALSE(shownDuring.empty());
    EXPECT_LT(std::atol(shownDuring.c_str()), static_cast<long>(sim->Records().size()));
    ASSERT_TRUE(WaitForEnd(8000));
    const double afterLast = std::chrono::duration<double>(Clock::now() - sim->LastSent()).count();
    EXPECT_GE(afterLast, 1.9);
    EXPECT_LE(afterLast, 4.5);

    EXPECT_EQ("(254.1.)", sim->Received()) << "sent " << sim->SentCount();
    EXPECT_EQ(Table(sim->Records()), ReadFile(dir + "/messung.txt"));
    EXPECT_EQ(std::to_string(sim->Records().size()), driver().Text(main, IDC_BYTES)) << "the total is shown";
}

TEST_F(ReadOut, CancellingTheChooserChangesNothing)
{
    StartLogger(Records(5));
    ASSERT_FALSE(StartProgram().empty());
    ASSERT_TRUE(driver().Click(main, IDC_READ));
    const std::string chooser = driver().WaitOwned(main, 10000);
    ASSERT_FALSE(chooser.empty());
    ASSERT_TRUE(driver().Click(chooser, IDCANCEL_));
    Sleep(500);
    EXPECT_FALSE(Locked());
    EXPECT_TRUE(driver().Enabled(main, IDC_READ));
    EXPECT_EQ("", sim->Received());
}

// Two logger lines and the rows they must give.
constexpr char kTwoRecords[] = " 5 307 9 5 2.5 998.0\r\n 6 307 9 5 2.6 999.1\r\n";
constexpr char kTwoRows[] = "05.03.07\t09:05\t 2,5\t 998,0\t\n06.03.07\t09:05\t 2,6\t 999,1\t\n";

TEST_F(ReadOut, ANameWithoutExtensionGetsTxt)
{
    loggersim::Options options;
    options.records = kTwoRecords;
    StartLogger(options);
    ASSERT_FALSE(StartProgram().empty());
    StartRun(WinePath(dir + "/messung"));
    ASSERT_TRUE(WaitForEnd(10000));
    EXPECT_EQ(kTwoRows, ReadFile(dir + "/messung.txt"));
    EXPECT_FALSE(Exists(dir + "/messung"));
}

TEST_F(ReadOut, TheSimulatedLoggerGivesTheRowsTheReadmeShows)
{
    StartLogger(Records(3));
    ASSERT_FALSE(StartProgram().empty());
    StartRun(WinePath(dir + "/beispiel.txt"));
    ASSERT_TRUE(WaitForEnd(10000));
    EXPECT_EQ("03.11.26\t07:00\t21,0\t1013,9\t45,1\t 996,2\t\n"
              "03.11.26\t07:15\t20,8\t1014,2\t44,8\t 997,5\t\n"
              "03.11.26\t07:30\t20,3\t1013,5\t44,9\t 999,2\t\n",
              ReadFile(dir + "/beispiel.txt"));
}

TEST_F(ReadOut, AnExistingTableIsReplacedOnlyAfterYes)
{
    loggersim::Options options;
    options.records = kTwoRecords;
    StartLogger(options);
    ASSERT_FALSE(StartProgram().empty());
    WriteFile(dir + "/alt.txt", "the old table");
    constexpr int IDYES_ = 6, IDNO_ = 7;

    ASSERT_TRUE(driver().ChooseTableFile(main, WinePath(dir + "/alt")));
    std::string question = driver().WaitOwned(main, 5000);
    ASSERT_FALSE(question.empty()) << "no question before the table is replaced";
    EXPECT_EQ("Vorlix", driver().Title(question));
    const std::string text = driver().StaticTexts(question);
    EXPECT_NE(std::string::npos, text.find("alt.txt\" existiert bereits. Ersetzen?")) << text;
    EXPECT_NE(std::string::npos, text.find("already exists. Replace it?")) << text;
    EXPECT_LT(text.find("Ersetzen?"), text.find("Replace it?")) << text;
    ASSERT_TRUE(driver().Click(question, IDNO_));
    Sleep(500);
    EXPECT_EQ("the old table", ReadFile(dir + "/alt.txt")) << "No leaves it";
    EXPECT_EQ("", sim->Received()) << "No sends nothing";
    EXPECT_FALSE(Locked());

    ASSERT_TRUE(driver().ChooseTableFile(main, WinePath(dir + "/alt.txt")));
    question = driver().WaitOwned(main, 5000);
    ASSERT_FALSE(question.empty());
    ASSERT_TRUE(driver().Click(question, IDYES_));
    ASSERT_TRUE(WaitLocked());
    ASSERT_TRUE(WaitForEnd(10000));
    EXPECT_EQ(kTwoRows, ReadFile(dir + "/alt.txt"));

    // An empty file holds no table: nothing to ask.
    WriteFile(dir + "/leer.txt", "");
    StartRun(WinePath(dir + "/leer.txt"));
    ASSERT_TRUE(WaitForEnd(10000));
    EXPECT_EQ(kTwoRows, ReadFile(dir + "/leer.txt"));
}

TEST_F(ReadOut, LongPauseEndsTheRunEarlyKeepingWhatCameBefore)
{
    loggersim::Options options = Records(40);
    options.pauseAfter = 300;
    options.pauseMillis = 6000;
    StartLogger(options);
    ASSERT_FALSE(StartProgram().empty());
    StartRun(WinePath(dir + "/pause.txt"));
    ASSERT_TRUE(WaitForEnd(9000));
    EXPECT_TRUE(sim->Sending()) << "the run should end while the logger pauses";
    const std::string before = sim->Records().substr(0, 300);
    EXPECT_EQ(Table(before), ReadFile(dir + "/pause.txt"));
    // What comes after the pause finds the file closed.
    while (sim->Sending())
        Sleep(100);
    Sleep(500);
    EXPECT_EQ(Table(before), ReadFile(dir + "/pause.txt"));
}

TEST_F(ReadOut, SilentLoggerEndsWithinFourSecondsAndTheNextRunCountsFromZero)
{
    loggersim::Options options;
    StartLogger(options);
    ASSERT_FALSE(StartProgram().empty());
    StartRun(WinePath(dir + "/leer.txt"));
    // Nothing came by the first tick of the 2-second timer: the run ends there.
    const auto start = Clock::now();
    ASSERT_TRUE(WaitForEnd(6000));
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GE(took, 1.6);
    EXPECT_LE(took, 2.6);
    EXPECT_EQ("", ReadFile(dir + "/leer.txt"));
    EXPECT_EQ("0", driver().Text(main, IDC_BYTES));
}

TEST_F(ReadOut, SecondRunCountsFromZero)
{
    StartLogger(Records(10));
    ASSERT_FALSE(StartProgram().empty());
    for (const char* name : { "/eins.txt", "/zwei.txt" }) {
        StartRun(WinePath(dir + name));
        ASSERT_TRUE(WaitForEnd(10000));
        EXPECT_EQ(Table(sim->Records()), ReadFile(dir + name)) << name;
        EXPECT_EQ(std::to_string(sim->Records().size()), driver().Text(main, IDC_BYTES)) << name;
    }
    EXPECT_EQ("(254.1.)(254.1.)", sim->Received());
}

TEST_F(ReadOut, FileThatCannotBeCreatedIsReportedAndNothingIsSent)
{
    StartLogger(Records(5));
    ASSERT_FALSE(StartProgram().empty());
    const std::string name = WinePath(dir + "/no-such-folder/table.txt");
    EXPECT_TRUE(driver().Click(main, IDC_READ));
    const std::string chooser = driver().WaitOwned(main, 10000);
    ASSERT_FALSE(chooser.empty());
    driver().SetText(chooser, kChooserName, name);
    driver().Click(chooser, IDOK_);
    // The chooser itself may refuse a folder that does not exist; either way nothing is sent.
    std::string box = ErrorBox(3000);
    if (box.empty()) {
        const std::string refusal = driver().WaitOwned(chooser, 500);
        if (!refusal.empty()) {
            driver().Click(refusal, IDOK_);
            driver().Click(chooser, IDCANCEL_);
        }
    } else {
        const std::string text = driver().StaticTexts(box);
        EXPECT_NE(std::string::npos, text.find("table.txt")) << text;
        EXPECT_LT(text.find("kann nicht angelegt werden"), text.find("cannot be created")) << text;
        Dismiss(box);
    }
    Sleep(300);
    EXPECT_EQ("", sim->Received());
    EXPECT_FALSE(Locked());
    EXPECT_TRUE(driver().Enabled(main, IDC_READ));
}

TEST_F(ReadOut, FileHeldOpenByAnotherProgramIsReportedAndNothingIsSent)
{
    StartLogger(Records(5));
    ASSERT_FALSE(StartProgram().empty());
    WriteFile(dir + "/besetzt.txt", "in use");
    ASSERT_TRUE(driver().Hold(WinePath(dir + "/besetzt.txt")));
    driver().ChooseTableFile(main, WinePath(dir + "/besetzt.txt"));
    // It holds a table: first the question, then the refusal.
    const std::string question = driver().WaitOwned(main, 5000);
    EXPECT_EQ("Vorlix", driver().Title(question));
    driver().Click(question, 6 /* IDYES */);
    const std::string box = ErrorBox(5000);
    driver().Release();
    ASSERT_FALSE(box.empty());
    const std::string text = driver().StaticTexts(box);
    EXPECT_NE(std::string::npos, text.find("besetzt.txt")) << text;
    EXPECT_NE(std::string::npos, text.find("anderen Namen")) << text;
    Dismiss(box);
    EXPECT_EQ("", sim->Received());
    EXPECT_FALSE(Locked());
    EXPECT_EQ("in use", ReadFile(dir + "/besetzt.txt"));
}

TEST_F(ReadOut, ClosedPortIsReportedBeforeTheFileIsTouched)
{
    PutSetting("3\n");  // COM 4: not there
    StartLogger(Records(5));
    program.Start(dir);
    const std::string startupBox = ErrorBox(30000);
    ASSERT_FALSE(startupBox.empty());
    Dismiss(startupBox);
    main = driver().WaitWindow("Vorlix", 10000);
    ASSERT_FALSE(main.empty());
    WriteFile(dir + "/behalten.txt", "keep me");
    ASSERT_TRUE(driver().ChooseTableFile(main, WinePath(dir + "/behalten.txt")));
    const std::string box = ErrorBox(5000);
    ASSERT_FALSE(box.empty());
    EXPECT_NE(std::string::npos, driver().StaticTexts(box).find("COM 4 ist nicht ge")) << driver().StaticTexts(box);
    Dismiss(box);
    EXPECT_EQ("keep me", ReadFile(dir + "/behalten.txt"));
    EXPECT_FALSE(Locked());
}

TEST_F(ReadOut, WriteErrorsDuringTheRunAreReportedAtItsEnd)
{
    // /dev/full takes the file's creation and refuses every write: a full disk.
    StartLogger(Records(4));
    ASSERT_FALSE(StartProgram().empty());
    ASSERT_EQ(0, symlink("/dev/full", (dir + "/voll.txt").c_str()));
    StartRun(WinePath(dir + "/voll.txt"));
    ASSERT_TRUE(WaitForEnd(10000));
    const std::string box = ErrorBox(3000);
    ASSERT_FALSE(box.empty()) << "the incomplete table must be reported";
    const std::string text = driver().StaticTexts(box);
    // Every character but the carriage returns needed a write.
    const std::string records = sim->Records();
    const size_t returns = std::count(records.begin(), records.end(), '\r');
    EXPECT_NE(std::string::npos, text.find("unvollst")) << text;
    EXPECT_NE(std::string::npos, text.find(std::to_string(records.size() - returns) + " Zeichen")) << text;
    EXPECT_NE(std::string::npos, text.find("incomplete")) << text;
    Dismiss(box);
}

TEST_F(ReadOut, EscapeAndTheCloseBoxDuringARunKeepEveryCharacterReceived)
{
    // One endless line of 1000 characters: nothing but the 250 ms rule writes
    // it out during the run, so up to a quarter of a second of it waits in
    // the buffer when the program ends. The run itself would end only 2 s
    // after the last character.
    loggersim::Options options;
    options.records = std::string(1000, '7');
    options.raw = true;
    StartLogger(options);
    for (const bool escape : { true, false }) {
        SCOPED_TRACE(escape ? "Escape" : "close box");
        ASSERT_FALSE(StartProgram().empty());
        const std::string name = escape ? "/escape.txt" : "/schliessen.txt";
        StartRun(WinePath(dir + name));
        for (int i = 0; i < 300 && (sim->SentCount() < 1000 || sim->Sending()); ++i)
            Sleep(10);
        ASSERT_EQ(1000u, sim->SentCount());
        Sleep(500);  // every character has arrived
        ASSERT_TRUE(Locked()) << "the run is still on";
        if (escape)
            driver().Key(main, VK_ESCAPE_);
        else
            driver().Close(main);
        ASSERT_TRUE(program.WaitExit(10000));
        // The date and time groups of the first ten, then a tab after every field.
        const std::string written = ReadFile(dir + name);
        EXPECT_EQ("77.77.77\t77:77\t7777\t777777\t7777\t", written.substr(0, 32));
        EXPECT_EQ(1000, std::count(written.begin(), written.end(), '7'))
            << "characters received before the end are missing from the table";
        sim->Stop();
        StartLogger(options);
    }
}

TEST_F(ReadOut, EnterDuringTheRunDoesNothingAndEscapeKeepsWhatWasWritten)
{
    StartLogger(Records(100));
    ASSERT_FALSE(StartProgram().empty());
    StartRun(WinePath(dir + "/abbruch.txt"));
    driver().Key(main, VK_RETURN_);
    Sleep(1200);
    EXPECT_TRUE(program.Running()) << "Enter must not end the program while Quit is locked";
    EXPECT_TRUE(sim->Sending());
    driver().Key(main, VK_ESCAPE_);
    ASSERT_TRUE(program.WaitExit(10000));
    const std::string written = ReadFile(dir + "/abbruch.txt");
    const std::string full = Table(sim->Records());
    EXPECT_FALSE(written.empty());
    EXPECT_LT(written.size(), full.size());
    EXPECT_EQ(full.substr(0, written.size()), written);
}

}  // namespace
}  // namespace e2e
