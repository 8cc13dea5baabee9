// A serial driver that answers from a script, for the serial control's port layer.
#pragma once

#include "link/PortIo.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <utility>
#include <vector>
#include <windows.h>

// One read's answer; `millis` is how long it takes on the port's own clock.
// `lineErrors` (CE_...) come with its bytes: the ClearCommError before it reports
// them. A read `untilAbort` is pending until a purge aborts it, then answers;
// one `inBuffer` is bytes in the driver's buffer, dropped by PURGE_RXCLEAR.
struct ReadAnswer {
    std::string data;
    DWORD error = 0;
    bool waited = true;
    DWORD millis = 5;
    DWORD lineErrors = 0;
    enum When : char { now, untilAbort, inBuffer } when = now;
};
inline ReadAnswer Data(const std::string& data) { return { data, 0, true, 5 }; }
inline ReadAnswer Quiet() { return { "", 0, true, 1000 }; }  // an idle read that waited its timeout
inline ReadAnswer EmptyAtOnce() { return { "", 0, false, 0 }; }
inline ReadAnswer Failing(DWORD error) { return { "", error, false, 0 }; }

// A driver that answers from a script. The test sets it up before the port
// opens; afterwards the reader thread and the test share it under one lock.
class CScriptedPort : public CPortIo {
public:
    std::vector<ReadAnswer> script;  // the reads' answers, in order
    ReadAnswer rest = Quiet();       // ... and every read's once the script is done: the pull
    bool underReports = false;       // ClearCommError says nothing waits, whatever does
    DWORD statusError = 0, liveStatusError = 0;  // what ClearCommError fails with after the script, and during it
    DWORD probeError = 0, openError = 0, configureError = 0, writeError = 0;
    DWORD flagged = 0;      // line errors not yet taken by ClearCommError: writes fail with 995 meanwhile
    HANDLE hang = nullptr;  // when set, a read after the script blocks on it, deaf to the stop event

    ~CScriptedPort() override { CloseHandle(m_abort); }

    DWORD Open(int) override { return openError; }
    DWORD Configure(const CommSettings&, DWORD) override { return configureError; }
    void Close() override { Log("close"); }
    Result Status(DWORD* lineErrors, DWORD* waiting) override
    {
        Log("status");
        return Locked([&] {
            const bool live = next < script.size();
            Result result;
            result.error = live ? liveStatusError : statusError;
            *lineErrors = 0;
            if (!result.error)  // taken: reported once
                *lineErrors = std::exchange(flagged, 0) | (live ? std::exchange(script[next].lineErrors, 0) : 0);
            *waiting = !result.error && live && !underReports ? static_cast<DWORD>(script[next].data.size()) : 0;
            return result;
        });
    }
    Result Read(DWORD count, HANDLE stop) override
    {
        Log("read");
        bool pulled = false;
        Result result;
        const ReadAnswer answer = Locked([&] {
            asked.push_back(count);
            result.purges = purges;
            pulled = next >= script.size();
            if (pulled && !scriptDone)
                scriptDone = true, unplugAt = now;
            if (!pulled && script[next].when == ReadAnswer::untilAbort)
                ResetEvent(m_abort);
            return pulled ? rest : script[next++];
        });
        HANDLE waits[] = { stop, m_abort };
        if (hang && pulled)
            Log("hang"), WaitForSingleObject(hang, INFINITE);
        else if (answer.when == ReadAnswer::untilAbort)
            Log("pending"), WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if ((hang && pulled) || WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) {
            result.stopped = true;
            return result;
        }
        Locked([&] { return now += answer.millis; });
        // What it says it read, which may be more than it was asked for and put into the buffer.
        result.bytes = static_cast<DWORD>(answer.data.size());
        answer.data.copy(m_buffer, std::min<size_t>(answer.data.size(), count));
        result.error = answer.error;
        result.waited = answer.waited;
        return result;
    }
    const char* Buffer() const override { return m_buffer; }
    Result Write(const void* data, DWORD count, DWORD) override
    {
        Log("write");
        Result result;
        result.error = Locked([&] { return flagged ? ERROR_OPERATION_ABORTED : writeError; });
        if (!result.error)
            result.bytes = Locked([&] { return written.append(static_cast<const char*>(data), count), count; });
        return result;
    }
    DWORD Probe() override { return Log("probe"), probeError; }
    unsigned long Purge(DWORD flags) override
    {
        Log("purge");
        return Locked([&] {
            if (flags & PURGE_RXCLEAR)
                script.erase(std::remove_if(script.begin() + static_cast<std::ptrdiff_t>(next), script.end(),
                                            [](const ReadAnswer& a) { return a.when == ReadAnswer::inBuffer; }),
                             script.end());
            if (flags & PURGE_RXABORT)
                SetEvent(m_abort);
            return purges += (flags & (PURGE_RXCLEAR | PURGE_RXABORT)) ? 1 : 0;
        });
    }
    ULONGLONG Now() override { return Locked([&] { return now; }); }
    bool Pause(DWORD ms, HANDLE stop) override
    {
        Locked([&] { return now += ms; });
        Sleep(1);
        return WaitForSingleObject(stop, 0) == WAIT_OBJECT_0;
    }

    // Reads what the reader thread writes.
    template <class F>
    auto Locked(F f) -> decltype(f())
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return f();
    }
    // How often `what` was called between `from` and `to` on the port's clock.
    int Count(const std::string& what, ULONGLONG from = 0, ULONGLONG to = ~0ull)
    {
        return Locked([&] {
            return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const auto& call) {
                return call.second == what && call.first >= from && call.first < to;
            }));
        });
    }

    size_t next = 0;
    unsigned long purges = 0;
    bool scriptDone = false;
    ULONGLONG now = 0, unplugAt = 0;  // the port's clock; the first read after the script
    std::vector<std::pair<ULONGLONG, std::string>> calls;
    std::vector<DWORD> asked;
    std::string written;

private:
    void Log(const char* what)
    {
        Locked([&] { return calls.emplace_back(now, what), 0; });
    }
    std::mutex m_mutex;
    HANDLE m_abort = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // set by a purge that aborts the read in flight
    char m_buffer[kBufferSize] = {};
};
