// The tools that drive the real program under Wine the way the end-to-end tests do, with their harness, but are
// no tests: the main job's read-out, the benchmark and the user guide's pictures. tools/drive.sh runs one
// by name (Tools.NAME), with its settings in the environment.
#include "Harness.h"

#include <cstdio>

namespace e2e {
namespace {

// A picture of the display, or of the part of it `crop` gives ("WxH+X+Y").
bool Screenshot(const std::string& path, const std::string& crop = "")
{
    fs::remove(path);
    return Shell("import -display \"$DISPLAY\" -window root " + (crop.empty() ? "" : "-crop " + crop + " +repage ") +
                 "'" + UnixPath(path) + "'") == 0 &&
           ReadFile(path).substr(0, 4) == "\x89PNG";
}

// The benchmark's record: a logger line of the README's shape, 32 characters, and its row of 40 bytes.
constexpr char kLongRecord[] = " 31126 7 021.01013.945.1 996.2\r\n";
constexpr char kLongRow[] = "03.11.26\t07:00\t21,0\t1013,9\t45,1\t 996,2\t\n";

class Tools : public VorlixTest {
protected:
    // The program started afresh (the old one ended), and the Linux process that runs it, for what only Linux tells
    // (CPU, memory, system calls): Wine runs it in a Linux process named after it, in its working directory.
    void Restart(const std::string& records, long byteMicros = 1042, bool raw = false)
    {
        ASSERT_TRUE(Start(records, byteMicros, raw));
        Shell("for p in $(pgrep -x vorlix.exe); do [ \"$(readlink /proc/$p/cwd)\" != '" + UnixPath(dir) +
              "' ] || echo $p; done >'" + UnixPath(Path("unix-pid.txt")) + "'");
        pid = Running() ? std::atol(Table("unix-pid.txt").c_str()) : -1;
        ASSERT_GT(pid, 0) << "the program's own process is not known";
    }

    std::string Proc(const char* file) const { return ReadFile("Z:\\proc\\" + std::to_string(pid) + "\\" + file); }

    // A number from the program's /proc/PID/status, e.g. "VmHWM:" in KB; -1 when absent.
    long Status(const std::string& key) const
    {
        const std::string status = Proc("status");
        const size_t at = status.find("\n" + key);
        return at == std::string::npos ? -1 : std::atol(status.c_str() + at + 1 + key.size());
    }

    // The program's CPU seconds over `action`; a figure that cannot be measured fails. In /proc/PID/stat the name
    // in parentheses may hold blanks; utime and stime are the 12th and 13th fields after it, in ticks of 1/100 s.
    double CpuOver(const std::function<void()>& action)
    {
        const auto cpu = [&] {
            const std::string stat = Proc("stat");
            std::istringstream fields(stat.substr(std::min(stat.size(), stat.rfind(')') + 1)));
            std::string skip;
            for (int i = 0; i < 11; ++i)
                fields >> skip;
            double utime = 0, stime = 0;
            return fields >> utime >> stime ? (utime + stime) / 100.0 : -1.0;
        };
        const double before = cpu();
        action();
        const double after = cpu();
        EXPECT_TRUE(before >= 0 && after >= before) << "the program's CPU could not be measured";
        return after - before;
    }

    long pid = -1;
};

// The main job without a display: a read-out through the program's windows, leaving the table and a picture of
// the finished window in VX_OUT.
TEST_F(Tools, MainJob)
{
    const std::string out = Env("VX_OUT").empty() ? dir : WindowsPath(Env("VX_OUT")), table = out + "\\messwerte.txt";
    const int lines = std::stoi(Env("VX_LINES", "400"));
    Restart(loggersim::MakeRecords(lines));
    fs::remove(table);
    std::printf("main job: reading out %d records from the simulated logger...\n", lines);
    ASSERT_TRUE(Choose(Open(IDC_READ), table)) << "Read opened no file chooser";
    ASSERT_TRUE(WaitFor([&] { return !Enabled(main, IDC_ERASE); }, 3000)) << "the run did not start";
    ASSERT_TRUE(WaitForEnd(5 * 60 * 1000));
    std::printf("main job: received bytes shown: %s\n", Text(main, IDC_BYTES).c_str());
    std::printf("main job: table file %s (%zu bytes)\n", table.c_str(), ReadFile(table).size());
    EXPECT_FALSE(ReadFile(table).empty());
    Sleep(300);
    ASSERT_TRUE(Screenshot(out + "\\screenshot.png"));
    std::printf("main job: screenshot %s\\screenshot.png\n", out.c_str());
}

// Figures of a read-out paced at 9600 baud (VX_PACED characters) and one sent as fast as the cable takes it
// (VX_UNPACED); idle and erase CPU, peak memory, and the writes to the table per 1,000 characters, counted by strace.
TEST_F(Tools, Benchmark)
{
    for (const bool paced : { true, false }) {
        const size_t records = std::stoul(Env(paced ? "VX_PACED" : "VX_UNPACED", paced ? "16384" : "1048576")) / 32;
        Restart(Times(kLongRecord, records), paced ? 1042 : 0);
        const std::string name = paced ? "paced.txt" : "unpaced.txt", path = Path(name);
        const size_t chars = records * 32;
        Clock::time_point complete{};
        // The chooser's own cost is not the read-out's: the CPU is counted from the run's start.
        StartRun(name);
        const double cpu = CpuOver([&] {
            for (std::error_code error; !Enabled(main, IDC_ERASE); Sleep(paced ? 20 : 5))
                if (complete == Clock::time_point{} && fs::file_size(path, error) >= records * 40 && !error)
                    complete = Clock::now();
        });
        const Clock::time_point closed = Clock::now();
        const bool all = ReadFile(path) == Times(kLongRow, records);
        EXPECT_TRUE(all) << "characters were lost";
        const double wall = Seconds(closed - sim->FirstSent()), lineTime = chars * 10 / 9600.0;  // 8N1: 10 bits a byte
        std::printf("%-8s %8zu chars: wall %.2f s over line time %.2f s (%+.2f s), last char to file closed %.2f s,\n"
                    "         CPU %.4f s per 1000 chars, every character arrived: %s\n",
                    paced ? "paced" : "unpaced", chars, wall, lineTime, wall - lineTime,
                    Seconds(closed - sim->LastSent()), cpu * 1000.0 / chars, all ? "yes" : "NO");
        if (!paced) {
            ASSERT_NE(Clock::time_point{}, complete);
            const double rate = chars / Seconds(complete - sim->FirstSent());
            std::printf("         receive rate %.0f chars/s = %.0f x the 9600-baud line rate (960 chars/s)\n", rate,
                        rate / 960.0);
            continue;
        }
        const double idle = CpuOver([] { Sleep(10000); });
        std::printf("idle     CPU over 10 s with the port open: %.3f s (%.2f %%)\n", idle, idle * 10.0);
        const double erase = CpuOver([&] { ASSERT_TRUE(Click(Open(IDC_ERASE), IDOK) && sim->WaitErases(1, 3000)); });
        std::printf("erase    CPU from Delete to the command sent (pause to the next second included): %.3f s\n",
                    erase);
        const long peak = Status("VmHWM:");
        ASSERT_GE(peak, 0) << "the peak memory could not be measured";
        std::printf("memory   peak %ld KB\n", peak);
    }

    // strace slows every system call: its read-out gives the count of writes, no times.
    Restart(Times(kLongRecord, 1024));
    const std::string log = Path("strace.log"), tracer = UnixPath(Path("strace.pid"));
    ASSERT_EQ(0, Shell("strace -f -y -qq -e trace=write,pwrite64,writev,pwritev -o '" + UnixPath(log) + "' -p " +
                       std::to_string(pid) + " & echo $! >'" + tracer + "'"));
    // Attached once its log has begun: the program's threads write to the server all the time.
    ASSERT_TRUE(WaitFor([&] { return !ReadFile(log).empty(); }, 4000)) << "strace could not watch the program";
    StartRun("counted.txt");
    ASSERT_TRUE(WaitForEnd(120000));
    Shell("kill -INT $(cat '" + tracer + "'); while kill -0 $(cat '" + tracer + "') 2>/dev/null; do sleep 0.05; done");
    const std::string trace = ReadFile(log), mark = "<" + UnixPath(Path("counted.txt")) + ">";
    long writes = 0;
    for (size_t at = trace.find(mark); at != std::string::npos; at = trace.find(mark, at + 1))
        ++writes;
    std::printf("writes   %8d chars at 9600 baud: %ld writes to the table = %.1f per 1000 chars\n", 1024 * 32, writes,
                writes * 1000.0 / (1024 * 32));
}

// Pictures of every window for the user guide, each from a program of its own, so that no closed window leaves a
// trace; cut out of the display.
TEST_F(Tools, Screenshots)
{
    const std::string folder = Work() + "\\screenshots", dpi = Env("VORLIX_DPI");
    fs::create_directories(folder);
    const auto take = [&](HWND dialog, const std::string& name) {
        Sleep(500);  // let it paint
        RECT all, r;
        GetWindowRect(main, &all);
        if (dialog && GetWindowRect(dialog, &r))
            UnionRect(&all, &all, &r);
        char crop[64];  // 8 pixels around
        std::snprintf(crop, sizeof crop, "%ldx%ld+%ld+%ld", all.right - all.left + 16, all.bottom - all.top + 16,
                      std::max(0L, all.left - 8), std::max(0L, all.top - 8));
        EXPECT_TRUE(Screenshot(folder + "\\" + name + (dpi.empty() ? "" : "-" + dpi + "dpi") + ".png", crop))
            << "cannot take " << name;
    };
    const std::string records = loggersim::MakeRecords(20);

    // The main window after a read-out, showing its total.
    Restart(records);
    StartRun("messwerte.txt");
    ASSERT_TRUE(WaitForEnd(8000));
    take(nullptr, "main-window");

    Restart(records);
    take(Open(IDC_SETUP), "port-dialog");

    Restart(records);
    take(Open(IDC_ERASE), "erase-confirmation");

    Restart(records);
    PostMessageW(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    take(WaitOwned(main, 5000), "about-box");

    // The PC's ports, offered at start-up when the stored one is gone.
    Kill();
    std::ofstream(Path("vxsetup.ini")) << "3\n";
    Plug(7);
    Start(records);
    take(nullptr, "port-choice");
}

}  // namespace
}  // namespace e2e
