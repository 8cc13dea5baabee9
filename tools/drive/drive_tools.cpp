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

// Figures of the chart (tools/benchmark.sh chart): tables of 100,000 and 1,000,000 rows of the benchmark's kind, a
// minute apart, each opened from the chooser: the time from its OK to the chart on screen (drawn into its picture
// before the window shows), the peak memory beyond what the program held with the chooser open, and for the big one
// the time and CPU of a redraw (Home: every reading gathered and drawn again).
TEST_F(Tools, ChartBenchmark)
{
    for (const int lines : { 100000, 1000000 }) {
        const std::string name = "chart-" + std::to_string(lines) + ".txt";
        std::string table;
        table.reserve(lines * 40u);
        for (int i = 0; i < lines; ++i) {
            const int day = i / 1440, minute = i % 1440, month = day / 28 % 12, year = 25 + day / 336;
            char row[64];
            std::snprintf(row, sizeof row, "%02d.%02d.%02d\t%02d:%02d\t%4.1f\t%6.1f\t%4.1f\t%6.1f\t\n", day % 28 + 1,
                          month + 1, year, minute / 60, minute % 60, 20 + (i % 97) / 10.0, 1000 + (i % 331) / 10.0,
                          40 + (i % 53) / 10.0, 990 + (i % 1009) / 10.0);
            table += row;
        }
        std::ofstream(fs::u8path(Path(name)), std::ios::binary) << table;
        ASSERT_TRUE(Start(""));
        PostMessageW(main, WM_SYSCOMMAND, IDM_CHART, 0);  // no read-out yet: the chooser
        const HWND chooser = WaitOwned(main, 10000);
        ASSERT_TRUE(chooser);
        SetDlgItemTextW(chooser, 0x47c, Wide(Path(name)).c_str());
        Probe("rss-from");
        const Clock::time_point ok = Clock::now();
        ASSERT_TRUE(Click(chooser, IDOK));
        const HWND chart = WaitTopLevel([](HWND h) { return Text(h).rfind("Vorlix: Diagramm", 0) == 0; }, 120000);
        ASSERT_TRUE(chart && SendMessageTimeoutW(chart, WM_NULL, 0, 0, SMTO_NORMAL, 60000, nullptr));
        const double open = Seconds(Clock::now() - ok);
        EXPECT_EQ(0u, Text(chart, IDC_CHART_TEXT).rfind(std::to_string(lines) + " Zeilen", 0)) << "not every row read";
        Probe("rss-to " + std::to_string(lines));
        std::printf("chart    %7d rows (%zu bytes): chooser's OK to the chart shown %.3f s\n", lines, table.size(), open);
        if (lines < 1000000)
            continue;
        const HWND view = GetDlgItem(chart, IDC_CHART_VIEW);
        Probe("cpu-from");
        const Clock::time_point from = Clock::now();
        for (int i = 0; i < 20; ++i)
            ASSERT_TRUE(SendMessageTimeoutW(view, WM_KEYDOWN, VK_HOME, 0, SMTO_NORMAL, 10000, nullptr));
        std::printf("chart    redraw of %d readings: %.1f ms\n", lines, Seconds(Clock::now() - from) * 1000 / 20);
        Probe("cpu-to redraw 20");
    }
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

    // The chart of the main job's table, read out as fast as the cable takes it.
    Start(loggersim::MakeRecords(400), 0);
    fs::remove(Path("messwerte.txt"));
    StartRun("messwerte.txt");
    ASSERT_TRUE(WaitForEnd(30000));
    PostMessageW(main, WM_SYSCOMMAND, IDM_CHART, 0);
    const HWND chart = WaitOwned(main, 10000);
    ASSERT_TRUE(chart);
    Picture(Path("chart.png"), chart);

    // The PC's ports, offered at start-up when the stored one is gone.
    Kill();
    std::ofstream(Path("vxsetup.ini")) << "3\n";
    Plug(7);
    Start(records);
    Picture(Path("port-choice.png"), main);
}

}  // namespace
}  // namespace e2e
