// vxdriver: works another program's windows for the end-to-end tests, the way
// a user would: find a window, click a button by its control id, type into a
// field, read what a control shows. It runs under Wine inside the same desktop
// as the program and takes one command a line over a loopback TCP connection:
// a verb, then its arguments (window handles in hex), as Execute() reads them
// and the tests' Driver (tests/e2e/Harness.h) sends them. Replies are one
// line, "ok ..." or "err ..."; `controls` and `handles` add a line per item.
// Text travels as UTF-8 with \n, \t and \\ escaped.
#include "TextEscape.h"

#include <winsock2.h>
#include <windows.h>
#include <winternl.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

HANDLE g_held = INVALID_HANDLE_VALUE;

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}



HWND ParseHwnd(const std::string& s) { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(s.c_str(), nullptr, 16))); }
std::string Hex(HWND h) { char b[32]; std::snprintf(b, sizeof b, "%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(h))); return b; }

std::string WindowText(HWND h)
{
    wchar_t buffer[4096] = L"";
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(h, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, &result))
        return std::string();
    return EscapeText(Utf8(std::wstring(buffer, result)));
}

std::string ClassOf(HWND h)
{
    wchar_t buffer[256] = L"";
    GetClassNameW(h, buffer, 256);
    return Utf8(buffer);
}

struct FindTitle {
    std::wstring title;
    HWND found;
};

BOOL CALLBACK FindByTitle(HWND h, LPARAM l)
{
    auto* f = reinterpret_cast<FindTitle*>(l);
    wchar_t buffer[512] = L"";
    GetWindowTextW(h, buffer, 512);
    if (IsWindowVisible(h) && f->title == buffer) {
        f->found = h;
        return FALSE;
    }
    return TRUE;
}

struct FindOwned {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindByOwner(HWND h, LPARAM l)
{
    auto* f = reinterpret_cast<FindOwned*>(l);
    if (h != f->owner && IsWindowVisible(h) && GetWindow(h, GW_OWNER) == f->owner) {
        f->found = h;
        return FALSE;
    }
    return TRUE;
}

template <class Find>
HWND WaitFor(Find find, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        HWND h = find();
        if (h || GetTickCount() - start >= timeoutMs)
            return h;
        Sleep(10);
    }
}

std::vector<std::string> Split(const std::string& line, size_t maxParts)
{
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < line.size() && parts.size() + 1 < maxParts) {
        const size_t space = line.find(' ', i);
        if (space == std::string::npos)
            break;
        parts.push_back(line.substr(i, space - i));
        i = space + 1;
    }
    if (i <= line.size())
        parts.push_back(line.substr(i));
    return parts;
}

HWND Control(const std::vector<std::string>& a)
{
    return GetDlgItem(ParseHwnd(a[1]), std::atoi(a[2].c_str()));
}

std::string ObjectText(HANDLE object, int infoClass)
{
    // Both the type and the name information begin with the string.
    alignas(UNICODE_STRING) char buffer[4096];
    ULONG length = 0;
    if (NtQueryObject(object, static_cast<OBJECT_INFORMATION_CLASS>(infoClass), buffer, sizeof buffer, &length) != 0)
        return std::string();
    const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer);
    return text->Buffer ? Utf8(std::wstring(text->Buffer, text->Length / sizeof(wchar_t))) : std::string();
}

// The kernel handles of a process, "type name" each. Wine reports no count
// through GetProcessHandleCount, so every possible handle value is tried.
std::vector<std::string> KernelHandles(DWORD pid)
{
    constexpr int kObjectName = 1, kObjectType = 2;
    std::vector<std::string> handles;
    HANDLE process = OpenProcess(PROCESS_DUP_HANDLE, FALSE, pid);
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

struct ProcessWindows {
    DWORD pid;
    int count;
};

BOOL CALLBACK CountChild(HWND, LPARAM l)
{
    ++reinterpret_cast<ProcessWindows*>(l)->count;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND h, LPARAM l)
{
    auto* windows = reinterpret_cast<ProcessWindows*>(l);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid == windows->pid) {
        ++windows->count;
        EnumChildWindows(h, CountChild, l);
    }
    return TRUE;
}

// Every window of the process, top-level and child, visible or not.
int Windows(DWORD pid)
{
    ProcessWindows windows{ pid, 0 };
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    return windows.count;
}

void PostKey(HWND window, WPARAM vk)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND target = window;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus)
        target = info.hwndFocus;
    PostMessageW(target, WM_KEYDOWN, vk, 1);
    PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
}

std::string Execute(const std::string& line, bool& quit)
{
    const std::vector<std::string> a = Split(line, 4);
    const std::string& cmd = a[0];
    const size_t n = a.size();
    if (cmd == "hold" && n >= 2) {
        // Holds a file open without sharing, as another program may.
        const std::wstring path = Wide(UnescapeText(line.substr(5)));
        g_held = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
        return g_held != INVALID_HANDLE_VALUE ? "ok" : "err " + std::to_string(GetLastError());
    }
    if (cmd == "release") {
        CloseHandle(g_held);
        g_held = INVALID_HANDLE_VALUE;
        return "ok";
    }
    if (cmd == "quit") {
        quit = true;
        return "ok";
    }
    if (cmd == "wait-window" && n >= 3) {
        // The title is everything before the last word, which is the timeout.
        const size_t last = line.rfind(' ');
        const std::string title = UnescapeText(line.substr(cmd.size() + 1, last - cmd.size() - 1));
        FindTitle f{ Wide(title), nullptr };
        HWND h = WaitFor([&] { f.found = nullptr; EnumWindows(FindByTitle, reinterpret_cast<LPARAM>(&f)); return f.found; },
                         static_cast<DWORD>(std::atoi(line.substr(last + 1).c_str())));
        return h ? "ok " + Hex(h) : "err none";
    }
    if (n < 2)
        return "err usage";
    HWND h = ParseHwnd(a[1]);
    if (cmd == "owned" && n >= 3) {
        FindOwned f{ h, nullptr };
        HWND found = WaitFor([&] { f.found = nullptr; EnumWindows(FindByOwner, reinterpret_cast<LPARAM>(&f)); return f.found; },
                             static_cast<DWORD>(std::atoi(a[2].c_str())));
        return found ? "ok " + Hex(found) : "err none";
    }
    if (cmd == "title")
        return IsWindow(h) ? "ok " + WindowText(h) : "err gone";
    if (cmd == "class")
        return IsWindow(h) ? "ok " + ClassOf(h) : "err gone";
    if (cmd == "visible")
        return std::string("ok ") + (IsWindow(h) && IsWindowVisible(h) ? "1" : "0");
    if (cmd == "handles" || cmd == "windows") {
        DWORD pid = 0;
        if (!GetWindowThreadProcessId(h, &pid))
            return "err gone";
        if (cmd == "windows")
            return "ok " + std::to_string(Windows(pid));
        std::string out;
        const std::vector<std::string> handles = KernelHandles(pid);
        for (const std::string& handle : handles)
            out += "\n" + EscapeText(handle);
        return "ok " + std::to_string(handles.size()) + out;
    }
    if (cmd == "focus") {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(h, nullptr), &info) || !info.hwndFocus)
            return "err none";
        return "ok " + std::to_string(GetDlgCtrlID(info.hwndFocus));
    }
    if (cmd == "rect") {
        RECT r;
        if (!GetWindowRect(h, &r))
            return "err gone";
        return "ok " + std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) +
               " " + std::to_string(r.bottom - r.top);
    }
    if (cmd == "close")
        return PostMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0) ? "ok" : "err gone";
    if (cmd == "syscommand" && n >= 3)
        return PostMessageW(h, WM_SYSCOMMAND, std::strtoul(a[2].c_str(), nullptr, 0), 0) ? "ok" : "err gone";
    if (cmd == "key" && n >= 3) {
        PostKey(h, std::strtoul(a[2].c_str(), nullptr, 0));
        return "ok";
    }
    if (cmd == "controls") {
        std::string out;
        int count = 0;
        for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            RECT r;
            GetWindowRect(c, &r);
            char head[160];
            std::snprintf(head, sizeof head, "%d %s %lx %ld %ld %ld %ld ", GetDlgCtrlID(c), ClassOf(c).c_str(),
                          static_cast<unsigned long>(GetWindowLongW(c, GWL_STYLE)), r.left, r.top, r.right - r.left,
                          r.bottom - r.top);
            out += "\n" + std::string(head) + WindowText(c);
            ++count;
        }
        return "ok " + std::to_string(count) + out;
    }
    if (n < 3)
        return "err usage";
    HWND control = Control(a);
    if (!control)
        return "err no-control";
    if (cmd == "text")
        return "ok " + WindowText(control);
    if (cmd == "checked")
        return std::string("ok ") + (SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? "1" : "0");
    if (cmd == "enabled")
        return std::string("ok ") + (IsWindowEnabled(control) ? "1" : "0");
    if (cmd == "click") {
        // A user cannot click a disabled button.
        if (!IsWindowEnabled(control) || !IsWindowVisible(control))
            return "err disabled";
        return PostMessageW(control, BM_CLICK, 0, 0) ? "ok" : "err gone";
    }
    if (cmd == "settext") {
        const std::wstring text = Wide(UnescapeText(n >= 4 ? a[3] : std::string()));
        DWORD_PTR result = 0;
        SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 2000, &result);
        return "ok";
    }
    return "err unknown";
}

bool SendAll(SOCKET s, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const int n = send(s, text.data() + done, static_cast<int>(text.size() - done), 0);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: vxdriver PORTFILE\n");
        return 2;
    }
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 1) != 0)
        return 1;
    int length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    {
        // Written whole under another name first, so the reader never sees half of it.
        const std::string tmp = std::string(argv[1]) + ".tmp";
        FILE* f = std::fopen(tmp.c_str(), "w");
        if (!f)
            return 1;
        std::fprintf(f, "%u\n", ntohs(address.sin_port));
        std::fclose(f);
        MoveFileExA(tmp.c_str(), argv[1], MOVEFILE_REPLACE_EXISTING);
    }
    bool quit = false;
    while (!quit) {
        SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            break;
        std::string pending;
        char buffer[1024];
        int n;
        while (!quit && (n = recv(client, buffer, sizeof buffer, 0)) > 0) {
            pending.append(buffer, static_cast<size_t>(n));
            size_t lf;
            while (!quit && (lf = pending.find('\n')) != std::string::npos) {
                std::string line = pending.substr(0, lf);
                pending.erase(0, lf + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                if (!SendAll(client, Execute(line, quit) + "\n"))
                    break;
            }
        }
        closesocket(client);
    }
    closesocket(listener);
    WSACleanup();
    return 0;
}
