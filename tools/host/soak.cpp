// vorlix_soak: long use in one program run. Reads the simulated logger out and
// erases it again and again, and prints what the process holds along the way:
// memory, kernel handles, windows, the host files behind Wine's handles and
// threads. It fails when the process holds more at the last run than at the
// tenth, apart from the key Wine's own file chooser leaves open each time.
//
//   vorlix_soak [RUNS]   (VORLIX_EXE, VXDRIVER_EXE, VX_E2E_WORK as for the tests)
#include "Harness.h"
#include "LoggerSim.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <thread>

using namespace e2e;

namespace {
constexpr int kFirstCompared = 10;

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int OpenFiles(pid_t pid)
{
    // Wine keeps a host file descriptor behind most of a process's handles.
    DIR* fds = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
    if (!fds)
        return -1;
    int count = 0;
    while (readdir(fds))
        ++count;
    closedir(fds);
    return count - 2;  // "." and ".."
}

struct Holdings {
    long rss = 0, heap = 0;  // KB: all resident memory, and the anonymous part of it
    std::vector<std::string> handles;
    int windows = 0, files = 0;
    long threads = 0;
};

Holdings Measure(Driver& driver, const std::string& main, pid_t pid)
{
    Holdings h;
    h.rss = ProcessStatus(pid, "VmRSS:");
    h.heap = ProcessStatus(pid, "RssAnon:");
    h.handles = driver.Handles(main);
    h.windows = driver.Windows(main);
    h.files = OpenFiles(pid);
    h.threads = ProcessStatus(pid, "Threads:");
    return h;
}

void Report(const Holdings& h, int run)
{
    std::printf("run %3d: RSS %ld KB (anonymous %ld KB), handles %zu, windows %d, open files %d, threads %ld\n", run,
                h.rss, h.heap, h.handles.size(), h.windows, h.files, h.threads);
    std::fflush(stdout);
}

// Prints how the holdings changed from run kFirstCompared to the last run;
// true when the process holds nothing more apart from Wine's chooser keys.
bool Compare(Driver& driver, const std::string& main, const Holdings& before, const Holdings& after, int runs)
{
    std::printf("from run %d to run %d: RSS %+ld KB, anonymous %+ld KB, handles %+ld, windows %+d, open files %+d, "
                "threads %+ld\n",
                kFirstCompared, kFirstCompared + runs, after.rss - before.rss, after.heap - before.heap,
                static_cast<long>(after.handles.size()) - static_cast<long>(before.handles.size()),
                after.windows - before.windows, after.files - before.files, after.threads - before.threads);
    const std::map<std::string, int> grown = driver.HandlesGrown(main, before.handles, runs);
    for (const auto& [handle, more] : grown)
        std::printf("  %d more: %s\n", more, handle.c_str());
    if (grown.empty() && after.handles.size() > before.handles.size())
        std::printf("  the handles added are the registry keys Wine's file chooser leaves open, one per read-out\n");
    return grown.empty() && after.windows == before.windows && after.files == before.files &&
           after.threads == before.threads;
}
}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 100;
    Session& session = Session::Get();
    std::string error;
    if (!session.Start(&error)) {
        std::fprintf(stderr, "vorlix_soak: %s\n", error.c_str());
        session.Stop();
        return 1;
    }
    int result = 1;
    {
        const std::string dir = session.Work() + "/soak";
        MakeDirs(dir);
        Cable cable(dir);
        loggersim::Options options;
        options.records = loggersim::MakeRecords(20);
        options.raw = true;  // the records stay after an erase
        loggersim::Simulator sim(options);
        Program program;
        if (cable.Ok() && sim.Start(cable.LoggerEnd(), &error)) {
            session.LinkComPorts({ { 2, cable.ComEnd() } });
            program.Start(dir, dir + "/wine.log");
            Driver& driver = session.driver();
            const std::string main = driver.WaitWindow("Vorlix", 30000);
            const pid_t pid = program.HostPid();
            result = main.empty() || pid < 0 ? 1 : 0;
            Holdings compared, last;
            for (int run = 1; run <= runs && result == 0; ++run) {
                const std::string table = dir + "/run.txt";
                std::remove(table.c_str());  // a table that is there would be asked about first
                if (!driver.ChooseTableFile(main, WinePath(table))) {
                    std::fprintf(stderr, "vorlix_soak: run %d: no file chooser\n", run);
                    result = 1;
                    break;
                }
                // The run: the buttons lock, and come back once the logger is quiet.
                if (!driver.WaitReadOutStarted(main, 3000) || !driver.WaitReadOutEnded(main, 20000)) {
                    std::fprintf(stderr, "vorlix_soak: run %d: the read-out did not end\n", run);
                    result = 1;
                    break;
                }
                if (!driver.ConfirmErase(main)) {
                    session.Screenshot(dir + "/failed.png");
                    std::fprintf(stderr, "vorlix_soak: run %d: no erase confirmation\n", run);
                    result = 1;
                    break;
                }
                for (int i = 0; i < 150 && sim.Erases() < run; ++i)
                    Sleep(20);
                if (sim.Erases() < run) {
                    std::fprintf(stderr, "vorlix_soak: run %d: the erase command did not arrive\n", run);
                    result = 1;
                    break;
                }
                if (ReadFile(table).empty()) {
                    std::fprintf(stderr, "vorlix_soak: run %d: empty table\n", run);
                    result = 1;
                }
                if (run == 1 || run == 5 || run % 10 == 0 || run == runs) {
                    const Holdings now = Measure(driver, main, pid);
                    if (now.rss < 0 || now.heap < 0 || now.threads < 0 || now.files < 0 || now.windows < 0 ||
                        now.handles.empty()) {
                        std::fprintf(stderr, "vorlix_soak: run %d: what the program holds could not be measured\n",
                                     run);
                        result = 1;
                        break;
                    }
                    Report(now, run);
                    if (run == kFirstCompared)
                        compared = now;
                    last = now;
                }
            }
            const long peak = ProcessStatus(pid, "VmHWM:");
            if (peak < 0)
                result = 1;
            std::printf("peak memory %ld KB\n", peak);
            if (result == 0 && runs > kFirstCompared && !Compare(driver, main, compared, last, runs - kFirstCompared)) {
                std::fprintf(stderr, "vorlix_soak: the process holds more than at run %d\n", kFirstCompared);
                result = 1;
            }
            driver.Close(main);
            program.WaitExit(5000);
        }
        sim.Stop();
    }
    session.Stop();
    return result;
}
