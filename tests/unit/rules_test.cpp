// The program's pure rules: the record layout, the verdict on a finished run
// and the watch on characters after it, the table's proposed name and the
// setting file's text.
#include "readout/RecordFormatter.h"
#include "ui/RunState.h"
#include "readout/TableName.h"
#include "settings/PortSetting.h"

#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace {

std::string Times(const std::string& text, int n)
{
    std::string all;
    while (n-- > 0)
        all += text;
    return all;
}

TEST(RecordFormatter, LaysOutEachCharacterByItsPositionInTheLine)
{
    const struct {
        int from;
        std::string received, table;
        int to;
    } rows[] = {
        { 0, " 5 307 9 5 2.5 998.0\r\n", "05.03.07\t09:05\t 2,5\t 998,0\t\n", 0 },
        // 10 date and time characters, then fields of 4 and 6, each closed by a tab, up to the 254th.
        { 0, std::string(254, 'x'), "xx.xx.xx\txx:xx\t" + Times("xxxx\txxxxxx\t", 24) + "xxxx\t", 254 },
        { 7, "\r", "", 0 },
        { 7, "\n", "\n", 0 },
        { 7, "\r\n", "\n", 0 },
        // Blanks become 0 only where a date or time group starts, also after a line end.
        { 0, std::string(20, ' '), "0 .0 .0 \t0 :0 \t    \t      \t", 20 },
        { 0, "\n ", "\n0", 1 },
        { 200, " .", " ,", 202 },
        { 0, "..", ",,.", 2 },
        // Zero bytes write nothing of their own, but advance and get their separators.
        { 0, std::string(4, '\0'), "..", 4 },
        // The 256th character wraps to 0 and gets no separator; the 257th starts a line.
        { 255, "y yzz", "y0y.zz.", 4 },
    };
    for (const auto& row : rows) {
        uint8_t pos = static_cast<uint8_t>(row.from);
        std::string table;
        for (char ch : row.received) {
            const RecordChar step = FormatRecordChar(pos, ch);
            table += step.writeChar ? std::string(1, step.ch) : "";
            table += step.separator ? std::string(1, step.separator) : "";
            pos = step.newPos;
        }
        EXPECT_EQ(row.table, table) << row.received;
        EXPECT_EQ(row.to, pos) << row.received;
    }
}

TEST(RunVerdict, ALossOutweighsCausesWhichComeInTheBoxsOrderAndNothingIsNoGoodRun)
{
    RunTally lost;
    lost.unwritten = lost.lineErrors = 1;
    lost.insideLine = lost.slept = true;
    const struct {
        RunEnd how;
        uint32_t count;
        RunTally tally;
        unsigned long failedReads;
        Outcome outcome;
        std::vector<Cause> causes;
    } rows[] = {
        { RunEnd::Silence, 44, {}, 0, Outcome::Good, {} },
        { RunEnd::ProgramEnds, 44, {}, 0, Outcome::Good, {} },
        { RunEnd::Silence, 0, {}, 0, Outcome::Nothing, {} },
        { RunEnd::PortLost, 44, lost, 3, Outcome::PortLost, {} },
        { RunEnd::PortLost, 0, {}, 0, Outcome::PortLost, {} },
        { RunEnd::ReadsFailing, 0, {}, 3, Outcome::Incomplete, { Cause::ReadsFailed } },
        { RunEnd::Silence, 44, lost, 3, Outcome::Incomplete,
          { Cause::Unwritten, Cause::LineErrors, Cause::ReadsFailed, Cause::InsideLine, Cause::Slept } },
    };
    for (const auto& row : rows) {
        const RunVerdict verdict = JudgeRun(row.how, row.count, row.tally, row.failedReads);
        EXPECT_EQ(row.outcome, verdict.outcome) << static_cast<int>(row.how) << " " << row.count;
        EXPECT_EQ(row.causes, verdict.causes) << static_cast<int>(row.how) << " " << row.count;
    }
}

TEST(LateWatch, CountsFromARunsEndToldOnceTheyStopAndAnsweringACommandNever)
{
    CLateWatch watch;
    EXPECT_FALSE(watch.Note()) << "no run has ended";
    watch.Arm();
    EXPECT_TRUE(watch.Note()) << "the first starts the timer";
    EXPECT_FALSE(watch.Note());
    EXPECT_FALSE(watch.Tick()) << "more since the last tick";
    EXPECT_FALSE(watch.Note());
    EXPECT_FALSE(watch.Tick());
    EXPECT_TRUE(watch.Tick()) << "nothing since the last tick";
    EXPECT_EQ(3u, watch.Finish());
    EXPECT_EQ(0u, watch.Finish()) << "told once";
    EXPECT_FALSE(watch.Note());
    EXPECT_FALSE(watch.Tick() || watch.Tick()) << "a tick queued before the timer's end";
    EXPECT_EQ(3u, watch.Count()) << "what came is still known";
    watch.Stop();
    EXPECT_EQ(0u, watch.Count()) << "a command: what comes is its answer";
    watch.Arm();
    EXPECT_EQ(0u, watch.Finish()) << "armed, nothing came";
}

TEST(TableName, TodaysNameOrTheFirstNumberedOneFree)
{
    const struct {
        std::set<std::wstring> taken;
        const wchar_t* proposed;
    } rows[] = {
        { {}, L"Messwerte 2026-03-09.txt" },
        { { L"Messwerte 2026-03-09.txt" }, L"Messwerte 2026-03-09 (2).txt" },
        { { L"Messwerte 2026-03-09.txt", L"Messwerte 2026-03-09 (2).txt" }, L"Messwerte 2026-03-09 (3).txt" },
        { { L"Messwerte 2026-03-09 (2).txt" }, L"Messwerte 2026-03-09.txt" },
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.proposed, ProposeTableName(2026, 3, 9, [&](const std::wstring& name) { return row.taken.count(name) > 0; }));
}

TEST(PortSetting, ReadsAsAtoiDoesSaturatesBeyondIntAndWritesDigitsAndOneLineFeed)
{
    for (const char* text : { "1", "3\r\n", "", "7", "-1", "  42", "\t\n 5", "+8", "-0", "12abc", "abc", "- 3", "+-2", "0003",
                              " -17x", "2147483647", "-2147483648", "\x01" "5", "3.9", "\xFF" "1", "x12", "1 2", "\v\f9" })
        EXPECT_EQ(std::atoi(text), ParsePortIndex(text)) << '"' << text << '"';
    EXPECT_EQ(INT_MAX, ParsePortIndex("99999999999999999999999999999999"));
    EXPECT_EQ(INT_MIN, ParsePortIndex(("-" + std::string(5000, '9') + "x").c_str()));
    EXPECT_EQ("-1\n", FormatPortIndex(-1));
    EXPECT_EQ("0\n", FormatPortIndex(0));
}

}  // namespace
