// Tools that drive the real program with the end-to-end tests' harness but are no tests: the main job's read-out,
// the benchmark and the user guide's pictures. tools/drive.sh runs one (Tools.NAME) for the script that uses it.
#include "Harness.h"

#include <cstdio>

namespace e2e {
namespace {

// The benchmark's record: a logger line of the README's shape, 32 characters, and its row of 40 bytes.
constexpr char kLongRecord[] = " 31126 7 021.01013.945.1 996.2\r\n";
constexpr char kLongRow[] = "03.11.26\t07:00\t21,0\t1013,9\t45,1\t 996,2\t\n";

using Tools = VorlixTest;

// A picture of `window` and `dialog`, 8 pixels around them, cut out of the display into `path` (in the test's
// folder, where the tool's script takes it from).
void Picture(const std::string& path, HWND window, HWND dialog = nullptr)
{
    Sleep(500);  // let it paint
    RECT all, r;
    GetWindowRect(window, &all);
    if (dialog && GetWindowRect(dialog, &r))
        UnionRect(&all, &all, &r);
    char crop[64];
    std::snprintf(crop, sizeof crop, "%ldx%ld+%ld+%ld", all.right - all.left + 16, all.bottom - all.top + 16,
                  std::max(0L, all.left - 8), std::max(0L, all.top - 8));
    EXPECT_EQ(0, Shell("import -window root -crop " + std::string(crop) + " +repage '" + UnixPath(path) + "'"));
    EXPECT_EQ("\x89PNG", ReadFile(path).substr(0, 4)) << "cannot take " << path;
}

// The main job without a display: a read-out of VX_LINES records through the program's windows, and a picture of
// the finished window; tools/main-job.sh takes both.
TEST_F(Tools, MainJob)
{
    ASSERT_TRUE(Start(loggersim::MakeRecords(std::stoi(Env("VX_LINES")))));
    StartRun("messwerte.txt");
    ASSERT_TRUE(WaitForEnd(5 * 60 * 1000));
    std::printf("main job: received bytes shown: %s\n", Text(main, IDC_BYTES).c_str());
    EXPECT_FALSE(Table("messwerte.txt").empty());
    Picture(Path("screenshot.png"), main);
}

// Figures of a read-out paced at 9600 baud (VX_PACED characters) and of one sent as fast as the cable takes it
// (VX_UNPACED): its times, and whether every character arrived. What the program's process spent on each (its CPU
// from the start of the read-out, its peak memory), idle and on an erase, and its writes to the table (strace),
// tools/benchmark.sh reads from Linux at the marks given it.
TEST_F(Tools, Benchmark)
{
    for (const bool paced : { true, false }) {
        const size_t records = std::stoul(Env(paced ? "VX_PACED" : "VX_UNPACED")) / 32, chars = records * 32;
        const std::string name = paced ? "paced" : "unpaced", path = Path(name + ".txt");
        ASSERT_TRUE(Start(Times(kLongRecord, records), paced ? 1042 : 0));
        StartRun(name + ".txt");
        Probe("cpu-from");  // the chooser's own cost is not the read-out's
        Clock::time_point complete{};
        for (std::error_code error; !Enabled(main, IDC_ERASE); Sleep(paced ? 20 : 5))
            if (complete == Clock::time_point{} && fs::file_size(path, error) >= records * 40 && !error)
                complete = Clock::now();
        // Delete comes back just before the table is closed, and the program shares it with no one until then.
        ASSERT_TRUE(Answers());
        const Clock::time_point closed = Clock::now();
        Probe("cpu-to " + name + " " + std::to_string(chars));
        const std::string table = ReadFile(path), expected = Times(kLongRow, records);
        const bool all = table == expected;
        EXPECT_TRUE(all) << "the logger sent " << sim->SentCount() << " of " << chars << " chars, the window shows "
                         << Text(main, IDC_BYTES) << ", the table holds " << table.size() << " of " << expected.size()
                         << " bytes, the same up to byte "
                         << std::mismatch(table.begin(), table.end(), expected.begin(), expected.end()).first -
                                table.begin();
        const double wall = Seconds(closed - sim->FirstSent()), lineTime = chars * 10 / 9600.0;  // 8N1: 10 bits a byte
        std::printf("%-8s %8zu chars: wall %.2f s over line time %.2f s (%+.2f s), last char to file closed %.2f s,\n"
                    "         every character arrived: %s\n",
                    name.c_str(), chars, wall, lineTime, wall - lineTime, Seconds(closed - sim->LastSent()),
                    all ? "yes" : "NO");
        if (!paced) {
            ASSERT_NE(Clock::time_point{}, complete);
            const double rate = chars / Seconds(complete - sim->FirstSent());
            std::printf("         receive rate %.0f chars/s = %.0f x the 9600-baud line rate (960 chars/s)\n", rate,
                        rate / 960.0);
            continue;
        }
        Probe("cpu-from");
        Sleep(10000);
        Probe("cpu-to idle");
        Probe("cpu-from");
        ASSERT_TRUE(Click(Open(IDC_ERASE), IDOK) && sim->WaitErases(1, 3000));
        Probe("cpu-to erase");
        Probe("memory");
    }

    // strace slows every system call: its read-out gives the count of writes, no times.
    ASSERT_TRUE(Start(Times(kLongRecord, 1024)));
    Probe("trace");
    StartRun("counted.txt");
    ASSERT_TRUE(WaitForEnd(120000));
    Probe("writes counted.txt 32768");
}

// Pictures of every window for the user guide, each from a program of its own, so that no closed window leaves a
// trace.
TEST_F(Tools, Screenshots)
{
    const std::string records = loggersim::MakeRecords(20);
    // The main window after a read-out, showing its total.
    Start(records);
    StartRun("messwerte.txt");
    ASSERT_TRUE(WaitForEnd(8000));
    Picture(Path("main-window.png"), main);

    Start(records);
    Picture(Path("port-dialog.png"), main, Open(IDC_SETUP));
    Start(records);
    Picture(Path("erase-confirmation.png"), main, Open(IDC_ERASE));
    Start(records);
    PostMessageW(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    Picture(Path("about-box.png"), main, WaitOwned(main, 5000));

    // The PC's ports, offered at start-up when the stored one is gone.
    Kill();
    std::ofstream(Path("vxsetup.ini")) << "3\n";
    Plug(7);
    Start(records);
    Picture(Path("port-choice.png"), main);
}

}  // namespace
}  // namespace e2e
