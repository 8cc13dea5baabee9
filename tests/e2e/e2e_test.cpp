// What only the real program on a real pty shows: the simulated logger's records read out, load, garbage,
// a pulled cable, and repeated use. Everything else is checked by the unit tests through the program's seams.
#include "Harness.h"

#include <random>

namespace e2e {
namespace {

using ::testing::HasSubstr;
using ReadOut = VorlixTest;
using Robustness = VorlixTest;

TEST_F(ReadOut, TheSimulatedLoggerGivesTheRowsTheReadmeShows)
{
    // The records end in the middle of a line: the run says so.
    ASSERT_TRUE(Start(loggersim::MakeRecords(3) + " 31126 7"));
    StartRun("eins.txt");
    ASSERT_TRUE(WaitForEnd(10000));
    EXPECT_THAT(Dismiss(ErrorBox(3000)), HasSubstr("eins.txt\" ist unvollst\xC3\xA4ndig.\nThe table \"Z:"));
    EXPECT_EQ("03.11.26\t07:00\t21,0\t1013,9\t45,1\t 996,2\t\n"
              "03.11.26\t07:15\t20,8\t1014,2\t44,8\t 997,5\t\n"
              "03.11.26\t07:30\t20,3\t1013,5\t44,9\t 999,2\t\n"
              "03.11.26\t07:",
              Table("eins.txt"));
    EXPECT_EQ("104", Text(main, IDC_BYTES));
    EXPECT_EQ("(254.1.)", sim->Received());
    EXPECT_EQ("1\n", Table("vxsetup.ini")) << "the start folder takes files: the setting is there";
    EXPECT_EQ(0, std::count_if(fs::directory_iterator(fs::u8path(dir)), {}, [](const fs::directory_entry& e) {
                  return e.path().filename().wstring()[0] == L'~';
              })) << "nothing left from finding that out";
}

// A first day on a real PC: the program in a folder that takes no file, a COM 2 that is no serial port (the logger's
// adapter is COM 7), the table open in another program, and Quit clicked in the erase's pause.
TEST_F(ReadOut, AFirstDayWithAFolderItCannotWriteTheWrongPortATableHeldOpenAndQuitInTheErase)
{
    Plug(7);
    const std::string own = Env("LOCALAPPDATA") + "\\Vorlix\\vxsetup.ini", tables = Work() + "\\tabellen";
    fs::remove(fs::u8path(own));
    fs::create_directories(fs::u8path(tables));
    struct Unlock { std::string dir; ~Unlock() { Shell("chattr -i '" + dir + "'"); } } unlock{ UnixPath(dir) };
    ASSERT_EQ(0, Shell("ln -sfn /dev/null \"$WINEPREFIX/dosdevices/com2\" && chattr +i '" + unlock.dir + "'"));
    ASSERT_TRUE(Start(Times(kRecord, 2)));

    const HWND choice = WaitOwned(main, 10000);
    ASSERT_TRUE(choice) << "the PC's ports are offered";
    EXPECT_THAT(Text(choice, IDC_CHOICE_TEXT), HasSubstr("COM 2 kann nicht eingestellt werden.\nCOM 2 cannot be configured."));
    const HWND list = GetDlgItem(choice, IDC_CHOICE_PORTS);
    for (int i = 0, n = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)); i < n; ++i) {
        wchar_t line[128] = L"";
        if (SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line)) > 0 && std::wstring(line).rfind(L"COM 7", 0) == 0)
            SendMessageW(list, LB_SETCURSEL, i, 0);
    }
    Dismiss(choice);
    // The file appears before its text, and is held while it is written: the text is waited for.
    EXPECT_TRUE(WaitFor([&] { return ReadFile(own) == "6\n"; }, 5000)) << "kept in the user's own folder: " << ReadFile(own);

    // Another program holds the table, as Excel does: said so, and nothing is sent.
    const std::string table = tables + "\\eins.txt";
    const HANDLE held = CreateFileW(Wide(table).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    StartRun(table, false);
    EXPECT_THAT(Dismiss(ErrorBox(5000)), HasSubstr("Die Tabelle \"" + table + "\" ist in einem anderen Programm ge\xC3\xB6" "ffnet "
                                                   "(z. B. Excel). Bitte dort schlie\xC3\x9F" "en und erneut auslesen."));
    CloseHandle(held);
    StartRun(table);
    ASSERT_TRUE(WaitForEnd(10000));
    EXPECT_EQ(Times(kRow, 2), ReadFile(table));

    // Yes, then Quit within the pause to the next whole second: the erase goes out, then the program ends.
    const HWND confirm = Open(IDC_ERASE);
    ASSERT_TRUE(Click(confirm, IDOK) && Click(main, IDOK));
    EXPECT_TRUE(sim->WaitErases(1, 3000));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(program.hProcess, 5000)) << "the program ends";
    EXPECT_EQ("(254.1.)(251.1.)", sim->Received());
    EXPECT_TRUE(fs::is_empty(fs::u8path(dir)));
    fs::remove(fs::u8path(own));
}

TEST_F(ReadOut, TheSystemMenuShowsTheChartOfTheTableJustRead)
{
    ASSERT_TRUE(Start(loggersim::MakeRecords(3), 0));
    StartRun("drei.txt");
    ASSERT_TRUE(WaitForEnd(10000));
    PostMessageW(main, WM_SYSCOMMAND, IDM_CHART, 0);
    const HWND chart = WaitOwned(main, 10000);
    EXPECT_EQ("Vorlix: Diagramm / Chart \xE2\x80\x93 drei.txt", Text(chart));
    // Below the line above the chart, which depends on where the mouse is: the buttons, the chart and its text.
    const std::string texts = Dismiss(chart, IDCANCEL);
    EXPECT_EQ("\xC3\x96" "ffnen... / Open...\nKopieren / Copy\nAlles / All\nSchlie\xC3\x9F" "en / Close\n\n"
              "3 Zeilen / 3 lines: 03.11.2026 07:00 \xE2\x80\x93 03.11.2026 07:30\n"
              "Spalte 3 / column 3: min 20,3, max 21,0, Mittel / mean 20,70\n"
              "Spalte 4 / column 4: min 1013,5, max 1014,2, Mittel / mean 1013,87\n"
              "Spalte 5 / column 5: min 44,8, max 45,1, Mittel / mean 44,93\n"
              "Spalte 6 / column 6: min 996,2, max 999,2, Mittel / mean 997,63\n"
              "unlesbar / unreadable: 0\nL\xC3\xBC" "cken / gaps: 0\nZeit r\xC3\xBC" "ckw\xC3\xA4rts / time going back: 0\n",
              texts.substr(texts.find('\n') + 1));
    EXPECT_TRUE(NothingOpen());
}

TEST_F(Robustness, AMegabyteUnpacedArrivesWholeAndGarbageZeroBytesAndEndlessLinesLoseNothing)
{
    // 47,663 records of 22 characters (1,048,586 characters) sent as fast as the cable takes them. Then random
    // bytes but for '7', a line that never ends, empty lines, and one record after a line end, which must come
    // out as its row.
    std::mt19937 random(42);
    std::string garbage;
    while (garbage.size() < 20000)
        if (const char ch = static_cast<char>(random() & 0xFF); ch != '7')
            garbage += ch;
    const std::string data = Times(kRecord, 47663) + garbage + std::string("\0\0\x1A\xFF\r\r\r", 7) +
                             std::string(100000, '7') + std::string(5000, '\n') + std::string(3000, '\r') + kRecord;
    ASSERT_TRUE(Start(data, 0, true));
    StartRun("table.txt");
    ASSERT_TRUE(WaitForEnd(120000));
    EXPECT_TRUE(NothingOpen()) << "no box at the end of the run";
    EXPECT_EQ(std::to_string(data.size()), Text(main, IDC_BYTES));
    const std::string table = Table("table.txt");
    EXPECT_TRUE(Times(kRow, 47663) == table.substr(0, 47663 * 28)) << "the table differs from the rows of the records";
    EXPECT_EQ(100000, std::count(table.begin() + 47663 * 28, table.end() - 28, '7'));
    EXPECT_EQ(std::string::npos, table.find('\r'));
    EXPECT_EQ(std::string(5000, '\n') + kRow, table.substr(table.size() - 5028)) << "the record after the garbage";
}

TEST_F(Robustness, PulledCableEndsTheRunAtOnceKeepsEveryByteAndSaysSo)
{
    ASSERT_TRUE(Start(Times(kRecord, 100)));
    StartRun("gezogen.txt");
    ASSERT_TRUE(WaitFor([&] { return sim->SentCount() >= 1100; }, 5000)) << "half of the records on their way";
    const size_t sentBefore = sim->SentCount();
    Pull();
    const auto pulled = Clock::now();
    const size_t sentAfter = sim->SentCount();
    ASSERT_TRUE(WaitForEnd(5000));
    EXPECT_LT(Seconds(Clock::now() - pulled), 1.5) << "the run ends with the loss, not by its silence (2 to 4 s)";

    // The box gives the characters received. Only what was still in the line's buffer when it went (the reader
    // takes the line every 50 ms, 48 bytes at 9600 baud) may be gone with it, as on a real unplug: the system
    // discards it with the device. The table holds the rows of every whole record received, and at most one more.
    const std::string text = Dismiss(ErrorBox(3000));
    const size_t at = text.find("endet nach ");
    ASSERT_NE(std::string::npos, at) << text;
    const size_t received = std::strtoul(text.c_str() + at + 11, nullptr, 10), rows = received / 22;
    EXPECT_LE(received, sentAfter);
    EXPECT_GE(received + 64, sentBefore);
    EXPECT_THAT(text, HasSubstr("COM 2 ist unterbrochen. Die Tabelle \"" + Path("gezogen.txt") + "\" ist unvollst"));
    const std::string table = Table("gezogen.txt");
    EXPECT_EQ(Times(kRow, rows), table.substr(0, rows * 28));
    EXPECT_LT(table.size(), (rows + 1) * 28);

    // While the adapter is away, Read says so and opens no chooser; the PC's other ports are offered instead (Wine
    // always has a COM 1).
    ASSERT_TRUE(Click(main, IDC_READ));
    EXPECT_THAT(Dismiss(ErrorBox(5000), IDCANCEL),
                HasSubstr("COM 2 war unterbrochen, und die Schnittstelle ist nicht wieder da."));
    EXPECT_TRUE(NothingOpen()) << "Read went on after the box";

    // Plugged in again under its name: Read works without a detour through Setup.
    Plug();
    StartLogger(Times(kRecord, 2));
    StartRun("wieder.txt");
    ASSERT_TRUE(WaitForEnd(10000));
    EXPECT_EQ(Times(kRow, 2), Table("wieder.txt"));
    EXPECT_TRUE(NothingOpen()) << "no box at the end of the run";
}

// Rounds of everything a user does, VX_ROUNDS (default 1) after a first that loads what stays loaded: read out the
// logger's 10 records, erase, Setup's OK (the port closed and opened again), the About box. Then the program holds
// no more windows than after the first round, and no more handles than the registry keys that the file chooser
// left open, counted as it was shown: Wine's leaves one each time (a bare GetOpenFileNameW does the same), another
// none. It closes its folder watch a moment after it has gone. tools/soak.sh runs this long, and adds what Linux
// tells of the program (Probe).
TEST_F(Robustness, RepeatedUseLeavesTheProgramHoldingNoMore)
{
    const int rounds = std::stoi(Env("VX_ROUNDS", "1"));
    ASSERT_TRUE(Start(Times(kRecord, 10), 1042, true));  // the records stay after an erase
    std::pair<int, int> first{};
    int chooserKeys = 0;  // what Wine's file chooser left open in the rounds after the first
    for (int round = 1; round <= rounds + 1 && !HasFailure(); ++round) {
        fs::remove(Path("runde.txt"));  // a table that is there would be asked about first
        int before = 0, after = 0;
        Holdings(&before);
        StartRun("runde.txt");
        Holdings(&after);
        chooserKeys += round > 1 ? after - before : 0;
        ASSERT_TRUE(WaitForEnd(10000));
        EXPECT_EQ(Times(kRow, 10), Table("runde.txt"));
        ASSERT_TRUE(Click(Open(IDC_ERASE), IDOK));
        ASSERT_TRUE(sim->WaitErases(round, 3000));
        Dismiss(Open(IDC_SETUP));
        PostMessageW(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        Dismiss(WaitOwned(main, 5000));
        if (round == 1)
            first = Holdings();
        if (!Env("VX_PROBE").empty() && (round == 1 || round % 10 == 0 || round > rounds)) {
            const std::pair<int, int> held = Holdings();
            Probe("round " + std::to_string(round) + " " + std::to_string(held.first) + " " +
                  std::to_string(held.second));
        }
    }
    ASSERT_TRUE(first.first > 0 && first.second > 0) << "what the program holds cannot be measured";
    EXPECT_TRUE(NothingOpen());
    EXPECT_EQ(first.second, Holdings().second) << "windows";
    EXPECT_TRUE(WaitFor([&] { return Holdings().first <= first.first + chooserKeys; }, 3000))
        << Holdings().first - first.first << " handles more after " << rounds << " more rounds, " << chooserKeys
        << " of them the file chooser's";
}

}  // namespace
}  // namespace e2e
