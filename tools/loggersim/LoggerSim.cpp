#include "LoggerSim.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace loggersim {
namespace {
const char kReadCommand[] = "(254.1.)";
const char kEraseCommand[] = "(251.1.)";
constexpr size_t kCommandLength = 8;
using Clock = std::chrono::steady_clock;

// The device, the same on both systems: a pty end on Linux, a COM port on Windows.
#ifdef _WIN32
Device OpenDevice(const std::string& path, std::string* error)
{
    const HANDLE h = CreateFileA(("\\\\.\\" + path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    COMMTIMEOUTS timeouts = { 10, 0, 50, 0, 0 };  // a read waits up to 50 ms for the first byte
    if (h == INVALID_HANDLE_VALUE || !SetCommTimeouts(h, &timeouts)) {
        if (error)
            *error = path + ": error " + std::to_string(GetLastError());
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        return kNoDevice;
    }
    return reinterpret_cast<Device>(h);
}
// Bytes read, 0 when none came within 50 ms, -1 when the cable is gone.
long ReadDevice(Device d, char* buffer, size_t size)
{
    DWORD n = 0;
    return ReadFile(reinterpret_cast<HANDLE>(d), buffer, static_cast<DWORD>(size), &n, nullptr) ? static_cast<long>(n) : -1;
}
long WriteDevice(Device d, const char* data, size_t size)
{
    DWORD n = 0;
    return WriteFile(reinterpret_cast<HANDLE>(d), data, static_cast<DWORD>(size), &n, nullptr) ? static_cast<long>(n) : -1;
}
void DrainDevice(Device d) { FlushFileBuffers(reinterpret_cast<HANDLE>(d)); }
void CloseDevice(Device d) { CloseHandle(reinterpret_cast<HANDLE>(d)); }
#else
Device OpenDevice(const std::string& path, std::string* error)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        if (error)
            *error = path + ": " + std::strerror(errno);
        return kNoDevice;
    }
    termios tio;
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}
long ReadDevice(Device d, char* buffer, size_t size)
{
    pollfd p = { static_cast<int>(d), POLLIN, 0 };
    const int ready = ::poll(&p, 1, 50);
    if (ready < 0)
        return errno == EINTR ? 0 : -1;
    if (ready == 0)
        return 0;
    if (p.revents & (POLLERR | POLLNVAL))
        return -1;
    // The other end of the pty closed: the cable is gone.
    const ssize_t n = ::read(static_cast<int>(d), buffer, size);
    return n < 0 && (errno == EAGAIN || errno == EINTR) ? 0 : n <= 0 ? -1 : n;
}
long WriteDevice(Device d, const char* data, size_t size)
{
    for (;;) {
        const ssize_t n = ::write(static_cast<int>(d), data, size);
        if (n >= 0 || (errno != EINTR && errno != EAGAIN))
            return n;
    }
}
void DrainDevice(Device d) { tcdrain(static_cast<int>(d)); }
void CloseDevice(Device d) { ::close(static_cast<int>(d)); }
#endif
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
    m_device = OpenDevice(path, error);
    if (m_device == kNoDevice)
        return false;
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void Simulator::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_device != kNoDevice) {
        CloseDevice(m_device);
        m_device = kNoDevice;
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
        char buffer[256];
        const long n = ReadDevice(m_device, buffer, sizeof buffer);
        if (n < 0)
            return;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_received.append(buffer, static_cast<size_t>(n));
        }
        for (long i = 0; i < n; ++i) {
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
    Clock::time_point next = Clock::now();
    size_t done = 0;
    bool paused = false;
    while (done < data.size() && !m_stop) {
        size_t chunk = data.size() - done;
        if (m_options.byteMicros > 0) {
            // Paced: every byte that is due now, then sleep until the next one.
            const long long late = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - next).count();
            chunk = late < 0 ? 1 : std::min(chunk, static_cast<size_t>(1 + late / m_options.byteMicros));
            if (late < 0)
                std::this_thread::sleep_until(next);
        }
        if (m_options.pauseAfter > 0 && !paused && done < m_options.pauseAfter)
            chunk = std::min(chunk, m_options.pauseAfter - done);
        const long n = WriteDevice(m_device, data.data() + done, chunk);
        if (n < 0)
            break;
        done += static_cast<size_t>(n);
        m_sent += static_cast<size_t>(n);
        next += std::chrono::microseconds(m_options.byteMicros * n);
        if (m_options.pauseAfter > 0 && !paused && done >= m_options.pauseAfter) {
            paused = true;
            DrainDevice(m_device);
            std::this_thread::sleep_for(std::chrono::milliseconds(m_options.pauseMillis));
            next = Clock::now();
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
