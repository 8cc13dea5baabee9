#include "readout/RecordFormatter.h"

#include <gtest/gtest.h>

namespace {

// Runs a whole text through the layout, as if every write succeeds; `pos` is
// the line position before the first character and after the last.
std::string FormatRecords(const std::string& received, uint8_t& pos)
{
    std::string table;
    for (char ch : received) {
        const RecordChar step = FormatRecordChar(pos, ch);
        if (step.writeChar)
            table += step.ch;
        if (step.separator)
            table += step.separator;
        pos = step.newPos;
    }
    return table;
}

std::string Format(const std::string& in, uint8_t startPos = 0)
{
    uint8_t pos = startPos;
    return FormatRecords(in, pos);
}

TEST(RecordFormatter, LoggerLineBecomesTableRow)
{
    const std::string line = " 5 307 9 5 2.5 998.0\r\n";
    ASSERT_EQ(22u, line.size());
    const std::string row = Format(line);
    EXPECT_EQ(std::string("05.03.07\t09:05\t 2,5\t 998,0\t\n"), row);
    EXPECT_EQ(28u, row.size());
}

TEST(RecordFormatter, DisplayRefreshesAtBothDateSeparatorsOnly)
{
    const std::string line = " 5 307 9 5 2.5 998.0\r\n";
    uint8_t pos = 0;
    std::vector<size_t> refreshedAt;
    for (size_t i = 0; i < line.size(); ++i) {
        const RecordChar step = FormatRecordChar(pos, line[i]);
        if (step.refreshDisplay)
            refreshedAt.push_back(i);
        pos = step.newPos;
    }
    // The display shows the count before the current character: 1, then 3.
    EXPECT_EQ((std::vector<size_t>{ 1, 3 }), refreshedAt);
}

TEST(RecordFormatter, LineEnds)
{
    uint8_t pos = 7;
    EXPECT_EQ("", FormatRecords("\r", pos));
    EXPECT_EQ(0, pos);
    pos = 7;
    EXPECT_EQ("\n", FormatRecords("\n", pos));
    EXPECT_EQ(0, pos);
    pos = 7;
    EXPECT_EQ("\n", FormatRecords("\r\n", pos));
    // After a line end, a blank starts a date group again.
    EXPECT_EQ("\n0", Format("\n "));
}

TEST(RecordFormatter, BlanksBecomeZeroOnlyAtTheStartOfDateAndTimeGroups)
{
    for (int pos = 0; pos < 256; ++pos) {
        const RecordChar step = FormatRecordChar(static_cast<uint8_t>(pos), ' ');
        const bool groupStart = pos == 0 || pos == 2 || pos == 4 || pos == 6 || pos == 8;
        EXPECT_EQ(groupStart ? '0' : ' ', step.ch) << "at position " << pos;
        EXPECT_TRUE(step.writeChar);
    }
}

TEST(RecordFormatter, PointsBecomeCommasEverywhere)
{
    EXPECT_EQ(",,.", Format(".."));
    EXPECT_EQ(',', FormatRecordChar(200, '.').ch);
}

TEST(RecordFormatter, ZeroByteWritesNothingButAdvancesAndGetsItsSeparator)
{
    const RecordChar step = FormatRecordChar(1, '\0');
    EXPECT_FALSE(step.writeChar);
    EXPECT_FALSE(step.lineEnd);
    EXPECT_EQ(2, step.newPos);
    EXPECT_EQ('.', step.separator);
    EXPECT_EQ(std::string(".."), Format(std::string("\0\0\0\0", 4)));
}

TEST(RecordFormatter, SeparatorsOfALongLine)
{
    // 10 date/time characters, then fields of 4 and 6, each closed by a tab.
    const std::string in(30, 'x');
    EXPECT_EQ("xx.xx.xx\txx:xx\txxxx\txxxxxx\txxxx\txxxxxx\t", Format(in));
}

TEST(RecordFormatter, PositionWrapsAfter255Characters)
{
    uint8_t pos = 0;
    const std::string head = FormatRecords(std::string(255, 'x'), pos);
    EXPECT_EQ(255, pos);
    // The 256th character brings the position back to 0 and gets no separator;
    // the 257th is treated like the first of a line, the date points follow again.
    const std::string tail = FormatRecords("y yzz", pos);
    EXPECT_EQ("y0y.zz.", tail);
    EXPECT_EQ(4, pos);
}

TEST(RecordFormatter, TabsAtEveryFieldEndUpTo254)
{
    for (int next = 1; next < 256; ++next) {
        const RecordChar step = FormatRecordChar(static_cast<uint8_t>(next - 1), 'x');
        char expected = 0;
        if (next == 2 || next == 4)
            expected = '.';
        else if (next == 8)
            expected = ':';
        else if (next == 6 || next % 10 == 0 || (next > 10 && next % 10 == 4))
            expected = '\t';
        EXPECT_EQ(expected, step.separator) << "after character " << next;
    }
}

}  // namespace
