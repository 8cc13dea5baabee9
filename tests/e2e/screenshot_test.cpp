// Pictures of every window for the user guide, taken from the real program.
// tools/update-screenshots.sh copies them into docs/.
#include "Fixture.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace e2e {
namespace {

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

class Screenshots : public VorlixTest {
protected:
    static Rect RectOf(const std::string& hwnd)
    {
        std::istringstream in(driver().Call("rect " + hwnd));
        Rect r;
        in >> r.x >> r.y >> r.w >> r.h;
        return r;
    }

    // The main window with `dialog` (if any) over it, cut out of the display.
    void Take(const std::string& dialog, const std::string& name)
    {
        Sleep(500);  // let it paint
        Rect r = RectOf(main);
        if (!dialog.empty()) {
            const Rect d = RectOf(dialog);
            const int right = std::max(r.x + r.w, d.x + d.w), bottom = std::max(r.y + r.h, d.y + d.h);
            r.x = std::min(r.x, d.x);
            r.y = std::min(r.y, d.y);
            r.w = right - r.x;
            r.h = bottom - r.y;
        }
        ASSERT_GT(r.w, 0) << name;
        const std::string out = Session::Get().Work() + "/screenshots";
        MakeDirs(out);
        const char* dpi = std::getenv("VX_E2E_DPI");
        const std::string path = out + "/" + name + (dpi && *dpi ? std::string("-") + dpi + "dpi" : "") + ".png";
        std::remove(path.c_str());
        const int margin = 8;
        const std::string command = "import -display " + Session::Get().Display() + " -window root -crop " +
                                    std::to_string(r.w + 2 * margin) + "x" + std::to_string(r.h + 2 * margin) + "+" +
                                    std::to_string(std::max(0, r.x - margin)) + "+" +
                                    std::to_string(std::max(0, r.y - margin)) + " +repage '" + path + "' 2>/dev/null";
        ASSERT_EQ(0, std::system(command.c_str())) << "cannot take " << name;
        const std::string png = ReadFile(path);
        ASSERT_GT(png.size(), 1000u) << name;
        EXPECT_EQ("\x89PNG", png.substr(0, 4)) << name;
    }

    // Each picture gets a program of its own, so that no closed window leaves a trace.
    void Restart()
    {
        driver().Close(main);
        ASSERT_TRUE(program.WaitExit(10000));
        ASSERT_FALSE(StartProgram().empty());
    }
};

TEST_F(Screenshots, OfEveryWindow)
{
    loggersim::Options options;
    options.records = loggersim::MakeRecords(20);
    StartLogger(options);
    ASSERT_FALSE(StartProgram().empty());

    // The main window after a read-out, showing its total.
    ASSERT_TRUE(driver().ChooseTableFile(main, WinePath(dir + "/messwerte.txt")));
    ASSERT_TRUE(driver().WaitReadOutStarted(main, 3000));
    ASSERT_TRUE(driver().WaitReadOutEnded(main, 8000));
    Take("", "main-window");

    Restart();
    std::string dialog = OpenPortDialog();
    Take(dialog, "port-dialog");
    driver().Click(dialog, IDCANCEL_);

    Restart();
    ASSERT_TRUE(driver().Click(main, IDC_ERASE));
    dialog = driver().WaitOwned(main, 5000);
    ASSERT_FALSE(dialog.empty());
    Take(dialog, "erase-confirmation");
    driver().Click(dialog, IDCANCEL_);

    Restart();
    driver().SysCommand(main, 0x10);
    dialog = driver().WaitOwned(main, 5000);
    ASSERT_FALSE(dialog.empty());
    Take(dialog, "about-box");
    driver().Click(dialog, IDOK_);
}

}  // namespace
}  // namespace e2e
