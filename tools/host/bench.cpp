// vorlix_bench: figures for a read-out with the real program under Wine.
//
//   vorlix_bench [PACED_BYTES [UNPACED_BYTES]]   (VORLIX_EXE, VXDRIVER_EXE, VX_E2E_WORK as for the tests)
//
// Prints, for a read-out paced at 9600 baud and one sent as fast as the
// virtual cable takes it: wall time over the line's own time, the time from
// the last character to the file being closed, the program's CPU seconds per
// 1,000 characters, the receive rate, and whether every character arrived;
// then the idle CPU use over ten seconds and the peak memory.
#include "Harness.h"
#include "LoggerSim.h"
#include "readout/RecordFormatter.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

using namespace e2e;
using Clock = std::chrono::steady_clock;

namespace {
constexpr int IDC_READ = 1001;
constexpr double kByteSeconds = 10.0 / 9600.0;  // 8N1: ten bits a byte

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string Records(size_t bytes)
{
    std::string records = loggersim::MakeRecords(static_cast<int>(bytes / 32 + 1));
    records.resize(bytes - bytes % 32);  // whole lines of 32 bytes
    return records;
}

bool RunOnce(Session& session, const std::string& dir, const std::string& main, loggersim::Simulator& sim,
             const char* label, pid_t pid, bool paced)
{
    const std::string table = dir + "/" + label + ".txt";
    std::remove(table.c_str());
    Driver& driver = session.driver();
    const double cpuBefore = CpuSeconds(pid);
    if (!driver.ChooseTableFile(main, WinePath(table)))
        return false;
    while (sim.ReadOuts() == 0 || !sim.Sending())
        Sleep(1);
    const std::string expected = [&] { uint8_t pos = 0; return FormatRecords(sim.Records(), pos); }();
    // Unpaced, the receive rate is measured up to the last byte written.
    Clock::time_point complete{};
    while (!driver.Enabled(main, IDC_READ)) {
        struct stat st;
        if (!paced && complete == Clock::time_point{} && stat(table.c_str(), &st) == 0 &&
            static_cast<size_t>(st.st_size) >= expected.size())
            complete = Clock::now();
        Sleep(paced ? 20 : 5);
    }
    const Clock::time_point closed = Clock::now();
    const double cpu = CpuSeconds(pid) - cpuBefore;
    const size_t bytes = sim.Records().size();
    const double lineTime = bytes * kByteSeconds;
    const double wall = Seconds(closed - sim.FirstSent());
    const bool all = ReadFile(table) == expected;
    std::printf("%-8s %8zu chars: wall %.2f s over line time %.2f s (%+.2f s), last char to file closed %.2f s,\n"
                "         CPU %.4f s per 1000 chars, every character arrived: %s\n",
                label, bytes, wall, lineTime, wall - lineTime, Seconds(closed - sim.LastSent()),
                cpu * 1000.0 / static_cast<double>(bytes), all ? "yes" : "NO");
    if (!paced && complete != Clock::time_point{}) {
        const double rate = bytes / Seconds(complete - sim.FirstSent());
        std::printf("         receive rate %.0f chars/s = %.0f x the 9600-baud line rate (960 chars/s)\n", rate,
                    rate / 960.0);
    }
    return all;
}

bool Run(Session& session, size_t pacedBytes, size_t unpacedBytes)
{
    const std::string dir = session.Work() + "/bench";
    MakeDirs(dir);
    bool ok = true;
    for (int round = 0; round < 2; ++round) {
        const bool paced = round == 0;
        Cable cable(dir);
        loggersim::Options options;
        options.records = Records(paced ? pacedBytes : unpacedBytes);
        options.byteMicros = paced ? 1042 : 0;
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
        const pid_t pid = ProgramPid();
        if (main.empty() || pid < 0) {
            std::fprintf(stderr, "vorlix_bench: the program did not start\n");
            return false;
        }
        ok = RunOnce(session, dir, main, sim, paced ? "paced" : "unpaced", pid, paced) && ok;
        if (paced) {
            const double before = CpuSeconds(pid);
            Sleep(10000);
            std::printf("idle     CPU over 10 s with the port open: %.3f s (%.2f %%), peak memory %ld KB\n",
                        CpuSeconds(pid) - before, (CpuSeconds(pid) - before) * 10.0, ProcessStatus(pid, "VmHWM:"));
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
    const bool ok = Run(session, paced, unpaced);
    session.Stop();
    return ok ? 0 : 1;
}
