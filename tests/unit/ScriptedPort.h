// A serial driver that answers from a script, for the serial control's port layer.
#pragma once

#include "link/PortIo.h"

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <utility>

// One read's answer; `millis` is how long it takes on the port's own clock. It says it read all of `data`, yet puts
// no more into the buffer than was asked for; a port that tells what waits keeps the rest of a `reported` one.
// The ClearCommError before it reports its `lineErrors` (CE_...), and its bytes as waiting unless not `reported`.
// One `inBuffer` is bytes in the driver's buffer, dropped by PURGE_RXCLEAR; one `untilAbort` is pending until a purge
// aborts it; a `deaf` one until `abort` is set, deaf to the stop event, and then ends stopped; a `throws` one throws.
struct ReadAnswer {
    std::string data;
    DWORD error = 0;
    bool waited = true;
    DWORD millis = 5;
    DWORD lineErrors = 0;
    enum When : char { now, inBuffer, throws, untilAbort, deaf } when = now;
    bool reported = true;
};
inline ReadAnswer Data(const std::string& data) { return { data, 0, true, 5 }; }
inline ReadAnswer Quiet() { return { "", 0, true, 1000 }; }                 // an idle read that waited its timeout
inline ReadAnswer Failing(DWORD error) { return { "", error, false, 0 }; }  // Failing(0): empty at once
inline ReadAnswer Throwing() { return { "", 0, true, 5, 0, ReadAnswer::throws }; }

// The test sets it up before the port opens; afterwards the reader thread and the test share it under one lock.
class CScriptedPort : public CPortIo {
public:
    std::vector<ReadAnswer> script;  // the reads' answers, in order
    ReadAnswer rest = Quiet();       // ... and every read's once the script is done: the pull
    DWORD statusError = 0, probeError = 0, openError = 0, configureError = 0, writeError = 0;
    DWORD flagged = 0;  // line errors not yet taken by ClearCommError: writes fail with 995 meanwhile
    HANDLE abort = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // set by a purge: the read in flight ends
    size_t next = 0;
    unsigned long purges = 0;
    ULONGLONG now = 0, pulled = ~0ull;  // the port's clock; the first read after the script
    std::vector<std::pair<ULONGLONG, std::string>> calls;
    std::string written;

    ~CScriptedPort() override { CloseHandle(abort); }
    HANDLE openGate = nullptr;  // set: the open waits for it, 10 s at most
    DWORD Open(int) override
    {
        if (openGate)
            WaitForSingleObject(openGate, 10000);
        return Locked([&] { purges = 0; return openError; });  // a new handle's count
    }
    DWORD Configure(const CommSettings&, DWORD) override { return configureError; }
    void Close() override { Log("close"); }
    Result Status(DWORD* lineErrors, DWORD* waiting) override
    {
        Log("status");
        return Locked([&] {
            const bool live = next < script.size() && !statusError;
            *lineErrors = statusError ? 0 : std::exchange(flagged, 0);  // taken: reported once
            *lineErrors |= live ? std::exchange(script[next].lineErrors, 0) : 0;
            *waiting = live && script[next].reported ? static_cast<DWORD>(script[next].data.size()) : 0;
            return Result{ 0, statusError };
        });
    }
    DWORD reader = 0;  // the reader thread's id
    Result Read(DWORD count, HANDLE stop) override
    {
        Log("read");
        unsigned long purgesSeen = 0;
        const ReadAnswer answer = Locked([&] {
            purgesSeen = purges, reader = GetCurrentThreadId();
            ResetEvent(abort);
            if (next < script.size())
                return script[next++];
            pulled = std::min(pulled, now);
            return rest;
        });
        if (answer.when == ReadAnswer::throws)
            throw std::runtime_error("the driver's layer failed");
        HANDLE waits[] = { abort, stop };
        if (answer.when >= ReadAnswer::untilAbort)
            Log("pending"), WaitForMultipleObjects(answer.when == ReadAnswer::deaf ? 1 : 2, waits, FALSE, INFINITE);
        if (answer.when == ReadAnswer::deaf || WaitForSingleObject(stop, 0) == WAIT_OBJECT_0)
            return Result{ 0, 0, false, true };
        Locked([&] { now += answer.millis; });
        answer.data.copy(m_buffer, std::min<size_t>(answer.data.size(), count));
        if (answer.reported && !statusError && answer.data.size() > count)
            Locked([&] { script.insert(script.begin() + static_cast<std::ptrdiff_t>(next), Data(answer.data.substr(count))); });
        return Result{ static_cast<DWORD>(answer.data.size()), answer.error, answer.waited, false, purgesSeen };
    }
    const char* Buffer() const override { return m_buffer; }
    Result Write(const void* data, DWORD count, DWORD) override
    {
        Log("write");
        return Locked([&] {
            const DWORD error = flagged ? ERROR_OPERATION_ABORTED : writeError;
            if (!error)
                written.append(static_cast<const char*>(data), count);
            return Result{ error ? 0 : count, error };
        });
    }
    DWORD Probe() override { return Log("probe"), probeError; }
    unsigned long Purge(DWORD flags) override
    {
        Log("purge");
        return Locked([&] {
            while (flags & PURGE_RXCLEAR && next < script.size() && script[next].when == ReadAnswer::inBuffer)
                script.erase(script.begin() + static_cast<std::ptrdiff_t>(next));
            if (flags & PURGE_RXABORT)
                SetEvent(abort);
            return purges += (flags & (PURGE_RXCLEAR | PURGE_RXABORT)) ? 1 : 0;
        });
    }
    ULONGLONG Now() override { return Locked([&] { return now; }); }
    bool Pause(DWORD ms, HANDLE stop) override
    {
        Locked([&] { now += ms; });
        return WaitForSingleObject(stop, 1) == WAIT_OBJECT_0;
    }

    void Push(const ReadAnswer& answer) { Locked([&] { script.push_back(answer); }); }
    void Then(const ReadAnswer& answer) { Locked([&] { rest = answer; }); }
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
        return Locked([&] { return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const auto& call) {
            return call.second == what && call.first >= from && call.first < to;
        })); });
    }

private:
    void Log(const char* what) { Locked([&] { calls.emplace_back(now, what); }); }
    std::mutex m_mutex;
    char m_buffer[kBufferSize] = {};
};
