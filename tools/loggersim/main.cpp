// loggersim: a data logger on a serial device, for trying Vorlix without one.
//
//   loggersim DEVICE [--lines N] [--records FILE] [--raw FILE] [--unpaced]
//             [--byte-us N] [--pause-after BYTES --pause-ms MS] [--log FILE]
#include "LoggerSim.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

bool ReadFile(const char* path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return true;
}

int Usage()
{
    std::cerr << "usage: loggersim DEVICE [--lines N] [--records FILE] [--raw FILE] [--unpaced] [--byte-us N]\n"
                 "                 [--pause-after BYTES --pause-ms MS] [--log FILE]\n";
    return 2;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    const char* device = argv[1];
    loggersim::Options options;
    int lines = 400;
    const char* logPath = nullptr;
    bool haveRecords = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--lines" && hasValue) {
            lines = std::atoi(argv[++i]);
        } else if ((arg == "--records" || arg == "--raw") && hasValue) {
            if (!ReadFile(argv[++i], options.records)) {
                std::cerr << "loggersim: cannot read " << argv[i] << "\n";
                return 1;
            }
            options.raw = arg == "--raw";
            haveRecords = true;
        } else if (arg == "--unpaced") {
            options.byteMicros = 0;
        } else if (arg == "--byte-us" && hasValue) {
            options.byteMicros = std::atol(argv[++i]);
        } else if (arg == "--pause-after" && hasValue) {
            options.pauseAfter = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--pause-ms" && hasValue) {
            options.pauseMillis = std::atol(argv[++i]);
        } else if (arg == "--log" && hasValue) {
            logPath = argv[++i];
        } else {
            return Usage();
        }
    }
    if (!haveRecords)
        options.records = loggersim::MakeRecords(lines);

    loggersim::Simulator simulator(options);
    std::string error;
    if (!simulator.Start(device, &error)) {
        std::cerr << "loggersim: " << error << "\n";
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::cerr << "loggersim: serving " << device << " with " << options.records.size() << " bytes of records\n";
    size_t logged = 0;
    while (!g_stop) {
        usleep(100000);
        if (logPath) {
            const std::string received = simulator.Received();
            if (received.size() != logged) {
                std::ofstream log(logPath, std::ios::binary | std::ios::app);
                log.write(received.data() + logged, static_cast<std::streamsize>(received.size() - logged));
                logged = received.size();
            }
        }
    }
    simulator.Stop();
    return 0;
}
