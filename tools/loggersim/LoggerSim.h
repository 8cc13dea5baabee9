// The logger simulator: plays the data logger on the far end of a virtual
// (or real) serial cable. It answers "(254.1.)" with its stored records, paced
// like a 9600-baud line, erases them on "(251.1.)", and keeps every byte it
// receives. Used by the tests, the main job and anyone trying Vorlix without
// a logger.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>

namespace loggersim {

// An open serial device: a file descriptor, or a Windows handle.
using Device = long long;
constexpr Device kNoDevice = -1;

struct Options {
    std::string records;        // the stored records, exactly as the logger sends them
    bool raw = false;           // send `records` once per read-out even after an erase
    long byteMicros = 1042;     // time per byte; 0 sends as fast as the cable takes it
    size_t pauseAfter = 0;      // pause the reply after this many bytes (0: no pause)
    long pauseMillis = 0;
};

// Records as a logger stores them: date and time as blank-padded two-digit
// groups, then alternating values of four and six characters, CR LF.
std::string MakeRecords(int lines, unsigned seed = 1);

class Simulator {
public:
    explicit Simulator(Options options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Serves the device at `path` (a pty end; on Windows a port name such as
    // "COM30") on a thread of its own.
    bool Start(const std::string& path, std::string* error = nullptr);
    void Stop();

    std::string Received() const;      // every byte that came in, in order
    size_t SentCount() const { return m_sent.load(); }
    int ReadOuts() const { return m_readOuts.load(); }
    int Erases() const { return m_erases.load(); }
    // Waits until `count` erase commands have come; false after the time.
    bool WaitErases(int count, int timeoutMs) const;
    bool Sending() const { return m_sending.load(); }
    std::string Records() const;
    // When the first and the last byte of the latest reply went out.
    std::chrono::steady_clock::time_point FirstSent() const;
    std::chrono::steady_clock::time_point LastSent() const;

private:
    void Run();
    void Reply();

    Options m_options;
    Device m_device = kNoDevice;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_sending{false};
    std::atomic<size_t> m_sent{0};
    std::atomic<int> m_readOuts{0};
    std::atomic<int> m_erases{0};
    mutable std::mutex m_mutex;
    std::string m_received;
    std::string m_stored;
    std::chrono::steady_clock::time_point m_firstSent{};
    std::chrono::steady_clock::time_point m_lastSent{};
};

}  // namespace loggersim
