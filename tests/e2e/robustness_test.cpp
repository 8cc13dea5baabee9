// Load, garbage, a pulled cable and long use: every one ends in a defined
// state, with nothing received lost without a word.
#include "Fixture.h"

#include <cstdio>
#include <random>

namespace e2e {
namespace {

using Robustness = VorlixTest;

TEST_F(Robustness, AMegabyteUnpacedArrivesWholeAndGarbageZeroBytesAndEndlessLinesLoseNothing)
{
    // 47,663 records of 22 characters (1,048,586 characters) sent as fast as
    // the cable takes them. Then random bytes but for '7', a line that never
    // ends, empty lines, and one record after a line end, which must come out
    // as its row.
    std::mt19937 random(42);
    std::string garbage;
    while (garbage.size() < 20000)
        if (const char ch = static_cast<char>(random() & 0xFF); ch != '7')
            garbage += ch;
    const std::string data = Times(kRecord, 47663) + garbage + std::string("\0\0\x1A\xFF\r\r\r", 7) +
                             std::string(100000, '7') + std::string(5000, '\n') + std::string(3000, '\r') + kRecord;
    StartLogger(Logger(data, 0, true));
    ASSERT_TRUE(StartProgram());
    StartRun("table.txt");
    ASSERT_TRUE(WaitForEnd(120000));
    EXPECT_FALSE(ErrorBox(500));
    EXPECT_EQ(std::to_string(data.size()), Text(main, IDC_BYTES));
    const std::string table = Table("table.txt");
    EXPECT_TRUE(Times(kRow, 47663) == table.substr(0, 47663 * 28)) << "the table differs from the rows of the records";
    EXPECT_EQ(100000, std::count(table.begin() + 47663 * 28, table.end() - 28, '7'));
    EXPECT_EQ(std::string::npos, table.find('\r'));
    EXPECT_EQ(std::string(5000, '\n') + kRow, table.substr(table.size() - 5028)) << "the record after the garbage";
}

TEST_F(Robustness, PulledCableEndsTheRunAtOnceKeepsEveryByteAndSaysSo)
{
    StartLogger(Logger(Times(kRecord, 100)));
    ASSERT_TRUE(StartProgram());
    StartRun("gezogen.txt");
    Sleep(1200);
    const size_t sentBefore = sim->SentCount();
    cable->Pull();
    const auto pulled = Clock::now();
    const size_t sentAfter = sim->SentCount();
    ASSERT_TRUE(WaitForEnd(5000));
    const double took = Seconds(Clock::now() - pulled);
    EXPECT_LT(took, 1.5) << "the run ends with the loss, not by its silence (2 to 4 s)";

    // The box gives the characters received. Only what was still in the
    // line's buffer when it went (the reader takes the line every 50 ms, 48
    // bytes at 9600 baud) may be gone with it, as on a real unplug: the
    // system discards it with the device.
    const std::string text = Dismiss(ErrorBox(3000));
    const size_t at = text.find("endet nach ");
    ASSERT_NE(std::string::npos, at) << text;
    const size_t received = std::strtoul(text.c_str() + at + 11, nullptr, 10);
    EXPECT_LE(received, sentAfter);
    EXPECT_GE(received + 64, sentBefore);
    const std::string n = std::to_string(received);
    EXPECT_TRUE(Says(text, "Die Verbindung \xC3\xBC" "ber COM 2 ist unterbrochen. Die Tabelle \"Z:"));
    EXPECT_TRUE(Says(text, "gezogen.txt\" ist unvollst\xC3\xA4ndig: sie endet nach " + n +
                               " empfangenen Zeichen.\nThe connection on COM 2 was lost. The table \"Z:"));
    EXPECT_TRUE(Says(text, "gezogen.txt\" is incomplete: it ends after " + n + " characters received."));
    // The table holds the rows of every whole record received, and no more than one row more.
    const std::string table = Table("gezogen.txt");
    const size_t rows = received / 22;
    EXPECT_EQ(Times(kRow, rows), table.substr(0, rows * 28));
    EXPECT_LT(table.size(), (rows + 1) * 28);
    EXPECT_TRUE(program.Running());

    // While the adapter is away, Read says so, each time, and opens no chooser.
    for (int click = 0; click < 2; ++click) {
        ASSERT_TRUE(Click(main, IDC_READ));
        EXPECT_TRUE(Says(Dismiss(ErrorBox(5000)),
                         "Die Verbindung \xC3\xBC" "ber COM 2 war unterbrochen, und die Schnittstelle ist nicht wieder "
                         "da. Bitte Kabel oder Adapter wieder anstecken.\nThe connection on COM 2 was lost, and the "
                         "port is not back. Please plug the cable or adapter in again."));
    }
    EXPECT_FALSE(WaitOwned(main, 500));
    EXPECT_TRUE(Enabled(main, IDC_READ));

    // Plugged in again under its name: Read works without a detour through Setup.
    Plug();
    StartLogger(Logger(Times(kRecord, 2)));
    StartRun("wieder.txt");
    ASSERT_TRUE(WaitForEnd(10000));
    EXPECT_EQ(Times(kRow, 2), Table("wieder.txt"));
    EXPECT_FALSE(ErrorBox(100));
}

TEST_F(Robustness, APortGoneWhenReadIsConfirmedTouchesNoFile)
{
    const loggersim::Options options = Logger(kRecord);
    StartLogger(options);
    ASSERT_TRUE(StartProgram());
    WriteFile(Path("alt.txt"), "the old table");
    for (const std::string name : { "alt.txt", "neu.txt" }) {
        SCOPED_TRACE(name);
        // The chooser is open while the cable goes.
        const HWND chooser = Open(IDC_READ);
        cable->Pull();
        Sleep(500);
        SetText(chooser, kChooserName, Path(name));
        Click(chooser, kOk);
        EXPECT_TRUE(Says(Dismiss(ErrorBox(5000)), "Die Verbindung \xC3\xBC" "ber COM 2 ist unterbrochen"));
        EXPECT_FALSE(Locked());
        Plug();  // back for the next round: Read finds the port again
        StartLogger(options);
    }
    EXPECT_EQ("the old table", Table("alt.txt"));
    EXPECT_FALSE(fs::exists(Path("neu.txt")));
    EXPECT_EQ("", sim->Received());
}

// Everything a user does, again and again: read out, erase, reopen the
// port, look at the About box. Once the first round has loaded what stays
// loaded, the program comes to hold no more. tools/soak.sh runs it for
// VX_ROUNDS rounds instead of 3.
TEST_F(Robustness, RepeatedUseLeavesTheProgramHoldingNoMore)
{
    const int rounds = static_cast<int>(EnvNumber("VX_ROUNDS", 3));
    StartLogger(Logger(Times(kRecord, 10), 1042, true));  // the records stay after an erase
    ASSERT_TRUE(StartProgram());
    const long pid = program.UnixPid();
    ASSERT_GT(pid, 0) << "the program's own process is not known";
    int erases = 0;
    const auto useOnce = [&] {
        fs::remove(Path("runde.txt"));  // a table that is there would be asked about first
        StartRun("runde.txt");
        ASSERT_TRUE(WaitForEnd(10000));
        EXPECT_EQ(Times(kRow, 10), Table("runde.txt"));
        ASSERT_TRUE(ConfirmErase());
        ASSERT_TRUE(sim->WaitErases(++erases, 3000));
        Dismiss(OpenPortDialog());  // OK: the port is closed and opened again
        SysCommand(main, 0x10);
        const HWND about = WaitOwned(main, 5000);
        Dismiss(about);
        WaitFor([&] { return !IsWindow(about); }, 3000);  // destroyed, not only hidden, before windows are counted
    };
    // Wine keeps a host file behind most of a process's handles.
    const auto openFiles = [&] {
        std::error_code error;
        const fs::directory_iterator fd("Z:\\proc\\" + std::to_string(pid) + "\\fd", error);
        return error ? -1L : static_cast<long>(std::distance(fd, fs::directory_iterator()));
    };
    struct Holdings {
        int handles, windows;
        long threads, files;
    };
    const auto measure = [&](int round) {
        const Holdings h{ HandleCount(main), Windows(main), ProcessStatus(pid, "Threads:"), openFiles() };
        std::printf("round %3d: memory %ld KB, handles %d, windows %d, threads %ld, open files %ld\n", round,
                    ProcessStatus(pid, "VmRSS:"), h.handles, h.windows, h.threads, h.files);
        std::fflush(stdout);
        return h;
    };
    useOnce();
    const Holdings first = measure(1);
    ASSERT_TRUE(first.handles > 0 && first.windows > 0 && first.threads > 0 && first.files > 0)
        << "what the program holds cannot be measured";
    for (int round = 2; round <= rounds + 1 && !HasFailure(); ++round) {
        useOnce();
        if (round % 10 == 0)
            measure(round);
    }
    const Holdings last = measure(rounds + 1);
    std::printf("peak memory %ld KB\n", ProcessStatus(pid, "VmHWM:"));
    EXPECT_FALSE(ErrorBox(10));
    EXPECT_EQ(first.windows, last.windows);
    EXPECT_EQ(first.threads, last.threads);
    EXPECT_EQ(first.files, last.files);
    // Wine's file chooser leaves one registry key open each time it is shown
    // (a bare GetOpenFileNameW does the same), and closes its folder watch a
    // moment after it has gone.
    EXPECT_TRUE(WaitFor([&] { return HandleCount(main) <= first.handles + rounds; }, 3000))
        << HandleCount(main) - first.handles << " handles more after " << rounds << " rounds";
}

}  // namespace
}  // namespace e2e
