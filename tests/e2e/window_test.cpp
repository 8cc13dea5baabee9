// The main window as a user meets it, and how it ends.
#include "Fixture.h"

namespace e2e {
namespace {

using MainWindow = VorlixTest;

TEST_F(MainWindow, ShowsItsControlsWithTheirCaptions)
{
    ASSERT_FALSE(StartProgram().empty());
    EXPECT_EQ("#32770", driver().ClassOf(main));
    // Id, class and text of each control in the tab order; the serial control is invisible.
    std::string seen;
    std::vector<ControlInfo> visible;
    for (const ControlInfo& c : driver().Controls(main)) {
        seen += std::to_string(c.id & 0xFFFF) + " " + c.cls + " " + c.text + (c.style & 0x10000000UL ? "" : " (hidden)") + "|";
        if (c.style & 0x10000000UL)
            visible.push_back(c);
    }
    EXPECT_EQ("1029 CMSComm  (hidden)|1 Button Beenden\nQuit|1000 Button Setup|1001 Button Auslesen\nRead |1002 Button L\xC3\xB6schen\nDelete|"
              "65535 Static empfangene Bytes:\nreceived bytes:|1004 Static |65535 Static Version 1.01|",
              seen);
    ASSERT_EQ(7u, visible.size());
    // Left to right: Setup, Read, Delete, Quit; the version line lower right.
    EXPECT_LT(visible[1].x, visible[2].x);
    EXPECT_LT(visible[2].x, visible[3].x);
    EXPECT_LT(visible[3].x, visible[0].x);
    EXPECT_GT(visible[6].y, visible[0].y + visible[0].height);
    // Quit, first in the tab order, has the focus.
    EXPECT_EQ(kOk, driver().Focus(main));
}

TEST_F(MainWindow, EscapeTheCloseBoxAndQuitEachEndTheProgram)
{
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        ASSERT_FALSE(StartProgram().empty());
        if (way == 0)
            driver().Key(main, kEscape);
        else if (way == 1)
            driver().Close(main);
        else
            EXPECT_TRUE(driver().Click(main, kOk));
        EXPECT_TRUE(program.WaitExit(10000));
    }
}

}  // namespace
}  // namespace e2e
