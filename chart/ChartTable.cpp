#include "chart/ChartTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

bool Digits(const std::string& text, size_t at, int& value)
{
    if (text[at] < '0' || text[at] > '9' || text[at + 1] < '0' || text[at + 1] > '9')
        return false;
    value = (text[at] - '0') * 10 + (text[at + 1] - '0');
    return true;
}

}  // namespace

int DaysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const int era = y / 400, yoe = y - era * 400;
    const int doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

bool ParseDateTime(const std::string& date, const std::string& time, int thisYear, ChartTime& out)
{
    int day, month, yy, hour, minute;
    if (date.size() != 8 || time.size() != 5 || date[2] != '.' || date[5] != '.' || time[2] != ':' ||
        !Digits(date, 0, day) || !Digits(date, 3, month) || !Digits(date, 6, yy) || !Digits(time, 0, hour) ||
        !Digits(time, 3, minute))
        return false;
    const int latest = thisYear + 1, year = latest - (latest - yy) % 100;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int monthDays[] = { 31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    if (month < 1 || month > 12 || day < 1 || day > monthDays[month - 1] || hour > 23 || minute > 59)
        return false;
    out = (DaysFromCivil(year, month, day) * 24 + hour) * 60 + minute;
    return true;
}

bool ParseValue(const char* text, size_t length, double& value, int& decimals)
{
    const char* p = text;
    const char* end = text + length;
    while (p < end && *p == ' ')
        ++p;
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+'))
        ++p;
    long long mantissa = 0;
    int digits = 0;
    decimals = -1;
    for (; p < end && ((*p >= '0' && *p <= '9') || (*p == ',' && decimals < 0)); ++p) {
        if (*p == ',') {
            decimals = 0;
            continue;
        }
        // Logger values have a few digits: more than 15 are no reading.
        if (++digits > 15)
            return false;
        mantissa = mantissa * 10 + (*p - '0');
        decimals += decimals >= 0;
    }
    while (p < end && *p == ' ')
        ++p;
    if (p != end || digits == 0)
        return false;
    decimals = std::max(decimals, 0);
    value = (negative ? -mantissa : mantissa) / std::pow(10.0, decimals);
    return true;
}

std::string FormatTime(ChartTime time)
{
    // The civil date of a day count, the inverse of DaysFromCivil.
    const int z = static_cast<int>(std::floor(time / 1440.0)) + 719468, minutes = time - (z - 719468) * 1440;
    const int era = z / 146097, doe = z - era * 146097;
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365, doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153, day = doy - (153 * mp + 2) / 5 + 1, month = mp < 10 ? mp + 3 : mp - 9;
    char text[64];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d", day, month, yoe + era * 400 + (month <= 2),
                  minutes / 60, minutes % 60);
    return text;
}

std::string FormatValue(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", std::min(decimals, 9), value);
    std::string out = text;
    std::replace(out.begin(), out.end(), '.', ',');
    if (out[0] == '-' && out.find_first_not_of("-0,") == std::string::npos)
        out.erase(0, 1);  // no "-0,0"
    return out;
}

void CChartReader::Feed(const char* data, size_t size)
{
    for (const char* end = data + size; data < end;) {
        const char* lineEnd = static_cast<const char*>(std::memchr(data, '\n', end - data));
        const char* stop = lineEnd ? lineEnd : end;
        m_line.append(data, std::min<size_t>(stop - data, kMaxLine - std::min(kMaxLine, m_line.size())));
        data = stop;
        if (lineEnd) {
            Line();
            ++data;
        }
    }
}

void CChartReader::Line()
{
    ++m_nLine;
    if (!m_line.empty() && m_line.back() == '\r')
        m_line.pop_back();
    const size_t tab1 = m_line.find('\t'), tab2 = tab1 == std::string::npos ? tab1 : m_line.find('\t', tab1 + 1);
    ChartTime time;
    if (tab1 == std::string::npos ||
        !ParseDateTime(m_line.substr(0, tab1), m_line.substr(tab1 + 1, tab2 - tab1 - 1), m_nThisYear, time)) {
        if (m_table.unreadable++ == 0)
            m_table.firstUnreadable = m_nLine;
        m_line.clear();
        return;
    }
    ChartTable& t = m_table;
    const size_t reading = t.times.size();
    t.times.push_back(time);
    // Each field ends with a tab; the text after the last tab is one more field when there is any.
    size_t column = 0;
    for (size_t at = tab2; at != std::string::npos && at + 1 < m_line.size() && column < kMaxColumns; ++column) {
        const size_t next = m_line.find('\t', at + 1);
        const size_t length = (next == std::string::npos ? m_line.size() : next) - at - 1;
        if (column == t.columns.size()) {
            t.columns.emplace_back();
            t.columns.back().values.reserve(std::max(m_nExpected, reading + 1));
            t.columns.back().values.resize(reading, std::numeric_limits<float>::quiet_NaN());
        }
        ChartColumn& c = t.columns[column];
        double value;
        int decimals;
        if (ParseValue(m_line.data() + at + 1, length, value, decimals) && std::isfinite(static_cast<float>(value))) {
            c.values.push_back(static_cast<float>(value));
            c.decimals = std::max(c.decimals, decimals);
            c.min = c.count ? std::min(c.min, value) : value;
            c.max = c.count ? std::max(c.max, value) : value;
            c.sum += value;
            ++c.count;
        } else {
            c.values.push_back(std::numeric_limits<float>::quiet_NaN());
        }
        at = next;
    }
    for (; column < t.columns.size(); ++column)
        t.columns[column].values.push_back(std::numeric_limits<float>::quiet_NaN());
    m_line.clear();
}

ChartTable CChartReader::Finish()
{
    if (!m_line.empty())
        Line();
    ChartTable& t = m_table;
    if (t.times.empty())
        return std::move(t);
    // A gap is a step longer than three times the median step forward.
    std::vector<ChartTime> steps;
    steps.reserve(t.times.size());
    for (size_t i = 1; i < t.times.size(); ++i)
        if (t.times[i] >= t.times[i - 1])
            steps.push_back(t.times[i] - t.times[i - 1]);
    long long median = 0;
    if (!steps.empty()) {
        std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
        median = steps[steps.size() / 2];
    }
    std::vector<ChartTime>().swap(steps);
    t.pieces.push_back(0);
    t.first = t.last = t.times[0];
    for (size_t i = 1; i < t.times.size(); ++i) {
        const long long step = static_cast<long long>(t.times[i]) - t.times[i - 1];
        if (step < 0 || step > 3 * median) {
            ++(step < 0 ? t.backwards : t.gaps);
            t.pieces.push_back(static_cast<uint32_t>(i));
        }
        t.first = std::min(t.first, t.times[i]);
        t.last = std::max(t.last, t.times[i]);
    }
    return std::move(t);
}
