// The end-to-end harness: the real vorlix.exe under Wine, worked through its
// windows with the same calls a user's clicks end in, from a test program in
// the same Wine desktop. Its cable is a socat pty pair: the program's COM
// port at one end, the logger simulator on COM 30 at the other. What only
// Linux can do (socat, the COM links, /proc) runs as a shell script.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>
#include <windows.h>

namespace e2e {

namespace fs = std::filesystem;

// Polls `done` every 10 ms until it holds; false when `timeoutMs` passed first.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    for (const DWORD start = GetTickCount(); !done(); Sleep(10))
        if (GetTickCount() - start > static_cast<DWORD>(timeoutMs))
            return false;
    return true;
}

// ---- Files and the Linux side -----------------------------------------------------

// Wide text from the tests' UTF-8, for paths and the windows' texts.
inline std::wstring Wide(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                                        static_cast<int>(wide.size()))));
    return wide;
}

// Files by their Windows names, in UTF-8: Z:\... for the Linux tree.
inline std::string ReadFile(const std::string& path)
{
    std::ostringstream s;
    s << std::ifstream(fs::path(Wide(path)), std::ios::binary).rdbuf();
    return s.str();
}

inline void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

inline std::string UnixPath(std::string windowsPath)
{
    std::replace(windowsPath.begin(), windowsPath.end(), '\\', '/');
    return windowsPath.substr(2);  // the Z:
}

inline std::string WindowsPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The folder the tests work in: VX_E2E_WORK.
inline const std::string& Work()
{
    static const std::string work = [] {
        const char* unix = std::getenv("VX_E2E_WORK");
        const std::string path = WindowsPath(unix && *unix ? unix : "/tmp/vorlix-e2e");
        fs::create_directories(path);
        return path;
    }();
    return work;
}

// Runs a Linux shell script and waits for it; its exit status. Wine starts a
// Linux program when it is asked to, but gives no handle that can be waited
// on: the script leaves its exit status in a file.
inline int Shell(const std::string& script)
{
    static int count = 0;
    const std::string base = Work() + "\\shell-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
    const std::string status = UnixPath(base) + ".status";
    WriteFile(base + ".sh", "(\n" + script + "\n) >>'" + UnixPath(Work()) + "/shell.log' 2>&1 </dev/null\n" +
                                "echo $? >'" + status + ".tmp' && mv '" + status + ".tmp' '" + status + "'\n");
    const std::string unixScript = UnixPath(base) + ".sh";
    std::wstring command = L"sh \"" + std::wstring(unixScript.begin(), unixScript.end()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    if (!CreateProcessW(L"Z:\\bin\\sh", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (!WaitFor([&] { return fs::exists(base + ".status"); }, 60000))
        return -1;
    const int result = std::atoi(ReadFile(base + ".status").c_str());
    fs::remove(base + ".sh");
    fs::remove(base + ".status");
    return result;
}

// Points COMn at the Linux device `target` for each link, and removes the
// links of COM 1 to COM 9 that are not given.
inline void LinkComPorts(const std::vector<std::pair<int, std::string>>& links)
{
    std::string script = "cd \"$WINEPREFIX/dosdevices\" && rm -f com1 com2 com3 com4 com5 com6 com7 com8 com9";
    for (const auto& [port, target] : links)
        script += " && ln -s '" + target + "' com" + std::to_string(port);
    Shell(script);
}

// A socat pty pair in `dir`: ComEnd() for the program's COM port; the other
// end becomes COM 30, where the logger simulator opens it.
class Cable {
public:
    explicit Cable(const std::string& dir) : m_dir(UnixPath(dir))
    {
        const std::string d = "'" + m_dir + "'";
        m_ok = Shell("rm -f " + d + "/com " + d + "/logger\n"
                     "socat pty,raw,echo=0,link=" + d + "/com pty,raw,echo=0,link=" + d + "/logger >/dev/null 2>&1 &\n"
                     "echo $! >" + d + "/socat.pid\n"
                     "for i in $(seq 100); do [ -e " + d + "/com ] && [ -e " + d + "/logger ] && break; sleep 0.05; done\n"
                     "ln -sfn " + d + "/logger \"$WINEPREFIX/dosdevices/com30\" && [ -e " + d + "/com ]") == 0;
    }
    ~Cable() { Pull(); }
    bool Ok() const { return m_ok; }
    std::string ComEnd() const { return m_dir + "/com"; }
    // The cable disappears: socat ends, and COM 30 with it.
    void Pull()
    {
        if (m_ok)
            Shell("kill $(cat '" + m_dir + "/socat.pid'); rm -f \"$WINEPREFIX/dosdevices/com30\"");
        m_ok = false;
    }

private:
    std::string m_dir;
    bool m_ok = false;
};

// The program under test, started in `cwd`.
class Program {
public:
    ~Program() { Kill(); }
    bool Start(const std::string& cwd)
    {
        Kill();
        std::wstring command = L"vorlix.exe";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        const std::wstring exe(VORLIX_EXE, VORLIX_EXE + sizeof VORLIX_EXE - 1), dir(cwd.begin(), cwd.end());
        return CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup,
                              &m_info) != FALSE;
    }
    bool Running() { return m_info.hProcess && WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT; }
    void Kill()
    {
        if (!m_info.hProcess)
            return;
        TerminateProcess(m_info.hProcess, 1);
        WaitForSingleObject(m_info.hProcess, 10000);
        CloseHandle(m_info.hProcess);
        CloseHandle(m_info.hThread);
        m_info = {};
    }

private:
    PROCESS_INFORMATION m_info = {};
};

// ---- Windows, as a user sees them ---------------------------------------------

constexpr int kChooserName = 0x47c;  // the file chooser's name field

// The text of `window`, or of its control `id`, in UTF-8.
inline std::string Text(HWND window, int id = 0)
{
    wchar_t buffer[4096] = L"";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(id ? GetDlgItem(window, id) : window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, 2000, &length))
        return std::string();
    std::string out(length * 3, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), &out[0], static_cast<int>(out.size()),
                                   nullptr, nullptr));
    return out;
}

// The first visible top-level window for which `match` holds, or nullptr.
inline HWND FindTopLevel(const std::function<bool(HWND)>& match)
{
    std::pair<const std::function<bool(HWND)>*, HWND> search{ &match, nullptr };
    EnumWindows(
        [](HWND h, LPARAM l) {
            auto* s = reinterpret_cast<decltype(search)*>(l);
            if (IsWindowVisible(h) && (*s->first)(h))
                s->second = h;
            return s->second ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// The same, waited for; nullptr when none came in time.
inline HWND WaitTopLevel(const std::function<bool(HWND)>& match, int timeoutMs)
{
    HWND found = nullptr;
    WaitFor([&] { return (found = FindTopLevel(match)) != nullptr; }, timeoutMs);
    return found;
}

inline HWND WaitWindow(const std::string& title, int timeoutMs)
{
    return WaitTopLevel([&](HWND h) { return Text(h) == title; }, timeoutMs);
}

// A window owned by `owner`: its dialog or message box.
inline bool OwnedBy(HWND h, HWND owner) { return h != owner && GetWindow(h, GW_OWNER) == owner; }
inline HWND WaitOwned(HWND owner, int timeoutMs)
{
    return WaitTopLevel([&](HWND h) { return OwnedBy(h, owner); }, timeoutMs);
}

// Waits until the window is destroyed, as a modal dialog is once its loop
// has ended; false when it is still there after the time.
inline bool WaitGone(HWND window, int timeoutMs)
{
    return WaitFor([&] { return !IsWindow(window); }, timeoutMs);
}

inline bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

// The texts of a dialog's static controls, one line each: what a message box says.
inline std::string StaticTexts(HWND dialog)
{
    std::string all;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[16] = "";
        GetClassNameA(c, cls, sizeof cls);
        if (const std::string text = Text(c); lstrcmpiA(cls, "Static") == 0 && !text.empty())
            all += text + "\n";
    }
    return all;
}

// Clicks a button as a user does; false when it is disabled, hidden or
// missing. Posted, as a click is: the button's handler may open a modal dialog.
inline bool Click(HWND dialog, int id)
{
    const HWND button = GetDlgItem(dialog, id);
    return button && IsWindowEnabled(button) && IsWindowVisible(button) && PostMessageW(button, BM_CLICK, 0, 0);
}

inline void SetText(HWND dialog, int id, const std::string& text)
{
    const std::wstring wide = Wide(text);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_ABORTIFHUNG,
                        2000, &result);
}

inline void SysCommand(HWND window, unsigned command) { PostMessageW(window, WM_SYSCOMMAND, command, 0); }

// What a process holds: its kernel handles, and its windows, top-level and child.
inline int HandleCount(HWND window)
{
    // Wine reports no count through GetProcessHandleCount: every possible handle value is tried.
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    const HANDLE process = pid ? OpenProcess(PROCESS_DUP_HANDLE, FALSE, pid) : nullptr;
    int count = process ? 0 : -1;
    for (UINT_PTR value = 4; process && value < 4 * 16384; value += 4) {
        HANDLE copy;
        if (DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                            DUPLICATE_SAME_ACCESS))
            count += CloseHandle(copy) ? 1 : 0;
    }
    if (process)
        CloseHandle(process);
    return count;
}

inline int Windows(HWND window)
{
    std::pair<DWORD, int> count{ 0, 0 };
    GetWindowThreadProcessId(window, &count.first);
    EnumWindows(
        [](HWND h, LPARAM l) {
            auto* c = reinterpret_cast<std::pair<DWORD, int>*>(l);
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            if (pid == c->first) {
                ++c->second;
                EnumChildWindows(h, [](HWND, LPARAM l) { return ++reinterpret_cast<std::pair<DWORD, int>*>(l)->second, TRUE; }, l);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.second;
}

}  // namespace e2e
