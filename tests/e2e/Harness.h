// The end-to-end harness: the real vorlix.exe under Wine, worked through its windows with the same calls a user's
// clicks end in, from a test program in the same Wine desktop. Each test gets a fresh folder as the program's
// working directory and a fresh cable: a socat pty pair, the program's COM port at one end, the logger simulator
// on COM 30 at the other; tests/e2e/cable.sh plugs and pulls it, as only Linux can. Files go by their Windows names
// in UTF-8, Z:\... for the Linux tree.
#pragma once

#include "LoggerSim.h"
#include "ui/resource.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <memory>
#include <sstream>
#include <windows.h>

namespace e2e {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
inline double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A logger record and the table row it must give, both written out by hand: 22 characters received, 28 bytes.
constexpr char kRecord[] = " 5 307 9 5 2.5 998.0\r\n";
constexpr char kRow[] = "05.03.07\t09:05\t 2,5\t 998,0\t\n";

inline std::string Times(const std::string& text, size_t n)
{
    std::string all;
    while (n-- > 0)
        all += text;
    return all;
}

// Polls `done` every 10 ms until it holds; false when `timeoutMs` passed first (with 0, checks once).
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    for (const DWORD start = GetTickCount(); !done(); Sleep(10))
        if (GetTickCount() - start >= static_cast<DWORD>(timeoutMs))
            return false;
    return true;
}

inline std::string Env(const char* name, const char* fallback = "")
{
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

inline std::wstring Wide(const std::string& utf8) { return fs::u8path(utf8).wstring(); }

inline std::string ReadFile(const std::string& path)
{
    std::ostringstream s;
    s << std::ifstream(fs::u8path(path), std::ios::binary).rdbuf();
    return s.str();
}

inline std::string UnixPath(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path.substr(2);  // the Z:
}

// The folder of the tests' files, and of the cable.
inline std::string Work()
{
    std::string path = "Z:" + Env("VX_E2E_WORK", "/tmp/vorlix-e2e");
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Runs a Linux shell script and waits for it; its exit status, -1 when it did not end within a minute. Wine starts a
// Linux program when it is asked to, but gives no handle that can be waited on: the script leaves its exit status
// in a file, which appears whole. Its output goes to shell.log.
inline int Shell(const std::string& script)
{
    static int count = 0;
    const std::string base = Work() + "\\shell-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++count);
    std::ofstream(fs::u8path(base), std::ios::binary)
        << "(\n" << script << "\n) >>\"${0%/*}/shell.log\" 2>&1 </dev/null\n"
        << "echo $? >\"$0.tmp\"\nrm \"$0\"\nmv \"$0.tmp\" \"$0.status\"\n";
    std::wstring command = Wide("sh \"" + UnixPath(base) + "\"");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION sh{};
    if (!CreateProcessW(L"Z:\\bin\\sh", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &sh))
        return -1;
    CloseHandle(sh.hThread);
    CloseHandle(sh.hProcess);
    const std::string status = base + ".status";
    const int result = WaitFor([&] { return fs::exists(status); }, 60000) ? std::atoi(ReadFile(status).c_str()) : -1;
    fs::remove(status);
    return result;
}

// The text of `window`, or of its control `id`, in UTF-8.
inline std::string Text(HWND window, int id = 0)
{
    wchar_t text[4096] = L"";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(id ? GetDlgItem(window, id) : window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, 2000, &length))
        return std::string();
    std::string out(length * 3, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], out.size(), nullptr, nullptr));
    return out;
}

// Calls `visit` on every top-level window, or on every window inside `parent`, until it returns true; whether it did.
inline bool EachWindow(HWND parent, const std::function<bool(HWND)>& visit)
{
    const WNDENUMPROC each = [](HWND h, LPARAM l) {
        return (*reinterpret_cast<const std::function<bool(HWND)>*>(l))(h) ? FALSE : TRUE;
    };
    const LPARAM l = reinterpret_cast<LPARAM>(&visit);
    return !(parent ? EnumChildWindows(parent, each, l) : EnumWindows(each, l));
}

inline DWORD ProcessOf(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// The first visible top-level window for which `match` holds, waited for; nullptr when none came in time.
inline HWND WaitTopLevel(const std::function<bool(HWND)>& match, int timeoutMs)
{
    HWND found = nullptr;
    const auto visible = [&](HWND h) {
        found = h;
        return IsWindowVisible(h) && match(h);
    };
    return WaitFor([&] { return EachWindow(nullptr, visible); }, timeoutMs) ? found : nullptr;
}

// A dialog or box of `owner`'s.
inline HWND WaitOwned(HWND owner, int timeoutMs)
{
    return WaitTopLevel([&](HWND h) { return h != owner && GetWindow(h, GW_OWNER) == owner; }, timeoutMs);
}

// Waits until the window is destroyed, as a modal dialog is once its loop has ended.
inline bool WaitGone(HWND window, int timeoutMs) { return WaitFor([&] { return !IsWindow(window); }, timeoutMs); }

inline bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

// Clicks a button as a user does; false when it is disabled, hidden or missing. Posted, as a click is: the
// button's handler may open a modal dialog.
inline bool Click(HWND dialog, int id)
{
    const HWND button = GetDlgItem(dialog, id);
    return button && IsWindowEnabled(button) && IsWindowVisible(button) && PostMessageW(button, BM_CLICK, 0, 0);
}

// What the box says (the texts in it, one a line); clicks its `button` and waits until it is destroyed.
inline std::string Dismiss(HWND box, int button = IDOK)
{
    EXPECT_TRUE(box) << "no box to dismiss";
    std::string texts;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        texts += Text(c) + "\n";
    Click(box, button);
    WaitGone(box, 3000);
    return texts;
}

inline HWND ErrorBox(int timeoutMs)
{
    return WaitTopLevel([](HWND h) { return Text(h) == "Vorlix: Fehler / Error"; }, timeoutMs);
}

class VorlixTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = Work() + "\\tests\\" + info->test_suite_name() + "." + info->name();
        fs::remove_all(dir);
        fs::create_directories(dir);
        Plug();
    }

    void TearDown() override
    {
        Kill();
        sim.reset();
        Pull();  // no COM port of the prefix is left pointing anywhere
    }

    // A new cable, the adapter plugged in (again) as COM `port`; its far end is COM 30, for the logger simulator.
    void Plug(int port = 2)
    {
        ASSERT_EQ(0, Shell("sh '" CABLE_SH "' '" + UnixPath(Work()) + "' plug " + std::to_string(port)))
            << "socat did not make the cable";
    }

    // The cable disappears: socat ends, and the COM ports with it.
    void Pull() { Shell("sh '" CABLE_SH "' '" + UnixPath(Work()) + "' pull"); }

    // The logger simulator holding `records`: 1042 µs a byte is 9600 baud; `raw` keeps them after an erase.
    void StartLogger(const std::string& records, long byteMicros = 1042, bool raw = false)
    {
        sim = std::make_unique<loggersim::Simulator>(loggersim::Options{ records, raw, byteMicros, 0, 0 });
        std::string error;
        ASSERT_TRUE(sim->Start("COM30", &error)) << error;
    }

    // A logger, then vorlix.exe started in the test's folder; the first window it shows, which becomes `main`.
    HWND Start(const std::string& records, long byteMicros = 1042, bool raw = false)
    {
        Kill();
        StartLogger(records, byteMicros, raw);
        std::wstring command = L"vorlix.exe";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        EXPECT_TRUE(CreateProcessW(Wide(VORLIX_EXE).c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   Wide(dir).c_str(), &startup, &program));
        main = WaitTopLevel([&](HWND h) { return ProcessOf(h) == program.dwProcessId; }, 30000);
        EXPECT_TRUE(main) << "the program shows no window";
        return main;
    }

    void Kill()
    {
        if (!program.hProcess)
            return;
        TerminateProcess(program.hProcess, 1);
        WaitForSingleObject(program.hProcess, 10000);
        CloseHandle(program.hProcess);
        CloseHandle(program.hThread);
        program = {};
    }

    // What the program holds: its kernel handles (Wine reports no count through GetProcessHandleCount: every
    // possible handle value is tried), and its windows, top-level and child; in *keys, its registry keys.
    std::pair<int, int> Holdings(int* keys = nullptr) const
    {
        std::pair<int, int> held{ 0, 0 };
        for (UINT_PTR value = 4; value < 4 * 16384; value += 4) {
            HANDLE copy;
            if (DuplicateHandle(program.hProcess, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0,
                                FALSE, DUPLICATE_SAME_ACCESS)) {
                if (keys && RegQueryInfoKeyW(static_cast<HKEY>(copy), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0) == ERROR_SUCCESS)
                    ++*keys;
                held.first += CloseHandle(copy) ? 1 : 0;
            }
        }
        EachWindow(GetDesktopWindow(), [&](HWND h) {
            held.second += ProcessOf(h) == program.dwProcessId ? 1 : 0;
            return false;
        });
        return held;
    }

    std::string Path(const std::string& name) const { return dir + "\\" + name; }
    std::string Table(const std::string& name) const { return ReadFile(Path(name)); }

    // Clicks `button` in the main window; the dialog or box it opens.
    HWND Open(int button)
    {
        EXPECT_TRUE(Click(main, button));
        return WaitOwned(main, 10000);
    }

    // Read, and `name` (in the test's folder, or a whole path) in the file chooser's name field (0x47c). The program locks the four buttons one by one when
    // a read-out starts and gives them back the same way at its end, Delete last both times. So these wait for
    // Delete; a read-out has started once the file is named and the buttons are locked. The handler that gives the
    // buttons back closes the table after them: once the window has answered a message of ours, that handler is done.
    void StartRun(const std::string& name, bool locks = true)
    {
        const HWND chooser = Open(IDC_READ);
        ASSERT_TRUE(chooser) << "Read opened no file chooser";
        SetDlgItemTextW(chooser, 0x47c, Wide(name.find(':') == std::string::npos ? Path(name) : name).c_str());
        ASSERT_TRUE(Click(chooser, IDOK) && WaitGone(chooser, 3000));
        if (!locks)
            return;
        ASSERT_TRUE(WaitFor([&] { return !Enabled(main, IDC_ERASE); }, 3000)) << "the buttons lock during the run";
    }
    bool WaitForEnd(int timeoutMs) { return WaitFor([&] { return Enabled(main, IDC_ERASE); }, timeoutMs) && Answers(); }
    bool Answers() { return SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr) != 0; }
    // Whether the program shows nothing over its main window, checked once: a box or dialog that a handler opens
    // disables the window before it is created, and the window answers our message only after the handler has
    // returned or from the loop of what it opened.
    bool NothingOpen() { return Answers() && IsWindowEnabled(main) && !WaitOwned(main, 0); }

    // Asks the script that runs this (named in VX_PROBE: tools/soak.sh, tools/benchmark.sh) to read `what` of the
    // program's Linux process, which it finds by its working directory: CPU, memory, threads, open files, writes.
    void Probe(const std::string& what)
    {
        ASSERT_EQ(0, Shell("\"$VX_PROBE\" --probe '" + UnixPath(dir) + "' " + what)) << "cannot measure " << what;
    }

    std::string dir;
    std::unique_ptr<loggersim::Simulator> sim;
    PROCESS_INFORMATION program{};
    HWND main = nullptr;
};

}  // namespace e2e
