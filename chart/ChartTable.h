// Reading a table for the chart, and what the text below the chart says of it.
//
// A line "dd.mm.yy<TAB>hh:mm<TAB>value<TAB>..." is a reading when its date and
// time are a real calendar date and time; any other line is unreadable and is
// only counted. A value field that is no number (decimal comma, blanks before
// and after allowed) is a missing value in its column only. Pure C++, fed in
// pieces of any size, so that any file, whatever it holds, is read the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Minutes since 01.01.1970 00:00, in the table's own time.
using ChartTime = int32_t;

// The date and time fields as a time; false when they are no real date and
// time. A two-digit year is the latest year ending in those digits that is
// not after next year (`thisYear` + 1): in 2026, 27 is 2027 and 28 is 1928.
bool ParseDateTime(const std::string& date, const std::string& time, int thisYear, ChartTime& out);
// A number as the table writes it, with its count of decimals; false for anything else.
bool ParseValue(const char* text, size_t length, double& value, int& decimals);
// Days since 01.01.1970 of a date of the Gregorian calendar (years from 0 on).
int DaysFromCivil(int year, int month, int day);
// "dd.mm.yyyy hh:mm"
std::string FormatTime(ChartTime time);
// The value with `decimals` decimals and a decimal comma.
std::string FormatValue(double value, int decimals);

struct ChartColumn {
    std::vector<float> values;  // one per reading; NaN where it is missing
    int decimals = 0;           // the most decimals a value of it has
    size_t count = 0;           // values present
    double min = 0, max = 0, sum = 0;
};

struct ChartTable {
    std::vector<ChartTime> times;      // one per reading, in the file's order
    std::vector<ChartColumn> columns;  // the value columns: the table's 3rd column is columns[0]
    // Where each piece of rising time without a gap begins: 0, and every
    // reading after a gap or after time went back.
    std::vector<uint32_t> pieces;
    size_t unreadable = 0, firstUnreadable = 0;  // lines, and the first one's number
    size_t gaps = 0, backwards = 0;
    ChartTime first = 0, last = 0;  // the earliest and the latest reading
};

class CChartReader {
public:
    static constexpr size_t kMaxColumns = 30;
    static constexpr size_t kMaxLine = 4096;  // a longer line is read up to here

    // `expectedLines` only saves memory: the columns are made that long at once.
    explicit CChartReader(int thisYear, size_t expectedLines = 0) : m_nThisYear(thisYear), m_nExpected(expectedLines) {}
    void Feed(const char* data, size_t size);
    // The table, once every byte has been fed: a last line without its line end counts.
    ChartTable Finish();

private:
    void Line();

    int m_nThisYear;
    size_t m_nExpected;
    size_t m_nLine = 0;
    std::string m_line;  // the line so far, up to kMaxLine bytes
    ChartTable m_table;
};
