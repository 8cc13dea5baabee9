// The setting file's text, both ways.
#include "settings/PortSetting.h"

#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(PortSetting, ParsesAsAtoiDoesInRange)
{
    const char* cases[] = { "1", "3\r\n", "", "7", "-1", "  42", "\t\n 5", "+8", "-0", "12abc", "abc", "- 3", "+-2",
                            "0003", " -17x", "2147483647", "-2147483648", "\x01" "5", "3.9", "\xFF" "1", "\r\n-\n4",
                            "x12", ".5", "1 2", "\v\f9" };
    for (const char* text : cases)
        EXPECT_EQ(std::atoi(text), ParsePortIndex(text)) << '"' << text << '"';
}

TEST(PortSetting, SaturatesBeyondTheIntegerRange)
{
    EXPECT_EQ(INT_MAX, ParsePortIndex("2147483648"));
    EXPECT_EQ(INT_MAX, ParsePortIndex("99999999999999999999999999999999"));
    EXPECT_EQ(INT_MIN, ParsePortIndex("-2147483649"));
    EXPECT_EQ(INT_MIN, ParsePortIndex(("-" + std::string(5000, '9') + "x").c_str()));
}

TEST(PortSetting, FormatsDigitsAndOneLineFeed)
{
    EXPECT_EQ(std::string("1\n"), FormatPortIndex(1));
    EXPECT_EQ(std::string("-1\n"), FormatPortIndex(-1));
    EXPECT_EQ(std::string("0\n"), FormatPortIndex(0));
    EXPECT_EQ(std::string("-2147483648\n"), FormatPortIndex(INT_MIN));
}

}  // namespace
