#include "LoggerSim.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace loggersim {
namespace {
const char kReadCommand[] = "(254.1.)";
const char kEraseCommand[] = "(251.1.)";
constexpr size_t kCommandLength = 8;

void SleepUntil(const timespec& deadline)
{
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

timespec AddMicros(timespec t, long long micros)
{
    long long ns = t.tv_nsec + micros * 1000;
    t.tv_sec += static_cast<time_t>(ns / 1000000000);
    t.tv_nsec = static_cast<long>(ns % 1000000000);
    return t;
}
}  // namespace

std::string MakeRecords(int lines, unsigned seed)
{
    std::mt19937 random(seed);
    std::string out;
    int day = 3, month = 11, year = 26, hour = 7, minute = 0;
    double temperature = 21.5, pressure = 1013.2, humidity = 45.0, level = 998.0;
    for (int i = 0; i < lines; ++i) {
        char line[400];
        temperature += (static_cast<int>(random() % 11) - 5) / 10.0;
        pressure += (static_cast<int>(random() % 21) - 10) / 10.0;
        humidity += (static_cast<int>(random() % 7) - 3) / 10.0;
        level += (static_cast<int>(random() % 41) - 20) / 10.0;
        // Keep every value inside its field's width.
        temperature = std::min(99.0, std::max(-9.0, temperature));
        pressure = std::min(1099.0, std::max(900.0, pressure));
        humidity = std::min(99.0, std::max(10.0, humidity));
        level = std::min(9999.0, std::max(100.0, level));
        std::snprintf(line, sizeof line, "%2d%2d%2d%2d%2d%4.1f%6.1f%4.1f%6.1f\r\n", day, month, year, hour, minute,
                      temperature, pressure, humidity, level);
        out += line;
        minute += 15;
        if (minute == 60) {
            minute = 0;
            if (++hour == 24) {
                hour = 0;
                if (++day == 31) {
                    day = 1;
                    month = month % 12 + 1;
                }
            }
        }
    }
    return out;
}

Simulator::Simulator(Options options) : m_options(std::move(options)), m_stored(m_options.records) {}

Simulator::~Simulator() { Stop(); }

bool Simulator::Start(const std::string& path, std::string* error)
{
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (m_fd < 0) {
        if (error)
            *error = path + ": " + std::strerror(errno);
        return false;
    }
    termios tio;
    if (tcgetattr(m_fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_fd, TCSANOW, &tio);
    }
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void Simulator::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

std::string Simulator::Received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

std::string Simulator::Records() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stored;
}

std::chrono::steady_clock::time_point Simulator::FirstSent() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_firstSent;
}

std::chrono::steady_clock::time_point Simulator::LastSent() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastSent;
}

void Simulator::Run()
{
    std::string window;
    while (!m_stop) {
        pollfd p = { m_fd, POLLIN, 0 };
        const int ready = ::poll(&p, 1, 50);
        if (ready < 0 && errno != EINTR)
            return;
        if (ready <= 0)
            continue;
        if (p.revents & (POLLERR | POLLNVAL))
            return;
        char buffer[256];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0) {
            // The cable is gone (the other end of the pty was closed).
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            return;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_received.append(buffer, static_cast<size_t>(n));
        }
        for (ssize_t i = 0; i < n; ++i) {
            window += buffer[i];
            if (window.size() > kCommandLength)
                window.erase(0, window.size() - kCommandLength);
            if (window == kReadCommand) {
                window.clear();
                Reply();
            } else if (window == kEraseCommand) {
                window.clear();
                ++m_erases;
                std::lock_guard<std::mutex> lock(m_mutex);
                if (!m_options.raw)
                    m_stored.clear();
            }
        }
    }
}

void Simulator::Reply()
{
    ++m_readOuts;
    const std::string data = Records();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_firstSent = std::chrono::steady_clock::now();
    }
    m_sending = true;
    timespec next;
    clock_gettime(CLOCK_MONOTONIC, &next);
    size_t done = 0;
    bool paused = false;
    while (done < data.size() && !m_stop) {
        size_t chunk = data.size() - done;
        if (m_options.byteMicros > 0) {
            // Paced: every byte that is due now, then sleep until the next one.
            timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            const long long late = (now.tv_sec - next.tv_sec) * 1000000LL + (now.tv_nsec - next.tv_nsec) / 1000;
            chunk = late < 0 ? 1 : std::min(chunk, static_cast<size_t>(1 + late / m_options.byteMicros));
            if (late < 0)
                SleepUntil(next);
        }
        if (m_options.pauseAfter > 0 && !paused && done < m_options.pauseAfter)
            chunk = std::min(chunk, m_options.pauseAfter - done);
        const ssize_t n = ::write(m_fd, data.data() + done, chunk);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            break;
        }
        done += static_cast<size_t>(n);
        m_sent += static_cast<size_t>(n);
        next = AddMicros(next, m_options.byteMicros * n);
        if (m_options.pauseAfter > 0 && !paused && done >= m_options.pauseAfter) {
            paused = true;
            tcdrain(m_fd);
            timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            SleepUntil(AddMicros(now, m_options.pauseMillis * 1000LL));
            clock_gettime(CLOCK_MONOTONIC, &next);
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastSent = std::chrono::steady_clock::now();
    }
    m_sending = false;
}

bool Simulator::WaitErases(int count, int timeoutMs) const
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_erases.load() < count && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return m_erases.load() >= count;
}

}  // namespace loggersim
