// The main window as a user meets it, and how it ends.
#include "Fixture.h"

namespace e2e {
namespace {

class MainWindow : public VorlixTest {};

TEST_F(MainWindow, ShowsItsControlsWithTheirCaptions)
{
    const std::string h = StartProgram();
    ASSERT_FALSE(h.empty());
    EXPECT_EQ("#32770", driver().ClassOf(h));
    struct Expected { int id; const char* cls; const char* text; };
    const Expected expected[] = {
        { IDOK_, "Button", "Beenden\nQuit" },
        { IDC_SETUP, "Button", "Setup" },
        { IDC_READ, "Button", "Auslesen\nRead " },
        { IDC_ERASE, "Button", "L\xC3\xB6schen\nDelete" },
        { 0xFFFF, "Static", "empfangene Bytes:\nreceived bytes:" },
        { IDC_BYTES, "Static", "" },
        { 0xFFFF, "Static", "Version 1.01" },
    };
    std::vector<ControlInfo> visible;
    bool haveComm = false;
    for (const ControlInfo& c : driver().Controls(h)) {
        if (c.id == IDC_COMM) {
            haveComm = true;
            EXPECT_EQ("CMSComm", c.cls);
            EXPECT_EQ(0u, c.style & 0x10000000UL) << "the serial control is invisible";
            continue;
        }
        visible.push_back(c);
    }
    EXPECT_TRUE(haveComm) << "the serial control was not created";
    ASSERT_EQ(7u, visible.size());
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(expected[i].id, visible[i].id & 0xFFFF) << i;
        EXPECT_EQ(expected[i].cls, visible[i].cls) << i;
        EXPECT_EQ(expected[i].text, visible[i].text) << i;
    }
    // Left to right: Setup, Read, Delete, Quit; the version line lower right.
    EXPECT_LT(visible[1].x, visible[2].x);
    EXPECT_LT(visible[2].x, visible[3].x);
    EXPECT_LT(visible[3].x, visible[0].x);
    EXPECT_GT(visible[6].y, visible[0].y + visible[0].height);
    // Quit, first in the tab order, has the focus.
    EXPECT_EQ(IDOK_, driver().Focus(h));
}

TEST_F(MainWindow, EscapeEndsTheProgram)
{
    const std::string h = StartProgram();
    ASSERT_FALSE(h.empty());
    driver().Key(h, VK_ESCAPE_);
    EXPECT_TRUE(program.WaitExit(10000));
    EXPECT_TRUE(ProcessesNamed("vorlix.exe").empty());
}

TEST_F(MainWindow, CloseBoxEndsTheProgram)
{
    const std::string h = StartProgram();
    ASSERT_FALSE(h.empty());
    driver().Close(h);
    EXPECT_TRUE(program.WaitExit(10000));
    EXPECT_TRUE(ProcessesNamed("vorlix.exe").empty());
}

TEST_F(MainWindow, QuitEndsTheProgram)
{
    const std::string h = StartProgram();
    ASSERT_FALSE(h.empty());
    EXPECT_TRUE(driver().Click(h, IDOK_));
    EXPECT_TRUE(program.WaitExit(10000));
    EXPECT_TRUE(ProcessesNamed("vorlix.exe").empty());
}

}  // namespace
}  // namespace e2e
