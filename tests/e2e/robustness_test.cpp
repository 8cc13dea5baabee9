// Load, garbage, a pulled cable and odd setting files: every one ends in a
// defined state, with nothing received lost without a word.
#include "Fixture.h"

#include "readout/RecordFormatter.h"

#include <algorithm>
#include <climits>
#include <random>

namespace e2e {
namespace {

std::string Table(const std::string& received)
{
    uint8_t pos = 0;
    return FormatRecords(received, pos);
}

class Robustness : public VorlixTest {
protected:
    void StartRun(const std::string& file) { ASSERT_TRUE(driver().ChooseTableFile(main, WinePath(file))); }

    // A new cable on COM 2, the same name, with a logger on it: the adapter plugged in again.
    void Replug(loggersim::Options options)
    {
        sim->Stop();
        cable = std::make_unique<Cable>(dir);
        ASSERT_TRUE(cable->Ok());
        Session::Get().LinkComPorts({ { 2, cable->ComEnd() } });
        StartLogger(std::move(options));
    }

    bool WaitForEnd(int timeoutMs)
    {
        return driver().WaitReadOutStarted(main, 3000) && driver().WaitReadOutEnded(main, timeoutMs);
    }

    void ReadOutAndCompare(const std::string& data, long byteMicros, int timeoutMs)
    {
        loggersim::Options options;
        options.records = data;
        options.raw = true;
        options.byteMicros = byteMicros;
        StartLogger(options);
        ASSERT_FALSE(StartProgram().empty());
        StartRun(dir + "/table.txt");
        ASSERT_TRUE(WaitForEnd(timeoutMs));
        EXPECT_TRUE(ErrorBox(500).empty()) << driver().StaticTexts(ErrorBox(10));
        const std::string table = ReadFile(dir + "/table.txt");
        const std::string expected = Table(data);
        EXPECT_EQ(expected.size(), table.size());
        EXPECT_TRUE(expected == table) << "the table differs from what the layout gives";
        EXPECT_EQ(std::to_string(data.size()), driver().Text(main, IDC_BYTES));
    }
};

TEST_F(Robustness, OneMegabyteUnpacedArrivesWhole)
{
    std::string records = loggersim::MakeRecords(32768);
    ReadOutAndCompare(records, 0, 120000);
}

TEST_F(Robustness, SixtyFourKilobytesAt9600BaudArriveWhole)
{
    std::string records = loggersim::MakeRecords(2048);
    ReadOutAndCompare(records, 1042, 120000);
}

TEST_F(Robustness, GarbageZeroBytesEndlessLinesAndEmptyLines)
{
    std::mt19937 random(42);
    std::string data;
    for (int i = 0; i < 20000; ++i)
        data += static_cast<char>(random() & 0xFF);
    data += std::string("\0\0\x1A\xFF\r\r\r", 7);
    data += std::string(100000, '7');  // a line with no end
    data += std::string(5000, '\n');
    data += std::string(3000, '\r');
    ReadOutAndCompare(data, 0, 60000);
}

TEST_F(Robustness, PulledCableEndsTheRunAtOnceKeepsEveryByteAndSaysSo)
{
    loggersim::Options options;
    options.records = loggersim::MakeRecords(100);
    StartLogger(options);
    ASSERT_FALSE(StartProgram().empty());
    StartRun(dir + "/gezogen.txt");
    ASSERT_TRUE(driver().WaitReadOutStarted(main, 3000));
    Sleep(1200);
    const size_t sentBefore = sim->SentCount();
    cable->Pull();
    const auto pulled = std::chrono::steady_clock::now();
    const size_t sentAfter = sim->SentCount();
    ASSERT_TRUE(driver().WaitReadOutEnded(main, 5000));
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - pulled).count();
    EXPECT_LT(took, 1.5) << "the run ends with the loss, not by its silence (2 to 4 s)";

    // The table holds the logger's bytes up to the pull. Only what was still
    // in the line's buffer when it went (the reader takes the line every
    // 50 ms, 48 bytes at 9600 baud) is gone with it, as on a real unplug: the
    // system discards it with the device.
    const std::string table = ReadFile(dir + "/gezogen.txt");
    size_t received = 0;
    for (size_t n = sentAfter; n + 64 >= sentBefore && n > 0 && received == 0; --n)
        if (Table(sim->Records().substr(0, n)) == table)
            received = n;
    ASSERT_GT(received, 0u) << "the table is not the first bytes the logger sent (" << table.size()
                            << " bytes in it, " << sentBefore << " sent)";

    const std::string box = ErrorBox(3000);
    ASSERT_FALSE(box.empty()) << "the loss must be reported";
    const std::string text = driver().StaticTexts(box);
    EXPECT_NE(std::string::npos, text.find("COM 2 ist unterbrochen")) << text;
    EXPECT_NE(std::string::npos, text.find("unvollst\xC3\xA4ndig")) << text;
    EXPECT_NE(std::string::npos, text.find(std::to_string(received) + " empfangenen Zeichen")) << text;
    EXPECT_NE(std::string::npos, text.find("COM 2 was lost")) << text;
    EXPECT_NE(std::string::npos, text.find(std::to_string(received) + " characters received")) << text;
    Dismiss(box);
    EXPECT_TRUE(program.Running());

    // While the adapter is away, Read says so and touches nothing: no chooser, no file.
    WriteFile(dir + "/danach.txt", "unchanged");
    ASSERT_TRUE(driver().Click(main, IDC_READ));
    const std::string notBack = ErrorBox(5000);
    ASSERT_FALSE(notBack.empty());
    const std::string notBackText = driver().StaticTexts(notBack);
    EXPECT_NE(std::string::npos, notBackText.find("COM 2 war unterbrochen")) << notBackText;
    EXPECT_NE(std::string::npos, notBackText.find("is not back")) << notBackText;
    Dismiss(notBack);
    EXPECT_EQ("unchanged", ReadFile(dir + "/danach.txt"));
    EXPECT_TRUE(driver().Enabled(main, IDC_READ));

    // Plugged in again under its name: Read works without a detour through Setup.
    loggersim::Options again;
    again.records = " 5 307 9 5 2.5 998.0\r\n 6 307 9 5 2.6 999.1\r\n";
    Replug(again);
    StartRun(dir + "/wieder.txt");
    ASSERT_TRUE(WaitForEnd(10000));
    EXPECT_EQ("05.03.07\t09:05\t 2,5\t 998,0\t\n06.03.07\t09:05\t 2,6\t 999,1\t\n", ReadFile(dir + "/wieder.txt"));
    EXPECT_TRUE(ErrorBox(100).empty());
}

TEST_F(Robustness, APortGoneWhenReadIsConfirmedTouchesNoFile)
{
    loggersim::Options options;
    options.records = loggersim::MakeRecords(5);
    StartLogger(options);
    ASSERT_FALSE(StartProgram().empty());
    WriteFile(dir + "/alt.txt", "the old table");
    for (const std::string name : { "alt.txt", "neu.txt" }) {
        SCOPED_TRACE(name);
        // The chooser is open while the cable goes.
        ASSERT_TRUE(driver().Click(main, IDC_READ));
        const std::string chooser = driver().WaitOwned(main, 10000);
        ASSERT_FALSE(chooser.empty());
        cable->Pull();
        Sleep(500);
        driver().SetText(chooser, 0x47c, WinePath(dir + "/" + name));
        driver().Click(chooser, IDOK_);
        const std::string box = ErrorBox(5000);
        ASSERT_FALSE(box.empty());
        const std::string text = driver().StaticTexts(box);
        EXPECT_NE(std::string::npos, text.find("COM 2")) << text;
        EXPECT_NE(std::string::npos, text.find("unterbrochen")) << text;
        Dismiss(box);
        EXPECT_TRUE(driver().Enabled(main, IDC_READ));
        EXPECT_TRUE(driver().Enabled(main, IDC_ERASE));
        EXPECT_TRUE(driver().Enabled(main, IDOK_));
        Replug(options);  // back for the next round: Read finds the port again
    }
    EXPECT_EQ("the old table", ReadFile(dir + "/alt.txt"));
    EXPECT_FALSE(Exists(dir + "/neu.txt"));
    EXPECT_EQ("", sim->Received());
}

TEST_F(Robustness, RepeatedUseLeavesTheProgramHoldingNoMore)
{
    loggersim::Options options;
    options.records = loggersim::MakeRecords(10);
    options.raw = true;  // the records stay after an erase
    StartLogger(options);
    ASSERT_FALSE(StartProgram().empty());
    // Everything a user does: read out, erase, reopen the port, look at the About box.
    int erases = 0;
    const auto useOnce = [&] {
        RemoveTree(dir + "/runde.txt");  // a table that is there would be asked about first
        StartRun(dir + "/runde.txt");
        ASSERT_TRUE(WaitForEnd(10000));
        ASSERT_TRUE(driver().ConfirmErase(main));
        ++erases;
        for (int i = 0; i < 150 && sim->Erases() < erases; ++i)
            Sleep(20);
        ASSERT_EQ(erases, sim->Erases());
        Dismiss(OpenPortDialog());  // OK: the port is closed and opened again
        driver().SysCommand(main, 0x10);
        const std::string about = driver().WaitOwned(main, 5000);
        ASSERT_FALSE(about.empty());
        Dismiss(about);
    };
    useOnce();  // the first use loads what stays loaded
    const std::vector<std::string> before = driver().Handles(main);
    const int windows = driver().Windows(main);
    ASSERT_FALSE(before.empty());
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round)
        useOnce();

    EXPECT_TRUE(ErrorBox(10).empty());
    EXPECT_EQ(windows, driver().Windows(main));
    for (const auto& [handle, more] : driver().HandlesGrown(main, before, kRounds))
        ADD_FAILURE() << more << " more: " << handle;
}

TEST_F(Robustness, OddSettingFilesGiveTheIndexAtoiGives)
{
    std::mt19937 random(3);
    const char alphabet[] = " \t\r\n+-0123456789x\xFF";
    std::vector<std::string> contents = { "", "\n", "0", "3\r\n", "-0", "+2", "  1x", "\xFF\xFE", "99999999999999",
                                          "-2147483649", std::string(70000, ' ') + "2", std::string("2\0", 2) };
    for (int i = 0; i < 6; ++i) {
        std::string text;
        for (int j = static_cast<int>(random() % 6); j > 0; --j)
            text += alphabet[random() % (sizeof alphabet - 1)];
        contents.push_back(text);
    }
    for (const std::string& content : contents) {
        SCOPED_TRACE("setting file \"" + content.substr(0, 20) + "\"");
        PutSetting(content);
        Session::Get().LinkComPorts({ { 1, cable->ComEnd() }, { 2, cable->ComEnd() }, { 3, cable->ComEnd() },
                                      { 4, cable->ComEnd() } });
        program.Start(dir);
        // atoi's index, held within int's range; the port is that index plus one in 16 bits.
        const std::string firstLine = content.substr(0, content.find('\n'));
        const long long expected = std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, std::atoll(firstLine.c_str())));
        const short port = static_cast<short>(static_cast<unsigned short>(expected) + 1u);
        const bool valid = expected >= 0 && expected <= 3;
        if (port >= 1 && port <= 4) {
            main = driver().WaitWindow("Vorlix", 30000);
            ASSERT_FALSE(main.empty());
            EXPECT_TRUE(ErrorBox(500).empty());
        } else {
            const std::string box = ErrorBox(30000);
            ASSERT_FALSE(box.empty()) << "a port beyond COM 4 cannot be opened here";
            Dismiss(box);
            main = driver().WaitWindow("Vorlix", 10000);
            ASSERT_FALSE(main.empty());
        }
        const std::string dialog = OpenPortDialog();
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(valid && k == expected, driver().Checked(dialog, IDC_COM1 + k)) << "button " << k;
        driver().Click(dialog, IDCANCEL_);
        driver().Close(main);
        ASSERT_TRUE(program.WaitExit(10000));
        EXPECT_EQ(content, Setting()) << "start-up only reads an existing file";
    }
}

}  // namespace
}  // namespace e2e
