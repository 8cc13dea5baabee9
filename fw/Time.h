// CTime and CTimeSpan: the time of day in whole seconds.
#pragma once

#include <ctime>
#include <windows.h>

// windows.h names an old tick-count function GetCurrentTime.
#ifdef GetCurrentTime
#undef GetCurrentTime
#endif

class CTimeSpan {
public:
    explicit CTimeSpan(long long seconds = 0) : m_seconds(seconds) {}
    CTimeSpan(long days, int hours, int minutes, int seconds)
        : m_seconds(((days * 24LL + hours) * 60 + minutes) * 60 + seconds) {}
    long long GetTotalSeconds() const { return m_seconds; }

private:
    long long m_seconds;
};

class CTime {
public:
    explicit CTime(std::time_t time = 0) : m_time(time) {}
    static CTime GetCurrentTime() { return CTime(std::time(nullptr)); }
    // Milliseconds until the seconds count next changes, 1 to 1000.
    static DWORD MillisToNextSecond()
    {
        FILETIME now;
        ::GetSystemTimeAsFileTime(&now);
        const ULONGLONG millis = ((static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime) / 10000;
        return static_cast<DWORD>(1000 - millis % 1000);
    }
    std::time_t GetTime() const { return m_time; }

    friend CTime operator+(CTime time, CTimeSpan span) { return CTime(time.m_time + static_cast<std::time_t>(span.GetTotalSeconds())); }
    friend bool operator<(CTime a, CTime b) { return a.m_time < b.m_time; }
    friend bool operator>=(CTime a, CTime b) { return a.m_time >= b.m_time; }

private:
    std::time_t m_time;
};
