// The chart's pure parts: reading a table, its summary, the ticks, and the curves per pixel column.
#include "chart/ChartModel.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

ChartTable Read(const std::string& text, size_t piece = 7)
{
    CChartReader reader(2026);
    for (size_t at = 0; at < text.size(); at += piece)  // lines cut anywhere
        reader.Feed(text.data() + at, std::min(piece, text.size() - at));
    return reader.Finish();
}

TEST(ChartTable, DatesAndTheCenturyClosestToTodayButNoMoreThanAYearAhead)
{
    const struct {
        const char *date, *time;
        int thisYear;
        const char* read;  // "" for no real date and time
    } rows[] = {
        { "07.12.26", "12:00", 2026, "07.12.2026 12:00" }, { "01.01.27", "00:00", 2026, "01.01.2027 00:00" },
        { "01.01.28", "23:59", 2026, "01.01.1928 23:59" }, { "31.12.29", "08:15", 2029, "31.12.2029 08:15" },
        { "01.01.30", "08:15", 2029, "01.01.2030 08:15" }, { "01.01.31", "08:15", 2029, "01.01.1931 08:15" },
        { "15.06.99", "10:00", 2098, "15.06.2099 10:00" }, { "29.02.00", "00:00", 2026, "29.02.2000 00:00" },
        { "29.02.28", "00:00", 2026, "29.02.1928 00:00" }, { "29.02.27", "00:00", 2026, "" },
        { "29.02.00", "00:00", 2100, "" },  // 2100 is no leap year
        { "31.04.26", "00:00", 2026, "" }, { "00.01.26", "00:00", 2026, "" }, { "01.13.26", "00:00", 2026, "" },
        { "01.01.26", "24:00", 2026, "" }, { "01.01.26", "12:60", 2026, "" }, { "1.01.26", "12:00", 2026, "" },
        { "01.01.2026", "12:00", 2026, "" }, { "01-01-26", "12:00", 2026, "" }, { "01.01.26", "12.00", 2026, "" },
        { "01.01.2 ", "12:00", 2026, "" }, { "01.01.26", "", 2026, "" },
    };
    for (const auto& row : rows) {
        ChartTime time = -1;
        const bool real = ParseDateTime(row.date, row.time, row.thisYear, time);
        EXPECT_EQ(row.read, real ? FormatTime(time) : "") << row.date << " " << row.time << " in " << row.thisYear;
    }
}

TEST(ChartTable, UnreadableLinesAreCountedAndAFieldThatIsNoNumberIsMissingInItsColumnOnly)
{
    const ChartTable t = Read(std::string("03.11.26\t07:00\t21,0\t1013,9\t\n"
                              "Datum\tUhrzeit\tWert\n"
                              "\r\n"
                              "03.11.26\t07:15\t  -2,55\t----\t7\r\n")
                              + std::string("\xFF\0\x01 garbage\n", 12) +
                              "03.11.26\t07:30\t1,5x\t 1014\t\t3,25\n"
                              "03.11.26\t07:45\t+4\t2.5\t 1 2\t,5\t" + std::string(20000, '9') + "\n"
                              "31.02.26\t08:00\t1\n"
                              "03.11.26\t08:00");
    EXPECT_EQ(5u, t.times.size());
    EXPECT_EQ(4u, t.unreadable);
    EXPECT_EQ(2u, t.firstUnreadable);
    ASSERT_EQ(5u, t.columns.size());  // the endless field is one more column, no number
    std::vector<std::string> cells;
    for (const ChartColumn& c : t.columns)
        for (float v : c.values)
            cells.push_back(std::isnan(v) ? "-" : FormatValue(v, c.decimals));
    EXPECT_EQ((std::vector<std::string>{ "21,00", "-2,55", "-", "4,00", "-", "1013,9", "-", "1014,0", "-", "-",
                                         "-", "7", "-", "-", "-", "-", "-", "3,25", "0,50", "-",
                                         "-", "-", "-", "-", "-" }),
              cells);
    EXPECT_EQ(3u, t.columns[0].count);
    EXPECT_DOUBLE_EQ(-2.55, t.columns[0].min);
    EXPECT_DOUBLE_EQ(21, t.columns[0].max);
    EXPECT_DOUBLE_EQ(22.45, t.columns[0].sum);
    EXPECT_EQ("03.11.2026 08:00", FormatTime(t.last)) << "a last line without its line end";
    EXPECT_EQ("-0,1 0,0 1234,568", FormatValue(-0.05, 1) + " " + FormatValue(-0.04, 1) + " " + FormatValue(1234.5678, 3));
}

TEST(ChartTable, AGapIsAStepOfMoreThanThreeMedianStepsAndTimeGoingBackBreaksTheCurve)
{
    const struct {
        std::vector<const char*> times;
        size_t gaps, backwards;
        std::vector<uint32_t> pieces;
    } rows[] = {
        { { "07:00", "07:15", "07:30", "08:15", "08:31", "08:46" }, 0, 0, { 0 } },  // 45 minutes: 3 steps, no gap
        { { "07:00", "07:15", "07:30", "08:16", "08:31" }, 1, 0, { 0, 3 } },
        { { "07:00", "07:15", "07:15", "06:00", "06:15", "06:30", "12:00" }, 1, 1, { 0, 3, 6 } },
        { { "07:00" }, 0, 0, { 0 } },
        { {}, 0, 0, {} },
    };
    for (const auto& row : rows) {
        std::string text;
        for (const char* time : row.times)
            text += std::string("03.11.26\t") + time + "\t1,0\t\n";
        const ChartTable t = Read(text, 5);
        EXPECT_EQ(row.gaps, t.gaps) << text;
        EXPECT_EQ(row.backwards, t.backwards) << text;
        EXPECT_EQ(row.pieces, t.pieces) << text;
    }
}

TEST(ChartModel, ValueTicksAreRoundAndTimeTicksFitTheSpan)
{
    const struct {
        double lo, hi;
        int most;
        const char* ticks;
    } values[] = { { 0.3, 9.7, 6, "0 10 2 0" }, { 1013.1, 1014.9, 8, "1013 1015 0.5 1" }, { -3, 41, 5, "-20 60 20 0" },
                   { 21, 21, 5, "18 24 2 0" }, { 0.00123, 0.00187, 5, "0.0012 0.002 0.0002 4" } };
    for (const auto& row : values) {
        const ValueTicks t = MakeValueTicks(row.lo, row.hi, row.most);
        char text[100];
        std::snprintf(text, sizeof text, "%g %g %g %d", t.lo, t.hi, t.step, t.decimals);
        EXPECT_STREQ(row.ticks, text);
    }
    const ChartTime day = DaysFromCivil(2026, 11, 3) * 1440 + 7 * 60;  // Tuesday 03.11.2026 07:00
    const struct {
        double span;  // minutes from `day`
        int most;
        std::vector<const char*> labels;
    } times[] = {
        { 9, 5, { "07:00\n03.11.2026", "07:02", "07:04", "07:06", "07:08" } },
        { 24 * 60, 5, { "12:00\n03.11.2026", "18:00", "00:00\n04.11.2026", "06:00" } },
        { 20 * 1440, 4, { "09.11.2026", "16.11.2026", "23.11.2026" } },
        { 400 * 1440, 5, { "01.01.2027", "01.04.2027", "01.07.2027", "01.10.2027" } },
        { 30 * 525960, 4, { "01.01.2030", "01.01.2040", "01.01.2050" } },
    };
    for (const auto& row : times) {
        const TimeTicks t = MakeTimeTicks(day + (row.span > 1440 ? 60 : 0), day + row.span, row.most);
        std::vector<std::string> labels;
        for (size_t i = 0; i < t.at.size(); ++i)
            labels.push_back(TickLabel(t, i));
        EXPECT_EQ(std::vector<std::string>(row.labels.begin(), row.labels.end()), labels) << row.span;
    }
}

TEST(ChartModel, EachPixelColumnKeepsItsFirstLeastGreatestAndLastReadingAndCurvesBreak)
{
    // 1000 readings a minute apart on 10 pixel columns; one sample's peak at 505, a missing value at 900.
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += "03.11.26\t" + FormatTime(i).substr(11) + "\t" +
                (i == 505 ? "99" : i == 900 ? "-" : std::to_string(i % 7)) + "\n";
    const ChartTable t = Read(text, 4096);
    const double t0 = t.first;
    const ChartCurve whole = MakeCurve(t, 0, t0, t0 + 999, 10);
    ASSERT_EQ(2u, whole.counts.size()) << "broken at the missing value";
    EXPECT_EQ(whole.points.size(), whole.counts[0] + whole.counts[1]);
    EXPECT_EQ(8, whole.points[whole.counts[0]].x);
    std::vector<std::string> column5;
    for (const ChartPoint& p : whole.points)
        if (p.x == 5)
            column5.push_back(FormatValue(p.value, 0));
    EXPECT_EQ((std::vector<std::string>{ "3", "0", "99", "1" }), column5);  // readings 500, 504, 505, 610
    // Zoomed in on 10 minutes: each reading its own pixel column, with one neighbour outside on each side.
    const ChartCurve zoomed = MakeCurve(t, 0, t0 + 500, t0 + 509, 10);
    ASSERT_EQ(12u, zoomed.points.size());
    EXPECT_EQ(-1, zoomed.points.front().x);
    EXPECT_EQ(99.0f, zoomed.points[6].value);
    EXPECT_EQ(10, zoomed.points.back().x);
    EXPECT_EQ(999u, NearestReading(t, t0 + 2000));
    EXPECT_EQ(505u, NearestReading(t, t0 + 505.4));
}

}  // namespace
