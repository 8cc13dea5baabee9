#include "Harness.h"

#include "TextEscape.h"
#include "ui/resource.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace e2e {

using namespace std::chrono;

// ---- Processes and files ---------------------------------------------------------

Process Spawn(const std::vector<std::string>& argv, const std::string& cwd, const std::string& logPath, bool detach)
{
    Process p;
    p.pid = fork();
    if (p.pid == 0) {
        setsid();
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(127);
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        for (int fd = 3; fd < 1024; ++fd)
            close(fd);
        if (detach && fork() != 0)
            _exit(0);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    if (detach && p.pid > 0) {
        waitpid(p.pid, &p.status, 0);
        p.pid = -1;
    }
    return p;
}

bool Process::Running()
{
    if (pid <= 0)
        return false;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) {
        pid = -1;
        return false;
    }
    return r == 0;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = steady_clock::now() + milliseconds(timeoutMs);
    while (!done()) {
        if (steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(milliseconds(10));
    }
    return true;
}

bool Process::WaitExit(int timeoutMs)
{
    return WaitFor([this] { return !Running(); }, timeoutMs);
}

void Process::Kill()
{
    if (pid <= 0)
        return;
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    pid = -1;
}

std::string WinePath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

bool Exists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

void RemoveTree(const std::string& path)
{
    std::error_code error;
    std::filesystem::remove_all(path, error);
}

double CpuSeconds(pid_t pid)
{
    // /proc/PID/stat: the name in parentheses may hold blanks; utime and stime
    // are the 12th and 13th fields after it.
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    int i = 0;
    for (; i < 13 && fields >> field; ++i) {
        if (i == 11) utime = std::stoull(field);
        if (i == 12) stime = std::stoull(field);
    }
    if (i < 13)
        return -1;
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long ProcessStatus(pid_t pid, const char* key)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    const std::string prefix = key;
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::atol(line.c_str() + prefix.size());
    return -1;
}

// ---- Driver ----------------------------------------------------------------------

bool Driver::Connect(int port)
{
    m_socket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

void Driver::Disconnect()
{
    if (m_socket >= 0)
        close(m_socket);
    m_socket = -1;
}

std::string Driver::Call(const std::string& command, bool* ok, int extraLines)
{
    const std::string line = command + "\n";
    if (m_socket < 0 || send(m_socket, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size())) {
        if (ok)
            *ok = false;
        return "no driver";
    }
    std::string reply;
    int linesWanted = extraLines < 0 ? 1 : 1 + extraLines;
    std::vector<std::string> lines;
    while (static_cast<int>(lines.size()) < linesWanted) {
        const size_t lf = m_pending.find('\n');
        if (lf != std::string::npos) {
            lines.push_back(m_pending.substr(0, lf));
            m_pending.erase(0, lf + 1);
            if (lines.size() == 1 && extraLines < 0) {
                // The first line says how many follow ("ok N").
                linesWanted = 1 + std::atoi(lines[0].c_str() + 3);
            }
            continue;
        }
        char buffer[4096];
        const ssize_t n = recv(m_socket, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        m_pending.append(buffer, static_cast<size_t>(n));
    }
    if (lines.empty()) {
        if (ok)
            *ok = false;
        return "no reply";
    }
    const bool good = lines[0].compare(0, 2, "ok") == 0;
    if (ok)
        *ok = good;
    reply = lines[0].size() > 3 ? lines[0].substr(3) : std::string();
    for (size_t i = 1; i < lines.size(); ++i)
        reply += "\n" + lines[i];
    return reply;
}

std::string Driver::WaitWindow(const std::string& title, int timeoutMs)
{
    bool ok = false;
    const std::string h = Call("wait-window " + EscapeText(title) + " " + std::to_string(timeoutMs), &ok);
    return ok ? h : std::string();
}

std::string Driver::WaitOwned(const std::string& owner, int timeoutMs)
{
    bool ok = false;
    const std::string h = Call("owned " + owner + " " + std::to_string(timeoutMs), &ok);
    return ok ? h : std::string();
}

std::string Driver::Title(const std::string& hwnd) { return UnescapeText(Call("title " + hwnd)); }
std::string Driver::ClassOf(const std::string& hwnd) { return Call("class " + hwnd); }
bool Driver::Visible(const std::string& hwnd) { return Call("visible " + hwnd) == "1"; }
std::string Driver::Text(const std::string& hwnd, int id) { return UnescapeText(Call("text " + hwnd + " " + std::to_string(id))); }
bool Driver::Enabled(const std::string& hwnd, int id) { return Call("enabled " + hwnd + " " + std::to_string(id)) == "1"; }

bool Driver::Checked(const std::string& hwnd, int id) { return Call("checked " + hwnd + " " + std::to_string(id)) == "1"; }

std::string Driver::StaticTexts(const std::string& hwnd)
{
    std::string all;
    for (const ControlInfo& c : Controls(hwnd))
        if (c.cls == "Static" && !c.text.empty())
            all += c.text + "\n";
    return all;
}

bool Driver::Click(const std::string& hwnd, int id)
{
    bool ok = false;
    Call("click " + hwnd + " " + std::to_string(id), &ok);
    return ok;
}

void Driver::SetText(const std::string& hwnd, int id, const std::string& text)
{
    Call("settext " + hwnd + " " + std::to_string(id) + " " + EscapeText(text));
}

bool Driver::Hold(const std::string& winePath)
{
    bool ok = false;
    Call("hold " + EscapeText(winePath), &ok);
    return ok;
}

void Driver::Release() { Call("release"); }

void Driver::Key(const std::string& hwnd, int vk) { Call("key " + hwnd + " " + std::to_string(vk)); }
void Driver::Close(const std::string& hwnd) { Call("close " + hwnd); }
void Driver::SysCommand(const std::string& hwnd, unsigned value) { Call("syscommand " + hwnd + " " + std::to_string(value)); }

int Driver::Focus(const std::string& hwnd)
{
    bool ok = false;
    const std::string id = Call("focus " + hwnd, &ok);
    return ok ? std::atoi(id.c_str()) : 0;
}

std::vector<ControlInfo> Driver::Controls(const std::string& hwnd)
{
    std::vector<ControlInfo> controls;
    std::istringstream lines(Call("controls " + hwnd, nullptr, -1));
    std::string line;
    std::getline(lines, line);  // the count
    while (std::getline(lines, line)) {
        ControlInfo c{};
        std::istringstream fields(line);
        fields >> c.id >> c.cls >> std::hex >> c.style >> std::dec >> c.x >> c.y >> c.width >> c.height;
        std::string rest;
        std::getline(fields, rest);
        c.text = UnescapeText(rest.empty() ? rest : rest.substr(1));
        controls.push_back(c);
    }
    return controls;
}

bool Driver::ChooseTableFile(const std::string& main, const std::string& winePath)
{
    constexpr int kChooserOk = 1;
    if (!Click(main, IDC_READ))
        return false;
    const std::string chooser = WaitOwned(main, 10000);
    if (chooser.empty())
        return false;
    SetText(chooser, kChooserName, winePath);
    if (!Click(chooser, kChooserOk))
        return false;
    WaitGone(chooser, 3000);
    return true;
}

bool Driver::WaitGone(const std::string& hwnd, int timeoutMs)
{
    return WaitFor([&] { return !Visible(hwnd); }, timeoutMs);
}

bool Driver::ConfirmErase(const std::string& main)
{
    constexpr int kYes = 1;
    const std::string confirm = Click(main, IDC_ERASE) ? WaitOwned(main, 5000) : std::string();
    return !confirm.empty() && Click(confirm, kYes);
}

bool Driver::WaitDeleteEnabled(const std::string& main, bool enabled, int timeoutMs)
{
    return WaitFor([&] { return Enabled(main, IDC_ERASE) == enabled; }, timeoutMs);
}

bool Driver::WaitReadOutStarted(const std::string& main, int timeoutMs)
{
    return WaitDeleteEnabled(main, false, timeoutMs);
}

bool Driver::WaitReadOutEnded(const std::string& main, int timeoutMs)
{
    return WaitDeleteEnabled(main, true, timeoutMs);
}

std::vector<std::string> Driver::Handles(const std::string& hwnd)
{
    std::vector<std::string> handles;
    std::istringstream lines(Call("handles " + hwnd, nullptr, -1));
    std::string line;
    std::getline(lines, line);  // the count
    while (std::getline(lines, line))
        handles.push_back(UnescapeText(line));
    return handles;
}

int Driver::Windows(const std::string& hwnd)
{
    bool ok = false;
    const std::string count = Call("windows " + hwnd, &ok);
    return ok ? std::atoi(count.c_str()) : -1;
}

std::map<std::string, int> Driver::HandlesGrown(const std::string& hwnd, const std::vector<std::string>& before,
                                                int choosersShown)
{
    const std::string chooserKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU";
    std::map<std::string, int> grown;
    for (int look = 0; look < 10; ++look) {
        if (look > 0)
            std::this_thread::sleep_for(milliseconds(300));
        grown.clear();
        for (const std::string& handle : Handles(hwnd))
            ++grown[handle];
        for (const std::string& handle : before)
            --grown[handle];
        for (auto i = grown.begin(); i != grown.end();) {
            const bool wines = i->first.compare(0, 4, "Key ") == 0 && i->first.find(chooserKey) != std::string::npos;
            if (wines)
                i->second -= std::min(i->second, choosersShown);
            i = i->second <= 0 ? grown.erase(i) : std::next(i);
        }
        if (grown.empty())
            break;
    }
    return grown;
}

// ---- Session -----------------------------------------------------------------------

Session& Session::Get()
{
    static Session session;
    return session;
}

namespace {
std::string Env(const char* name, const char* fallback = "")
{
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

int RunWine(const std::vector<std::string>& argv, const std::string& log, int timeoutMs)
{
    Process p = Spawn(argv, "", log);
    if (!p.WaitExit(timeoutMs)) {
        p.Kill();
        return -1;
    }
    return WIFEXITED(p.status) ? WEXITSTATUS(p.status) : -1;
}
}  // namespace

bool Session::Start(std::string* error)
{
    m_work = Env("VX_E2E_WORK", "/tmp/vorlix-e2e");
    m_vorlixExe = Env("VORLIX_EXE");
    m_driverExe = Env("VXDRIVER_EXE");
    if (m_vorlixExe.empty() || m_driverExe.empty()) {
        *error = "VORLIX_EXE and VXDRIVER_EXE must name the built programs";
        return false;
    }
    m_prefix = m_work + "/prefix";
    std::filesystem::create_directories(m_work + "/tests");

    // A display of our own, never the user's.
    int display = 90;
    while (display < 200 && (Exists("/tmp/.X11-unix/X" + std::to_string(display)) ||
                             Exists("/tmp/.X" + std::to_string(display) + "-lock")))
        ++display;
    m_display = ":" + std::to_string(display);
    m_xvfb = Spawn({ "Xvfb", m_display, "-screen", "0", "1024x768x24", "-nolisten", "tcp" }, "", m_work + "/xvfb.log");
    if (!WaitFor([&] { return Exists("/tmp/.X11-unix/X" + std::to_string(display)); }, 10000)) {
        *error = "Xvfb did not start";
        return false;
    }
    setenv("DISPLAY", m_display.c_str(), 1);
    setenv("WINEPREFIX", m_prefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
    unsetenv("LANG");
    unsetenv("LC_ALL");

    const std::string ready = m_prefix + "/vorlix-ready";
    if (!Exists(ready))
        RemoveTree(m_prefix);
    // Initialised, with Windows' dialog fonts; a prefix made before gets the fonts too.
    const std::string makePrefix =
        "'" VORLIX_ROOT "/tools/wine-prefix.sh' '" + m_prefix + "' '" + m_work + "/wineboot.log' </dev/null";
    if (std::system(makePrefix.c_str()) != 0) {
        *error = "the Wine prefix could not be made: see " + m_work + "/wineboot.log";
        return false;
    }
    if (!Exists(ready)) {
        // Every window in one virtual desktop: title bars, and fast closes.
        RunWine({ "wine", "reg", "add", "HKCU\\Software\\Wine\\Explorer", "/v", "Desktop", "/d", "Default", "/f" },
                m_work + "/wineboot.log", 60000);
        RunWine({ "wine", "reg", "add", "HKCU\\Software\\Wine\\Explorer\\Desktops", "/v", "Default", "/d", "1000x700", "/f" },
                m_work + "/wineboot.log", 60000);
        RunWine({ "wineserver", "-k" }, m_work + "/wineboot.log", 30000);
        RunWine({ "wineserver", "-w" }, m_work + "/wineboot.log", 30000);
        WriteFile(ready, "ok\n");
    }
    // The display's DPI: 96 unless asked for another (the pictures are taken at 144 too).
    if (const std::string dpi = Env("VX_E2E_DPI"); !dpi.empty()) {
        RunWine({ "wine", "reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d",
                  dpi, "/f" },
                m_work + "/wineboot.log", 60000);
        RunWine({ "wineserver", "-k" }, m_work + "/wineboot.log", 30000);
        RunWine({ "wineserver", "-w" }, m_work + "/wineboot.log", 30000);
    }
    Spawn({ "wineserver", "-p" }, "", m_work + "/wineserver.log", true);
    LinkComPorts({});

    const std::string portFile = m_work + "/driver-port.txt";
    std::remove(portFile.c_str());
    m_driverProcess = Spawn({ "wine", m_driverExe, WinePath(portFile) }, m_work, m_work + "/driver.log");
    if (!WaitFor([&] { return Exists(portFile); }, 60000)) {
        *error = "the window driver did not start: see " + m_work + "/driver.log";
        return false;
    }
    if (!m_driver.Connect(std::atoi(ReadFile(portFile).c_str()))) {
        *error = "cannot connect to the window driver";
        return false;
    }
    return true;
}

void Session::Stop()
{
    m_driver.Call("quit");
    m_driver.Disconnect();
    m_driverProcess.WaitExit(3000);
    m_driverProcess.Kill();
    RunWine({ "wineserver", "-k" }, m_work + "/wineserver.log", 30000);
    RunWine({ "wineserver", "-w" }, m_work + "/wineserver.log", 30000);
    m_xvfb.Kill();
}

bool Session::Screenshot(const std::string& path) const
{
    const std::string command = "import -display " + m_display + " -window root '" + path + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

void Session::LinkComPorts(const std::vector<std::pair<int, std::string>>& links)
{
    namespace fs = std::filesystem;
    const fs::path devices = m_prefix + "/dosdevices";
    std::error_code error;
    std::vector<fs::path> old;
    for (const fs::directory_entry& entry : fs::directory_iterator(devices, error))
        if (entry.path().filename().string().compare(0, 3, "com") == 0)
            old.push_back(entry.path());
    for (const fs::path& link : old)
        fs::remove(link, error);
    for (const auto& link : links)
        fs::create_symlink(link.second, devices / ("com" + std::to_string(link.first)), error);
}

// ---- Cable and program --------------------------------------------------------------

Cable::Cable(const std::string& dir) : m_dir(dir)
{
    unlink(ComEnd().c_str());
    unlink(LoggerEnd().c_str());
    m_socat = Spawn({ "socat", "pty,raw,echo=0,link=" + ComEnd(), "pty,raw,echo=0,link=" + LoggerEnd() }, "",
                    dir + "/socat.log");
    m_ok = WaitFor([&] { return Exists(ComEnd()) && Exists(LoggerEnd()); }, 5000);
}

Cable::~Cable() { Pull(); }

void Cable::Pull()
{
    m_socat.Kill();
}

bool Program::Start(const std::string& cwd, const std::string& log)
{
    process = Spawn({ "wine", Session::Get().VorlixExe() }, cwd, log.empty() ? cwd + "/wine.log" : log);
    return process.pid > 0;
}

pid_t Program::HostPid()
{
    const std::string commandLine = ReadFile("/proc/" + std::to_string(process.pid) + "/cmdline");
    return process.pid > 0 && commandLine.find("vorlix.exe") != std::string::npos ? process.pid : -1;
}

}  // namespace e2e
