// The setting file's text, both ways.
#include "settings/PortSetting.h"

#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <string>

namespace {

TEST(PortSetting, ParsesAsAtoiDoesInRange)
{
    const char* cases[] = { "1", "3\r\n", "", "7", "-1", "  42", "\t\n 5", "+8", "-0", "12abc", "abc", "- 3", "+-2",
                            "0003", " -17x", "2147483647", "-2147483648", "\x01" "5", "3.9" };
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

TEST(PortSetting, RandomTextNeverLeavesTheRulesOfAtoi)
{
    std::mt19937 random(7);
    const char alphabet[] = " \t\r\n+-0123456789x.\xFF";
    for (int i = 0; i < 2000; ++i) {
        std::string text;
        const int length = static_cast<int>(random() % 12);
        for (int j = 0; j < length; ++j)
            text += alphabet[random() % (sizeof alphabet - 1)];
        // Short texts stay inside int's range, where atoi is defined.
        EXPECT_EQ(std::atoi(text.c_str()), ParsePortIndex(text.c_str())) << '"' << text << '"';
    }
}

TEST(PortSetting, FormatsDigitsAndOneLineFeed)
{
    EXPECT_EQ(CString("1\n"), FormatPortIndex(1));
    EXPECT_EQ(CString("-1\n"), FormatPortIndex(-1));
    EXPECT_EQ(CString("0\n"), FormatPortIndex(0));
    EXPECT_EQ(CString("-2147483648\n"), FormatPortIndex(INT_MIN));
}

class SettingFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        path = std::string(dir) + "vorlix-setting-" + std::to_string(GetCurrentProcessId()) + ".ini";
    }
    void TearDown() override { DeleteFileA(path.c_str()); }

    void Put(const std::string& content)
    {
        CFile f;
        ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
        if (!content.empty())
            f.Write(content.data(), static_cast<unsigned>(content.size()));
    }
    int Load()
    {
        CFile f;
        EXPECT_TRUE(f.Open(path.c_str(), CFile::modeRead | CFile::shareExclusive));
        CArchive ar(&f, CArchive::load);
        const int index = ReadPortSetting(ar);
        ar.Close();
        return index;
    }
    std::string Store(int index)
    {
        {
            CFile f;
            EXPECT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive));
            CArchive ar(&f, CArchive::store);
            WritePortSetting(ar, index);
            ar.Close();
        }
        CFile f;
        EXPECT_TRUE(f.Open(path.c_str(), CFile::modeRead));
        char buffer[64];
        const unsigned n = f.Read(buffer, sizeof buffer);
        return std::string(buffer, n);
    }
    std::string path;
};

TEST_F(SettingFile, LoadsTheFirstLine)
{
    const std::pair<std::string, int> cases[] = {
        { "3\r\n", 3 }, { "", 0 }, { "7", 7 }, { "-1\n", -1 }, { "2\n9\n", 2 }, { "\n5", 0 },
        { std::string("1\0\0", 3), 1 }, { std::string(100000, '9'), INT_MAX }, { "\xFF\xFE" "2", 0 },
    };
    for (const auto& c : cases) {
        Put(c.first);
        EXPECT_EQ(c.second, Load()) << c.first.substr(0, 20);
    }
}

TEST_F(SettingFile, StoresExactlyTheDigitsAndALineFeed)
{
    EXPECT_EQ("1\n", Store(1));
    EXPECT_EQ("-1\n", Store(-1));
    EXPECT_EQ("3\n", Store(3));
}

}  // namespace
