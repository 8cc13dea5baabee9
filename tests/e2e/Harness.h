// The end-to-end harness: the real vorlix.exe under Wine, on its own Xvfb
// display, with a socat pty pair as the cable to the logger simulator, worked
// through its windows by the driver (vxdriver.exe) inside the same desktop.
#pragma once

#include "LoggerSim.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace e2e {

// A child process in a process group of its own, output sent to a file.
struct Process {
    pid_t pid = -1;
    int status = 0;
    bool Running();
    bool WaitExit(int timeoutMs);
    void Kill();
};
Process Spawn(const std::vector<std::string>& argv, const std::string& cwd, const std::string& logPath,
              bool detach = false);

// Polls `done` every 10 ms until it holds; false when `timeoutMs` passed first.
bool WaitFor(const std::function<bool()>& done, int timeoutMs);

std::string WinePath(const std::string& unixPath);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
bool Exists(const std::string& path);
void RemoveTree(const std::string& path);
// The CPU seconds (user and system) the process has used; -1 when it cannot be read.
double CpuSeconds(pid_t pid);
// A number from /proc/PID/status, e.g. "VmHWM:" in KB or "Threads:"; -1 when absent.
long ProcessStatus(pid_t pid, const char* key);

constexpr int kChooserName = 0x47c;  // the file chooser's name field

struct ControlInfo {
    int id;
    std::string cls;
    unsigned long style;
    int x, y, width, height;
    std::string text;
};

class Driver {
public:
    bool Connect(int port);
    void Disconnect();
    // Sends one command; the reply without its "ok "; `ok` tells whether it was "ok".
    std::string Call(const std::string& command, bool* ok = nullptr, int extraLines = 0);

    std::string WaitWindow(const std::string& title, int timeoutMs);
    std::string WaitOwned(const std::string& owner, int timeoutMs);
    std::string Title(const std::string& hwnd);
    std::string ClassOf(const std::string& hwnd);
    bool Visible(const std::string& hwnd);
    // Waits until the window is gone or hidden; false when it is still shown after the time.
    bool WaitGone(const std::string& hwnd, int timeoutMs);
    std::string Text(const std::string& hwnd, int id);
    bool Enabled(const std::string& hwnd, int id);
    bool Checked(const std::string& hwnd, int id);
    // The texts of a dialog's static controls, one line each: what a message box says.
    std::string StaticTexts(const std::string& hwnd);
    bool Click(const std::string& hwnd, int id);
    void SetText(const std::string& hwnd, int id, const std::string& text);
    void Key(const std::string& hwnd, int vk);
    // Holds a file open without sharing, as another program may, until Release().
    bool Hold(const std::string& winePath);
    void Release();
    void Close(const std::string& hwnd);
    void SysCommand(const std::string& hwnd, unsigned value);
    int Focus(const std::string& hwnd);
    std::vector<ControlInfo> Controls(const std::string& hwnd);

    // Clicks Read in the main window, names the file in the chooser and confirms
    // it; false when no chooser appeared.
    bool ChooseTableFile(const std::string& main, const std::string& winePath);
    // Clicks Delete in the main window and Yes in its confirmation; false when
    // no confirmation appeared.
    bool ConfirmErase(const std::string& main);
    // The program locks the four buttons one by one when a read-out starts and
    // gives them back the same way at its end, Delete last both times: these
    // wait for Delete, so that the whole change has happened.
    bool WaitReadOutStarted(const std::string& main, int timeoutMs);
    bool WaitReadOutEnded(const std::string& main, int timeoutMs);

    // What the window's process holds: its kernel handles ("type name" each;
    // none when the window is gone), and how many windows (-1 then).
    std::vector<std::string> Handles(const std::string& hwnd);
    int Windows(const std::string& hwnd);
    // The handles the process holds beyond `before`, with how many more of
    // each. Wine's file chooser leaves one registry key open each time it is
    // shown (a bare GetOpenFileNameW does the same): up to `choosersShown` of
    // those are left out. Wine closes the chooser's folder watch a moment after
    // the chooser has gone, so a growth is looked at again for a few seconds
    // before it counts.
    std::map<std::string, int> HandlesGrown(const std::string& hwnd, const std::vector<std::string>& before,
                                            int choosersShown);

private:
    bool WaitDeleteEnabled(const std::string& main, bool enabled, int timeoutMs);

    int m_socket = -1;
    std::string m_pending;
};

// Set up once for the whole test program: display, Wine prefix, wineserver, driver.
class Session {
public:
    static Session& Get();
    bool Start(std::string* error);
    void Stop();

    const std::string& Work() const { return m_work; }
    const std::string& Prefix() const { return m_prefix; }
    const std::string& VorlixExe() const { return m_vorlixExe; }
    const std::string& Display() const { return m_display; }
    Driver& driver() { return m_driver; }
    // A picture of the whole display; false when it could not be taken.
    bool Screenshot(const std::string& path) const;
    // Points COMn at `target` and removes every other COM link.
    void LinkComPorts(const std::vector<std::pair<int, std::string>>& links);

private:
    std::string m_work, m_prefix, m_vorlixExe, m_driverExe, m_display;
    Process m_xvfb, m_wineserver, m_driverProcess;
    Driver m_driver;
};

// A socat pty pair: `ComEnd()` for the program's COM port, `LoggerEnd()` for the logger.
class Cable {
public:
    explicit Cable(const std::string& dir);
    ~Cable();
    bool Ok() const { return m_ok; }
    std::string ComEnd() const { return m_dir + "/com"; }
    std::string LoggerEnd() const { return m_dir + "/logger"; }
    void Pull();  // the cable disappears: socat ends

private:
    std::string m_dir;
    Process m_socat;
    bool m_ok = false;
};

// The program under test, started in `cwd`.
class Program {
public:
    bool Start(const std::string& cwd, const std::string& log = std::string());
    ~Program() { process.Kill(); }
    bool WaitExit(int timeoutMs) { return process.WaitExit(timeoutMs); }
    bool Running() { return process.Running(); }
    // The host process that runs vorlix.exe: the one started here (Wine keeps
    // its process id through its execs); -1 when that is not vorlix.exe.
    pid_t HostPid();
    Process process;
};

}  // namespace e2e
