// vorlix_demo: the main job without a display. Starts Vorlix under Wine on a
// private Xvfb, with the logger simulator on COM 2, reads the logger out
// through the program's own windows as a user would, and leaves the table
// file and a screenshot of the finished window in the output folder.
//
//   vorlix_demo OUTDIR [LINES]     (VORLIX_EXE, VXDRIVER_EXE, VX_E2E_WORK as for the tests)
#include "Harness.h"
#include "LoggerSim.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace e2e;

namespace {
constexpr int IDC_BYTES = 1004;

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: vorlix_demo OUTDIR [LINES]\n");
        return 2;
    }
    const std::string out = argv[1];
    const int lines = argc > 2 ? std::atoi(argv[2]) : 400;
    MakeDirs(out);

    Session& session = Session::Get();
    std::string error;
    if (!session.Start(&error)) {
        std::fprintf(stderr, "vorlix_demo: %s\n", error.c_str());
        session.Stop();
        return 1;
    }
    int result = 1;
    {
        Cable cable(session.Work());
        loggersim::Options options;
        options.records = loggersim::MakeRecords(lines);
        loggersim::Simulator logger(options);
        Program program;
        if (cable.Ok() && logger.Start(cable.LoggerEnd(), &error)) {
            session.LinkComPorts({ { 2, cable.ComEnd() } });
            program.Start(out, session.Work() + "/wine.log");
            Driver& driver = session.driver();
            const std::string main = driver.WaitWindow("Vorlix", 30000);
            if (main.empty()) {
                std::fprintf(stderr, "vorlix_demo: the main window did not appear\n");
            } else {
                const std::string table = out + "/messwerte.txt";
                std::remove(table.c_str());
                if (!driver.ChooseTableFile(main, WinePath(table))) {
                    std::fprintf(stderr, "vorlix_demo: Read opened no file chooser\n");
                } else {
                    std::printf("vorlix_demo: reading out %zu bytes from the simulated logger...\n",
                                options.records.size());
                    // The run ends by itself once the logger has been quiet for a timer period.
                    driver.WaitReadOutStarted(main, 3000);
                    driver.WaitReadOutEnded(main, 5 * 60 * 1000);
                    std::printf("vorlix_demo: received bytes shown: %s\n", driver.Text(main, IDC_BYTES).c_str());
                    std::printf("vorlix_demo: table file %s (%zu bytes)\n", table.c_str(), ReadFile(table).size());
                    result = ReadFile(table).empty() ? 1 : 0;
                }
                Sleep(300);
                const std::string shot = out + "/screenshot.png";
                if (session.Screenshot(shot))
                    std::printf("vorlix_demo: screenshot %s\n", shot.c_str());
                else
                    result = 1;
                driver.Close(main);
                program.WaitExit(5000);
            }
        } else {
            std::fprintf(stderr, "vorlix_demo: no cable or logger: %s\n", error.c_str());
        }
        logger.Stop();
    }
    session.Stop();
    return result;
}
