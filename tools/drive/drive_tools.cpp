// The tools that drive the real program under Wine the way the end-to-end
// tests do, with their harness, but are no tests: the main job's read-out,
// the benchmark, the user guide's pictures and the soak. tools/drive.sh runs
// one by name (Tools.NAME), with its settings in the environment.
#include "Fixture.h"

#include <cstdio>
#include <cstring>
#include <sstream>

namespace e2e {
namespace {

// A setting from the environment; `fallback` when it is not set.
long EnvNumber(const char* name, long fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? std::atol(value) : fallback;
}

// A Linux process's CPU seconds; -1 when unknown. In /proc/PID/stat the name
// in parentheses may hold blanks; utime and stime are the 12th and 13th fields
// after it, in ticks of 1/100 s.
double CpuSeconds(long unixPid)
{
    const std::string stat = ReadFile("Z:\\proc\\" + std::to_string(unixPid) + "\\stat");
    std::istringstream fields(stat.substr(std::min(stat.size(), stat.rfind(')') + 1)));
    std::string field;
    double ticks = 0;
    int i = 0;
    for (; i < 13 && fields >> field; ++i)
        ticks += i >= 11 ? std::stod(field) : 0;
    return i < 13 ? -1 : ticks / 100.0;
}

// A number from a Linux process's status, e.g. "VmHWM:" in KB; -1 when absent.
long ProcessStatus(long unixPid, const char* key)
{
    std::istringstream status(ReadFile("Z:\\proc\\" + std::to_string(unixPid) + "\\status"));
    for (std::string line; std::getline(status, line);)
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + strlen(key));
    return -1;
}

// The files a Linux process holds open; Wine keeps one behind most handles. -1 when unknown.
long OpenFiles(long unixPid)
{
    std::error_code error;
    const fs::directory_iterator fd("Z:\\proc\\" + std::to_string(unixPid) + "\\fd", error);
    return error ? -1L : static_cast<long>(std::distance(fd, fs::directory_iterator()));
}

// A picture of the display, or of the part of it `crop` gives ("WxH+X+Y").
bool Screenshot(const std::string& path, const std::string& crop = std::string())
{
    fs::remove(path);
    return Shell("import -display \"$DISPLAY\" -window root " + (crop.empty() ? "" : "-crop " + crop + " +repage ") +
                 "'" + UnixPath(path) + "'") == 0 &&
           ReadFile(path).substr(0, 4) == "\x89PNG";
}

// The benchmark's record: a logger line of the README's shape, 32 characters,
// and its row of 40 bytes.
constexpr char kLongRecord[] = " 31126 7 021.01013.945.1 996.2\r\n";
constexpr char kLongRow[] = "03.11.26\t07:00\t21,0\t1013,9\t45,1\t 996,2\t\n";

class Tools : public VorlixTest {
protected:
    // The program started afresh (the old one ended) on a logger holding `records`.
    void Restart(loggersim::Options options)
    {
        program.Kill();
        StartLogger(std::move(options));
        ASSERT_TRUE(StartProgram());
        pid = UnixPid();
        ASSERT_GT(pid, 0) << "the program's own process is not known";
    }

    // The Linux process that runs the program, for what only Linux tells
    // (CPU, memory, system calls); -1 when it cannot be found. Wine runs it
    // in a Linux process named after it, in its working directory.
    long UnixPid()
    {
        const std::string found = Path("unix-pid.txt");
        Shell("for p in $(pgrep -x vorlix.exe); do [ \"$(readlink /proc/$p/cwd)\" != '" + UnixPath(dir) +
              "' ] || echo $p; done >'" + UnixPath(found) + "'");
        const long unixPid = std::atol(ReadFile(found).c_str());
        fs::remove(found);
        return program.Running() && unixPid > 0 ? unixPid : -1;
    }

    // The program's CPU seconds over `action`; a figure that cannot be measured fails.
    template <class Action>
    double CpuOver(Action action)
    {
        const double before = CpuSeconds(pid);
        action();
        const double after = CpuSeconds(pid);
        EXPECT_TRUE(before >= 0 && after >= before) << "the program's CPU could not be measured";
        return after - before;
    }

    long pid = -1;
};

// The main job without a display: a read-out through the program's windows,
// leaving the table and a picture of the finished window in VX_OUT.
TEST_F(Tools, MainJob)
{
    const char* outFolder = std::getenv("VX_OUT");  // a Linux path
    const std::string out = outFolder && *outFolder ? WindowsPath(outFolder) : dir;
    const int lines = static_cast<int>(EnvNumber("VX_LINES", 400));
    Restart(Logger(loggersim::MakeRecords(lines)));
    const std::string table = out + "\\messwerte.txt";
    fs::remove(table);
    std::printf("main job: reading out %d records from the simulated logger...\n", lines);
    ASSERT_TRUE(ChooseTableFile(table)) << "Read opened no file chooser";
    ASSERT_TRUE(WaitFor([&] { return !Enabled(main, IDC_ERASE); }, 3000)) << "the run did not start";
    ASSERT_TRUE(WaitForEnd(5 * 60 * 1000));
    std::printf("main job: received bytes shown: %s\n", Text(main, IDC_BYTES).c_str());
    std::printf("main job: table file %s (%zu bytes)\n", table.c_str(), ReadFile(table).size());
    EXPECT_FALSE(ReadFile(table).empty());
    Sleep(300);
    ASSERT_TRUE(Screenshot(out + "\\screenshot.png"));
    std::printf("main job: screenshot %s\\screenshot.png\n", out.c_str());
}

// Figures of a read-out paced at 9600 baud (VX_PACED characters) and one sent
// as fast as the cable takes it (VX_UNPACED); idle and erase CPU, peak memory,
// and the writes to the table per 1,000 characters, counted by strace.
TEST_F(Tools, Benchmark)
{
    constexpr double kByteSeconds = 10.0 / 9600.0;  // 8N1: ten bits a byte
    for (const bool paced : { true, false }) {
        const size_t records = static_cast<size_t>(EnvNumber(paced ? "VX_PACED" : "VX_UNPACED", paced ? 16384 : 1048576)) / 32;
        Restart(Logger(Times(kLongRecord, records), paced ? 1042 : 0));
        const std::string name = paced ? "paced.txt" : "unpaced.txt", path = Path(name);
        const size_t chars = records * 32, tableSize = records * 40;
        Clock::time_point complete{};
        // The chooser's own cost is not the read-out's: the CPU is counted from the run's start.
        StartRun(name);
        const double cpu = CpuOver([&] {
            while (!Enabled(main, IDC_ERASE)) {
                std::error_code error;
                if (complete == Clock::time_point{} && fs::file_size(path, error) >= tableSize && !error)
                    complete = Clock::now();
                Sleep(paced ? 20 : 5);
            }
        });
        const Clock::time_point closed = Clock::now();
        const bool all = ReadFile(path) == Times(kLongRow, records);
        EXPECT_TRUE(all) << "characters were lost";
        const double wall = Seconds(closed - sim->FirstSent()), lineTime = chars * kByteSeconds;
        std::printf("%-8s %8zu chars: wall %.2f s over line time %.2f s (%+.2f s), last char to file closed %.2f s,\n"
                    "         CPU %.4f s per 1000 chars, every character arrived: %s\n",
                    paced ? "paced" : "unpaced", chars, wall, lineTime, wall - lineTime, Seconds(closed - sim->LastSent()),
                    cpu * 1000.0 / chars, all ? "yes" : "NO");
        if (!paced) {
            ASSERT_NE(Clock::time_point{}, complete);
            const double rate = chars / Seconds(complete - sim->FirstSent());
            std::printf("         receive rate %.0f chars/s = %.0f x the 9600-baud line rate (960 chars/s)\n", rate,
                        rate / 960.0);
            continue;
        }
        const double idle = CpuOver([] { Sleep(10000); });
        std::printf("idle     CPU over 10 s with the port open: %.3f s (%.2f %%)\n", idle, idle * 10.0);
        const double erase = CpuOver([&] { ASSERT_TRUE(ConfirmErase() && sim->WaitErases(1, 3000)); });
        std::printf("erase    CPU from Delete to the command sent (pause to the next second included): %.3f s\n", erase);
        const long peak = ProcessStatus(pid, "VmHWM:");
        ASSERT_GE(peak, 0) << "the peak memory could not be measured";
        std::printf("memory   peak %ld KB\n", peak);
    }

    // strace slows every system call: its read-out gives the count of writes, no times.
    Restart(Logger(Times(kLongRecord, 1024)));
    const std::string log = Path("strace.log"), table = Path("counted.txt"), tracer = UnixPath(Path("strace.pid"));
    ASSERT_EQ(0, Shell("strace -f -y -qq -e trace=write,pwrite64,writev,pwritev -o '" + UnixPath(log) + "' -p " +
                       std::to_string(pid) + " & echo $! >'" + tracer + "'"));
    // Attached once its log has begun: the program's threads write to the server all the time.
    ASSERT_TRUE(WaitFor([&] { return !ReadFile(log).empty(); }, 4000)) << "strace could not watch the program";
    StartRun("counted.txt");
    ASSERT_TRUE(WaitForEnd(120000));
    Shell("kill -INT $(cat '" + tracer + "'); while kill -0 $(cat '" + tracer + "') 2>/dev/null; do sleep 0.05; done");
    const std::string trace = ReadFile(log), mark = "<" + UnixPath(table) + ">";
    long writes = 0;
    for (size_t at = trace.find(mark); at != std::string::npos; at = trace.find(mark, at + 1))
        ++writes;
    std::printf("writes   %8d chars at 9600 baud: %ld writes to the table = %.1f per 1000 chars\n", 1024 * 32, writes,
                writes * 1000.0 / (1024 * 32));
}

// Pictures of every window for the user guide, each from a program of its
// own, so that no closed window leaves a trace; cut out of the display.
TEST_F(Tools, Screenshots)
{
    const auto take = [&](HWND dialog, const std::string& name) {
        Sleep(500);  // let it paint
        RECT all;
        GetWindowRect(main, &all);
        if (RECT r; dialog && GetWindowRect(dialog, &r))
            UnionRect(&all, &all, &r);
        constexpr int kMargin = 8;
        const char* dpi = std::getenv("VORLIX_DPI");
        const std::string folder = Work() + "\\screenshots";
        fs::create_directories(folder);
        const std::string crop = std::to_string(all.right - all.left + 2 * kMargin) + "x" +
                                 std::to_string(all.bottom - all.top + 2 * kMargin) + "+" +
                                 std::to_string(std::max(0L, all.left - kMargin)) + "+" +
                                 std::to_string(std::max(0L, all.top - kMargin));
        EXPECT_TRUE(Screenshot(folder + "\\" + name + (dpi && *dpi ? std::string("-") + dpi + "dpi" : "") + ".png", crop))
            << "cannot take " << name;
    };
    const loggersim::Options logger = Logger(loggersim::MakeRecords(20));

    // The main window after a read-out, showing its total.
    Restart(logger);
    StartRun("messwerte.txt");
    ASSERT_TRUE(WaitForEnd(8000));
    take(nullptr, "main-window");

    Restart(logger);
    take(OpenPortDialog(), "port-dialog");

    Restart(logger);
    take(Open(IDC_ERASE), "erase-confirmation");

    Restart(logger);
    SysCommand(main, IDM_ABOUTBOX);
    take(WaitOwned(main, 5000), "about-box");

    // The PC's ports, offered at start-up when the stored one is gone.
    program.Kill();
    WriteFile(Path("vxsetup.ini"), "3\n");
    LinkComPorts({ { 7, cable->ComEnd() } });
    ASSERT_TRUE(program.Start(dir));
    main = WaitWindow(kErrorBoxTitle, 30000);
    take(nullptr, "port-choice");
}

// Long use in one program run: VX_ROUNDS rounds (default 100) of the
// end-to-end tests' repeated use after the first, with memory, handles,
// windows, threads and open files along the way; fails when the program
// holds more at the end than after the first round.
TEST_F(Tools, Soak)
{
    const int rounds = static_cast<int>(EnvNumber("VX_ROUNDS", 100));
    Restart(Logger(Times(kRecord, 10), 1042, true));  // the records stay after an erase
    struct Holdings {
        int handles, windows;
        long threads, files;
    };
    const auto measure = [&](int round) {
        const Holdings h{ HandleCount(main), Windows(main), ProcessStatus(pid, "Threads:"), OpenFiles(pid) };
        std::printf("round %3d: memory %ld KB, handles %d, windows %d, threads %ld, open files %ld\n", round,
                    ProcessStatus(pid, "VmRSS:"), h.handles, h.windows, h.threads, h.files);
        std::fflush(stdout);
        return h;
    };
    UseOnce();
    const Holdings first = measure(1);
    ASSERT_TRUE(first.handles > 0 && first.windows > 0 && first.threads > 0 && first.files > 0)
        << "what the program holds cannot be measured";
    for (int round = 2; round <= rounds + 1 && !HasFailure(); ++round) {
        UseOnce();
        if (round % 10 == 0)
            measure(round);
    }
    const Holdings last = measure(rounds + 1);
    std::printf("peak memory %ld KB\n", ProcessStatus(pid, "VmHWM:"));
    EXPECT_TRUE(NothingOpen());
    EXPECT_EQ(first.windows, last.windows);
    EXPECT_EQ(first.threads, last.threads);
    EXPECT_EQ(first.files, last.files);
    // One registry key a round is Wine's file chooser's (see the e2e test).
    EXPECT_TRUE(WaitFor([&] { return HandleCount(main) <= first.handles + rounds; }, 3000))
        << HandleCount(main) - first.handles << " handles more after " << rounds << " rounds";
}

}  // namespace
}  // namespace e2e
