// vorlix_soak: long use in one program run. Reads the simulated logger out and
// erases it again and again, and prints the process's memory and handle
// counts (open host files behind Wine's handles, threads), so that growth
// from the tenth run to the last shows.
//
//   vorlix_soak [RUNS]   (VORLIX_EXE, VXDRIVER_EXE, VX_E2E_WORK as for the tests)
#include "Harness.h"
#include "LoggerSim.h"

#include <cstdio>
#include <dirent.h>
#include <cstdlib>
#include <fstream>
#include <thread>

using namespace e2e;

namespace {
constexpr int IDC_READ = 1001, IDC_ERASE = 1002;

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int OpenFiles(pid_t pid)
{
    // Wine keeps a host file descriptor behind most of a process's handles.
    int count = 0;
    if (DIR* fds = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str())) {
        while (readdir(fds))
            ++count;
        closedir(fds);
    }
    return count - 2;
}

void Report(pid_t pid, int run)
{
    std::printf("run %3d: RSS %ld KB, open files %d, threads %ld\n", run, ProcessStatus(pid, "VmRSS:"),
                OpenFiles(pid), ProcessStatus(pid, "Threads:"));
    std::fflush(stdout);
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
            const pid_t pid = ProgramPid();
            result = main.empty() || pid < 0 ? 1 : 0;
            for (int run = 1; run <= runs && result == 0; ++run) {
                const std::string table = dir + "/run.txt";
                if (!driver.ChooseTableFile(main, WinePath(table))) {
                    std::fprintf(stderr, "vorlix_soak: run %d: no file chooser\n", run);
                    result = 1;
                    break;
                }
                // The run: the buttons lock, and come back once the logger is quiet.
                for (int i = 0; i < 150 && driver.Enabled(main, IDC_READ); ++i)
                    Sleep(20);
                driver.WaitReadEnabled(main, 20000);
                std::string confirm;
                for (int attempt = 0; attempt < 3 && confirm.empty(); ++attempt) {
                    Sleep(200);
                    if (driver.Click(main, IDC_ERASE))
                        confirm = driver.WaitOwned(main, 5000);
                }
                if (confirm.empty() || !driver.Click(confirm, 1)) {
                    const std::string shot = "import -display " + session.Display() + " -window root '" + dir +
                                             "/failed.png' 2>/dev/null";
                    std::system(shot.c_str());
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
                if (run == 1 || run == 10 || run % 25 == 0 || run == runs)
                    Report(pid, run);
            }
            std::printf("peak memory %ld KB\n", ProcessStatus(pid, "VmHWM:"));
            driver.Close(main);
            program.WaitExit(5000);
        }
        sim.Stop();
    }
    session.Stop();
    return result;
}
