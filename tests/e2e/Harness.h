// The end-to-end harness: the real vorlix.exe under Wine, worked through its
// windows with the same calls a user's clicks end in, from a test program in
// the same Wine desktop. Its cable is a socat pty pair: the program's COM
// port at one end, the logger simulator on COM 30 at the other.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>
#include <windows.h>

namespace e2e {

// Polls `done` every 10 ms until it holds; false when `timeoutMs` passed first.
bool WaitFor(const std::function<bool()>& done, int timeoutMs);

// Files, by their Windows names (Z:\... for the Linux tree).
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
bool Exists(const std::string& path);
std::string UnixPath(const std::string& windowsPath);
std::string WindowsPath(const std::string& unixPath);
// The folder the tests work in: Z: and VX_E2E_WORK.
const std::string& Work();

// Runs a Linux shell script and waits for it; its exit status.
int Shell(const std::string& script);
// Points COMn at the Linux device `target` for each link, and removes the
// links of COM 1 to COM 9 that are not given.
void LinkComPorts(const std::vector<std::pair<int, std::string>>& links);

// A socat pty pair in `dir`: `ComEnd()` for the program's COM port; the other
// end becomes COM 30, where the logger simulator opens it.
class Cable {
public:
    explicit Cable(const std::string& dir);
    ~Cable() { Pull(); }
    bool Ok() const { return m_ok; }
    std::string ComEnd() const { return m_dir + "/com"; }
    void Pull();  // the cable disappears: socat ends

private:
    std::string m_dir;
    bool m_ok = false;
};

// The program under test, started in `cwd`.
class Program {
public:
    ~Program() { Kill(); }
    bool Start(const std::string& cwd);
    bool WaitExit(int timeoutMs);
    bool Running();
    void Kill();
    // The Linux process that runs it, for what only Linux tells (CPU, memory,
    // system calls); -1 when it cannot be found.
    long UnixPid();

private:
    PROCESS_INFORMATION m_info = {};
    std::string m_cwd;
};

// What Linux knows of a process: its CPU seconds (-1 when unknown), and a
// number from its status, e.g. "VmHWM:" in KB (-1 when absent).
double CpuSeconds(long unixPid);
long ProcessStatus(long unixPid, const char* key);
// A picture of the display, or of the part of it `crop` gives ("WxH+X+Y").
bool Screenshot(const std::string& path, const std::string& crop = std::string());

// ---- Windows, as a user sees them ---------------------------------------------

constexpr int kChooserName = 0x47c;  // the file chooser's name field

// The visible top-level window with this title; nullptr when none came in time.
HWND WaitWindow(const std::string& title, int timeoutMs);
// A visible window owned by `owner`: its dialog or message box.
HWND WaitOwned(HWND owner, int timeoutMs);
// Waits until the window is gone or hidden; false when it is still shown after the time.
bool WaitGone(HWND window, int timeoutMs);
std::string Title(HWND window);  // texts are UTF-8
std::string Text(HWND dialog, int id);
bool Enabled(HWND dialog, int id);
bool Checked(HWND dialog, int id);
// The texts of a dialog's static controls, one line each: what a message box says.
std::string StaticTexts(HWND dialog);
// Clicks a button as a user does; false when it is disabled, hidden or missing.
bool Click(HWND dialog, int id);
void SetText(HWND dialog, int id, const std::string& text);
void Key(HWND window, int vk);  // to the control with the focus
void Close(HWND window);        // the close box
void SysCommand(HWND window, unsigned command);
int Focus(HWND window);  // the id of the control with the focus

// Clicks Read in the main window, names the file in the chooser and confirms
// it; false when no chooser appeared.
bool ChooseTableFile(HWND main, const std::string& path);
// Clicks Delete in the main window and Yes in its confirmation; false when
// no confirmation appeared.
bool ConfirmErase(HWND main);
// The program locks the four buttons one by one when a read-out starts and
// gives them back the same way at its end, Delete last both times: these
// wait for Delete, so that the whole change has happened, and the end for
// the table to be closed too.
bool WaitReadOutStarted(HWND main, int timeoutMs);
bool WaitReadOutEnded(HWND main, int timeoutMs);

// What the window's process holds: its kernel handles ("type name" each), and
// how many windows, top-level and child.
std::vector<std::string> Handles(HWND window);
int Windows(HWND window);
// The handles the process holds beyond `before`, with how many more of each.
// Wine's file chooser leaves one registry key open each time it is shown (a
// bare GetOpenFileNameW does the same): up to `choosersShown` of those are
// left out. Wine closes the chooser's folder watch a moment after the chooser
// has gone, so a growth is looked at again for a few seconds before it counts.
std::map<std::string, int> HandlesGrown(HWND window, const std::vector<std::string>& before, int choosersShown);

}  // namespace e2e
