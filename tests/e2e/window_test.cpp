// The main window as a user meets it, and how it ends.
#include "Fixture.h"

namespace e2e {
namespace {

using MainWindow = VorlixTest;

TEST_F(MainWindow, ShowsItsControlsWithTheirCaptions)
{
    ASSERT_TRUE(StartProgram());
    char name[64] = "";
    GetClassNameA(main, name, sizeof name);
    EXPECT_STREQ("#32770", name);
    // Id, class and text of each control in the tab order; the serial control is invisible.
    std::string seen;
    std::vector<RECT> visible;
    for (HWND c = GetWindow(main, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        GetClassNameA(c, name, sizeof name);
        const bool shown = GetWindowLongW(c, GWL_STYLE) & WS_VISIBLE;
        seen += std::to_string(GetDlgCtrlID(c) & 0xFFFF) + " " + name + " " + Text(c) + (shown ? "" : " (hidden)") + "|";
        RECT r;
        GetWindowRect(c, &r);
        if (shown)
            visible.push_back(r);
    }
    EXPECT_EQ("1029 CMSComm  (hidden)|1 Button Beenden\nQuit|1000 Button Setup|1001 Button Auslesen\nRead |1002 Button L\xC3\xB6schen\nDelete|"
              "65535 Static empfangene Bytes:\nreceived bytes:|1004 Static |65535 Static Version 1.01|",
              seen);
    ASSERT_EQ(7u, visible.size());
    // Left to right: Setup, Read, Delete, Quit; the version line lower right.
    EXPECT_LT(visible[1].left, visible[2].left);
    EXPECT_LT(visible[2].left, visible[3].left);
    EXPECT_LT(visible[3].left, visible[0].left);
    EXPECT_GT(visible[6].top, visible[0].bottom);
    // Quit, first in the tab order, has the focus.
    EXPECT_EQ(kOk, GetDlgCtrlID(FocusOf(main)));
}

TEST_F(MainWindow, EscapeTheCloseBoxAndQuitEachEndTheProgram)
{
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        ASSERT_TRUE(StartProgram());
        if (way == 0)
            Key(main, VK_ESCAPE);
        else if (way == 1)
            Close(main);
        else
            EXPECT_TRUE(Click(main, kOk));
        EXPECT_TRUE(program.WaitExit(10000));
    }
}

}  // namespace
}  // namespace e2e
