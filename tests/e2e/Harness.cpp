#include "Harness.h"

#include "ui/resource.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <winternl.h>

namespace e2e {

namespace fs = std::filesystem;

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > static_cast<DWORD>(timeoutMs))
            return false;
        Sleep(10);
    }
    return true;
}

// ---- Files and the Linux side -----------------------------------------------------

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
    return fs::exists(path, error);
}

std::string UnixPath(const std::string& windowsPath)
{
    std::string path = windowsPath.substr(2);  // the Z:
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string WindowsPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

const std::string& Work()
{
    static const std::string work = [] {
        const char* unix = std::getenv("VX_E2E_WORK");
        const std::string path = WindowsPath(unix && *unix ? unix : "/tmp/vorlix-e2e");
        fs::create_directories(path);
        return path;
    }();
    return work;
}

int Shell(const std::string& script)
{
    // Wine starts a Linux program when it is asked to, but gives no handle
    // that can be waited on: the script leaves its exit status in a file.
    static int count = 0;
    const std::string base = Work() + "\\shell-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
    const std::string status = UnixPath(base) + ".status";
    WriteFile(base + ".sh", "(\n" + script + "\n) >>'" + UnixPath(Work()) + "/shell.log' 2>&1 </dev/null\n" +
                                "echo $? >'" + status + ".tmp' && mv '" + status + ".tmp' '" + status + "'\n");
    std::wstring command = L"sh \"" + std::wstring(base.begin() + 2, base.end()) + L".sh\"";
    std::replace(command.begin(), command.end(), L'\\', L'/');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    if (!CreateProcessW(L"Z:\\bin\\sh", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (!WaitFor([&] { return Exists(base + ".status"); }, 60000))
        return -1;
    const int result = std::atoi(ReadFile(base + ".status").c_str());
    DeleteFileA((base + ".sh").c_str());
    DeleteFileA((base + ".status").c_str());
    return result;
}

void LinkComPorts(const std::vector<std::pair<int, std::string>>& links)
{
    std::string script = "cd \"$WINEPREFIX/dosdevices\" && rm -f com1 com2 com3 com4 com5 com6 com7 com8 com9";
    for (const auto& [port, target] : links)
        script += " && ln -s '" + target + "' com" + std::to_string(port);
    Shell(script);
}

Cable::Cable(const std::string& dir) : m_dir(UnixPath(dir))
{
    const std::string d = "'" + m_dir + "'";
    m_ok = Shell("rm -f " + d + "/com " + d + "/logger\n"
                 "socat pty,raw,echo=0,link=" + d + "/com pty,raw,echo=0,link=" + d + "/logger >/dev/null 2>&1 &\n"
                 "echo $! >" + d + "/socat.pid\n"
                 "for i in $(seq 100); do [ -e " + d + "/com ] && [ -e " + d + "/logger ] && break; sleep 0.05; done\n"
                 "ln -sfn " + d + "/logger \"$WINEPREFIX/dosdevices/com30\" && [ -e " + d + "/com ]") == 0;
}

void Cable::Pull()
{
    if (m_ok)
        Shell("kill $(cat '" + m_dir + "/socat.pid')");
    m_ok = false;
}

// ---- The program ------------------------------------------------------------------

bool Program::Start(const std::string& cwd)
{
    Kill();
    m_cwd = cwd;
    std::wstring command = L"vorlix.exe";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    const std::wstring exe(VORLIX_EXE, VORLIX_EXE + sizeof VORLIX_EXE - 1), dir(cwd.begin(), cwd.end());
    return CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup,
                          &m_info) != FALSE;
}

bool Program::WaitExit(int timeoutMs)
{
    return !m_info.hProcess || WaitForSingleObject(m_info.hProcess, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
}

bool Program::Running() { return !WaitExit(0); }

void Program::Kill()
{
    if (!m_info.hProcess)
        return;
    TerminateProcess(m_info.hProcess, 1);
    WaitForSingleObject(m_info.hProcess, 10000);
    CloseHandle(m_info.hProcess);
    CloseHandle(m_info.hThread);
    m_info = {};
}

long Program::UnixPid()
{
    // Wine runs the program in a Linux process named after it, in its working directory.
    const std::string found = m_cwd + "\\unix-pid.txt";
    if (!Running())
        return -1;
    Shell("for p in $(pgrep -x vorlix.exe); do [ \"$(readlink /proc/$p/cwd)\" != '" + UnixPath(m_cwd) +
          "' ] || echo $p; done >'" + UnixPath(found) + "'");
    const long pid = std::atol(ReadFile(found).c_str());
    DeleteFileA(found.c_str());
    return pid > 0 ? pid : -1;
}

double CpuSeconds(long unixPid)
{
    // /proc/PID/stat: the name in parentheses may hold blanks; utime and stime
    // are the 12th and 13th fields after it, in ticks of 1/100 s.
    const std::string stat = ReadFile("Z:\\proc\\" + std::to_string(unixPid) + "\\stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    unsigned long long ticks = 0;
    int i = 0;
    for (; i < 13 && fields >> field; ++i)
        if (i == 11 || i == 12)
            ticks += std::stoull(field);
    return i < 13 ? -1 : static_cast<double>(ticks) / 100.0;
}

long ProcessStatus(long unixPid, const char* key)
{
    std::istringstream status(ReadFile("Z:\\proc\\" + std::to_string(unixPid) + "\\status"));
    const std::string prefix = key;
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::atol(line.c_str() + prefix.size());
    return -1;
}

bool Screenshot(const std::string& path, const std::string& crop)
{
    DeleteFileA(path.c_str());
    return Shell("import -display \"$DISPLAY\" -window root " + (crop.empty() ? "" : "-crop " + crop + " +repage ") +
                 "'" + UnixPath(path) + "'") == 0 &&
           ReadFile(path).substr(0, 4) == "\x89PNG";
}

// ---- Windows ----------------------------------------------------------------------

namespace {
std::string Utf8(const wchar_t* text, int length)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], n, nullptr, nullptr);
    return out;
}

std::string WindowText(HWND window)
{
    wchar_t buffer[4096] = L"";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, &length))
        return std::string();
    return Utf8(buffer, static_cast<int>(length));
}

std::string ClassOf(HWND window)
{
    wchar_t buffer[256] = L"";
    return Utf8(buffer, GetClassNameW(window, buffer, 256));
}

// The first visible top-level window for which `match` holds.
HWND WaitTopLevel(const std::function<bool(HWND)>& match, int timeoutMs)
{
    struct Search {
        const std::function<bool(HWND)>* match;
        HWND found;
    } search{ &match, nullptr };
    WaitFor(
        [&] {
            EnumWindows(
                [](HWND h, LPARAM l) {
                    auto* s = reinterpret_cast<Search*>(l);
                    if (IsWindowVisible(h) && (*s->match)(h))
                        s->found = h;
                    return s->found ? FALSE : TRUE;
                },
                reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}
}  // namespace

HWND WaitWindow(const std::string& title, int timeoutMs)
{
    return WaitTopLevel([&](HWND h) { return WindowText(h) == title; }, timeoutMs);
}

HWND WaitOwned(HWND owner, int timeoutMs)
{
    return WaitTopLevel([&](HWND h) { return h != owner && GetWindow(h, GW_OWNER) == owner; }, timeoutMs);
}

bool WaitGone(HWND window, int timeoutMs)
{
    return WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

std::string Title(HWND window) { return WindowText(window); }
std::string Text(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

bool Checked(HWND dialog, int id)
{
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::string StaticTexts(HWND dialog)
{
    std::string all;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (const std::string text = WindowText(c); ClassOf(c) == "Static" && !text.empty())
            all += text + "\n";
    return all;
}

bool Click(HWND dialog, int id)
{
    // Posted, as a click is: the button's handler may open a modal dialog.
    const HWND button = GetDlgItem(dialog, id);
    return button && IsWindowEnabled(button) && IsWindowVisible(button) && PostMessageW(button, BM_CLICK, 0, 0);
}

void SetText(HWND dialog, int id, const std::string& text)
{
    const std::wstring wide(text.begin(), text.end());  // the tests' paths are ASCII
    DWORD_PTR result = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_ABORTIFHUNG,
                        2000, &result);
}

void Key(HWND window, int vk)
{
    const HWND focus = FocusOf(window);
    PostMessageW(focus ? focus : window, WM_KEYDOWN, static_cast<WPARAM>(vk), 1);
    PostMessageW(focus ? focus : window, WM_KEYUP, static_cast<WPARAM>(vk), 0xC0000001);
}

void Close(HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }
void SysCommand(HWND window, unsigned command) { PostMessageW(window, WM_SYSCOMMAND, command, 0); }
int Focus(HWND window) { return GetDlgCtrlID(FocusOf(window)); }

bool ChooseTableFile(HWND main, const std::string& path)
{
    const HWND chooser = Click(main, IDC_READ) ? WaitOwned(main, 10000) : nullptr;
    if (!chooser)
        return false;
    SetText(chooser, kChooserName, path);
    if (!Click(chooser, IDOK))
        return false;
    WaitGone(chooser, 3000);
    return true;
}

bool ConfirmErase(HWND main)
{
    const HWND confirm = Click(main, IDC_ERASE) ? WaitOwned(main, 5000) : nullptr;
    return confirm && Click(confirm, IDOK);
}

bool WaitReadOutStarted(HWND main, int timeoutMs)
{
    return WaitFor([&] { return !Enabled(main, IDC_ERASE); }, timeoutMs);
}

bool WaitReadOutEnded(HWND main, int timeoutMs)
{
    // The handler that gives the buttons back closes the table after them:
    // once the window has answered a message of ours, that handler is done.
    DWORD_PTR answer = 0;
    return WaitFor([&] { return Enabled(main, IDC_ERASE); }, timeoutMs) &&
           SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer);
}

namespace {
std::string ObjectText(HANDLE object, int infoClass)
{
    // Both the type and the name information begin with the string.
    alignas(UNICODE_STRING) char buffer[4096];
    ULONG length = 0;
    if (NtQueryObject(object, static_cast<OBJECT_INFORMATION_CLASS>(infoClass), buffer, sizeof buffer, &length) != 0)
        return std::string();
    const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer);
    return text->Buffer ? Utf8(text->Buffer, text->Length / sizeof(wchar_t)) : std::string();
}
}  // namespace

std::vector<std::string> Handles(HWND window)
{
    // Wine reports no count through GetProcessHandleCount: every possible handle value is tried.
    constexpr int kObjectName = 1, kObjectType = 2;
    std::vector<std::string> handles;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    const HANDLE process = pid ? OpenProcess(PROCESS_DUP_HANDLE, FALSE, pid) : nullptr;
    if (!process)
        return handles;
    for (UINT_PTR value = 4; value < 4 * 16384; value += 4) {
        HANDLE copy;
        if (DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                            DUPLICATE_SAME_ACCESS)) {
            handles.push_back(ObjectText(copy, kObjectType) + " " + ObjectText(copy, kObjectName));
            CloseHandle(copy);
        }
    }
    CloseHandle(process);
    return handles;
}

int Windows(HWND window)
{
    struct Count {
        DWORD pid;
        int windows;
    } count{ 0, 0 };
    if (!GetWindowThreadProcessId(window, &count.pid))
        return -1;
    EnumWindows(
        [](HWND h, LPARAM l) {
            auto* c = reinterpret_cast<Count*>(l);
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            if (pid == c->pid) {
                ++c->windows;
                EnumChildWindows(h, [](HWND, LPARAM l) { return ++reinterpret_cast<Count*>(l)->windows, TRUE; }, l);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.windows;
}

std::map<std::string, int> HandlesGrown(HWND window, const std::vector<std::string>& before, int choosersShown)
{
    const std::string chooserKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU";
    std::map<std::string, int> grown;
    for (int look = 0; look < 10; ++look) {
        if (look > 0)
            Sleep(300);
        grown.clear();
        for (const std::string& handle : Handles(window))
            ++grown[handle];
        for (const std::string& handle : before)
            --grown[handle];
        for (auto i = grown.begin(); i != grown.end();) {
            if (i->first.compare(0, 4, "Key ") == 0 && i->first.find(chooserKey) != std::string::npos)
                i->second -= std::min(i->second, choosersShown);
            i = i->second <= 0 ? grown.erase(i) : std::next(i);
        }
        if (grown.empty())
            break;
    }
    return grown;
}

}  // namespace e2e
