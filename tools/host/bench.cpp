// vorlix_bench: figures for a read-out with the real program under Wine.
//
//   vorlix_bench [PACED_BYTES [UNPACED_BYTES]]   (VORLIX_EXE, VXDRIVER_EXE, VX_E2E_WORK as for the tests)
//
// Prints, for a read-out paced at 9600 baud and one sent as fast as the
// virtual cable takes it: wall time over the line's own time, the time from
// the last character to the file being closed, the program's CPU seconds per
// 1,000 characters, the receive rate, and whether every character arrived;
// then the idle CPU use over ten seconds, the CPU of an erase, the peak
// memory, and, from a read-out watched by strace, the writes to the table per
// 1,000 characters. Every figure is of the program this benchmark started; one
// that cannot be measured ends the benchmark with a failure instead.
#include "Harness.h"
#include "LoggerSim.h"
#include "readout/RecordFormatter.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

using namespace e2e;
using Clock = std::chrono::steady_clock;

namespace {
constexpr int IDC_ERASE = 1002;
constexpr double kByteSeconds = 10.0 / 9600.0;  // 8N1: ten bits a byte

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string Records(size_t bytes)
{
    std::string records = loggersim::MakeRecords(static_cast<int>(bytes / 32 + 1));
    records.resize(bytes - bytes % 32);  // whole lines of 32 bytes
    return records;
}

// A figure that could not be measured ends the benchmark.
bool Measured(double value, const char* what)
{
    if (value >= 0)
        return true;
    std::fprintf(stderr, "vorlix_bench: %s could not be measured\n", what);
    return false;
}

// The program's CPU seconds over `action`; -1 when they could not be read.
template <class Action>
double CpuOver(pid_t pid, Action action)
{
    const double before = CpuSeconds(pid);
    action();
    const double after = CpuSeconds(pid);
    return before < 0 || after < 0 || after < before ? -1 : after - before;
}

// strace on every thread of the program, counting its writes to one file.
class WriteCounter {
public:
    bool Start(pid_t pid, const std::string& dir)
    {
        m_log = dir + "/strace.log";
        std::remove(m_log.c_str());
        m_strace = Spawn({ "strace", "-f", "-y", "-qq", "-e", "trace=write,pwrite64,writev,pwritev",
                           "-o", m_log, "-p", std::to_string(pid) },
                         dir, dir + "/strace.err");
        // Attached once its log has begun (the program's threads write to the server all the time).
        for (int i = 0; i < 200; ++i) {
            struct stat st;
            if (stat(m_log.c_str(), &st) == 0 && st.st_size > 0)
                return true;
            Sleep(20);
        }
        return false;
    }
    // Detaches; the writes that went to `path`, -1 when strace did not run.
    long Stop(const std::string& path)
    {
        if (m_strace.pid <= 0)
            return -1;
        kill(m_strace.pid, SIGINT);
        m_strace.WaitExit(5000);
        const std::string log = ReadFile(m_log);
        const std::string mark = "<" + path + ">";
        long writes = 0;
        for (size_t at = log.find(mark); at != std::string::npos; at = log.find(mark, at + 1))
            ++writes;
        return log.empty() ? -1 : writes;
    }

private:
    Process m_strace;
    std::string m_log;
};

struct Run {
    size_t bytes = 0;
    double cpu = -1;
    bool all = false;
};

Run ReadOut(Session& session, const std::string& dir, const std::string& main, loggersim::Simulator& sim,
            const char* label, pid_t pid, bool paced)
{
    Run run;
    const std::string table = dir + "/" + label + ".txt";
    std::remove(table.c_str());
    Driver& driver = session.driver();
    Clock::time_point complete{}, closed{};
    std::string expected;
    // The chooser's own cost is not the read-out's: the CPU is counted from the run's start.
    if (!driver.ChooseTableFile(main, WinePath(table)) || !driver.WaitReadOutStarted(main, 5000))
        return run;
    run.cpu = CpuOver(pid, [&] {
        while (sim.ReadOuts() == 0 || !sim.Sending())
            Sleep(1);
        expected = [&] { uint8_t pos = 0; return FormatRecords(sim.Records(), pos); }();
        // Unpaced, the receive rate is measured up to the last byte written.
        while (!driver.Enabled(main, IDC_ERASE)) {
            struct stat st;
            if (!paced && complete == Clock::time_point{} && stat(table.c_str(), &st) == 0 &&
                static_cast<size_t>(st.st_size) >= expected.size())
                complete = Clock::now();
            Sleep(paced ? 20 : 5);
        }
        closed = Clock::now();
    });
    if (closed == Clock::time_point{})
        return run;
    run.bytes = sim.Records().size();
    run.all = ReadFile(table) == expected;
    const double lineTime = run.bytes * kByteSeconds;
    const double wall = Seconds(closed - sim.FirstSent());
    std::printf("%-8s %8zu chars: wall %.2f s over line time %.2f s (%+.2f s), last char to file closed %.2f s,\n"
                "         CPU %.4f s per 1000 chars, every character arrived: %s\n",
                label, run.bytes, wall, lineTime, wall - lineTime, Seconds(closed - sim.LastSent()),
                run.cpu * 1000.0 / static_cast<double>(run.bytes), run.all ? "yes" : "NO");
    if (!paced) {
        if (complete == Clock::time_point{})
            run.all = false;
        else {
            const double rate = run.bytes / Seconds(complete - sim.FirstSent());
            std::printf("         receive rate %.0f chars/s = %.0f x the 9600-baud line rate (960 chars/s)\n", rate,
                        rate / 960.0);
        }
    }
    return run;
}

// Erases the logger: Delete, Yes, and the command at the next whole second.
bool Erase(Driver& driver, const std::string& main, loggersim::Simulator& sim)
{
    const int before = sim.Erases();
    if (!driver.ConfirmErase(main))
        return false;
    for (int i = 0; i < 300 && sim.Erases() == before; ++i)
        Sleep(10);
    return sim.Erases() > before;
}

bool Bench(Session& session, size_t pacedBytes, size_t unpacedBytes)
{
    const std::string dir = session.Work() + "/bench";
    MakeDirs(dir);
    bool ok = true;
    for (const char* label : { "paced", "unpaced", "strace" }) {
        const bool paced = label[0] == 'p';
        const bool traced = label[0] == 's';
        Cable cable(dir);
        loggersim::Options options;
        options.records = Records(paced ? pacedBytes : traced ? 32768 : unpacedBytes);
        options.byteMicros = paced || traced ? 1042 : 0;
        loggersim::Simulator sim(options);
        std::string error;
        if (!cable.Ok() || !sim.Start(cable.LoggerEnd(), &error)) {
            std::fprintf(stderr, "vorlix_bench: no cable: %s\n", error.c_str());
            return false;
        }
        session.LinkComPorts({ { 2, cable.ComEnd() } });
        Program program;
        program.Start(dir, dir + "/wine.log");
        const std::string main = session.driver().WaitWindow("Vorlix", 30000);
        const pid_t pid = program.HostPid();
        if (main.empty() || pid < 0) {
            std::fprintf(stderr, "vorlix_bench: the program did not start, or its process is not known\n");
            return false;
        }
        if (traced) {
            // strace slows every system call: its read-out gives the count of writes, no times.
            WriteCounter counter;
            if (!counter.Start(pid, dir)) {
                std::fprintf(stderr, "vorlix_bench: strace could not watch the program\n");
                return false;
            }
            const std::string table = dir + "/counted.txt";
            std::remove(table.c_str());
            const bool done = session.driver().ChooseTableFile(main, WinePath(table)) &&
                              session.driver().WaitReadOutStarted(main, 5000) &&
                              session.driver().WaitReadOutEnded(main, 120000);
            const long writes = counter.Stop(table);
            ok = done && Measured(writes, "the writes to the table") && ok;
            if (done && writes >= 0)
                std::printf("writes   %8zu chars at 9600 baud: %ld writes to the table = %.1f per 1000 chars\n",
                            sim.Records().size(), writes, writes * 1000.0 / static_cast<double>(sim.Records().size()));
        } else {
            const Run run = ReadOut(session, dir, main, sim, label, pid, paced);
            ok = Measured(run.cpu, "the CPU of the read-out") && run.all && ok;
        }
        if (paced) {
            const double idle = CpuOver(pid, [] { Sleep(10000); });
            ok = Measured(idle, "the idle CPU") && ok;
            std::printf("idle     CPU over 10 s with the port open: %.3f s (%.2f %%)\n", idle, idle * 10.0);
            bool erased = false;
            const double erase = CpuOver(pid, [&] { erased = Erase(session.driver(), main, sim); });
            ok = erased && Measured(erase, "the CPU of an erase") && ok;
            std::printf("erase    CPU from Delete to the command sent (pause to the next second included): %.3f s\n",
                        erase);
            const long peak = ProcessStatus(pid, "VmHWM:");
            ok = Measured(peak, "the peak memory") && ok;
            std::printf("memory   peak %ld KB\n", peak);
        }
        session.driver().Close(main);
        program.WaitExit(5000);
        sim.Stop();
    }
    return ok;
}
}  // namespace

int main(int argc, char** argv)
{
    const size_t paced = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 16384;
    const size_t unpaced = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1048576;
    Session& session = Session::Get();
    std::string error;
    if (!session.Start(&error)) {
        std::fprintf(stderr, "vorlix_bench: %s\n", error.c_str());
        session.Stop();
        return 1;
    }
    const bool ok = Bench(session, paced, unpaced);
    session.Stop();
    if (!ok)
        std::fprintf(stderr, "vorlix_bench: FAILED\n");
    return ok ? 0 : 1;
}
