// Choosing the port: the setting file, start-up, the Port dialog, and ports that cannot be opened.
#include "Fixture.h"

namespace e2e {
namespace {

using Port = VorlixTest;

TEST_F(Port, FirstStartWritesTheDefaultAndOpensCom2)
{
    ASSERT_TRUE(StartProgram());
    EXPECT_FALSE(ErrorBox(1500)) << "COM 2 (the only port there is) should have opened";
    EXPECT_EQ("1\n", Setting());
    // The file lives in the working directory, not beside the program.
    const std::string exe = VORLIX_EXE;
    EXPECT_FALSE(fs::exists(exe.substr(0, exe.find_last_of("/\\")) + "/vxsetup.ini"));
}

TEST_F(Port, AStoredIndexOpensItsPortAndIsNotRewritten)
{
    // Odd files too: the first line counts, read as atoi reads it.
    const std::pair<std::string, int> cases[] = {
        { "3\r\n", 4 }, { "", 1 }, { "\xFF\xFE", 1 }, { std::string(70000, ' ') + "2", 3 }, { "+1x\n7\n", 2 },
    };
    for (const auto& [content, com] : cases) {
        SCOPED_TRACE("COM " + std::to_string(com));
        PutSetting(content);
        LinkComPorts({ { com, cable->ComEnd() } });  // the only port there is
        ASSERT_TRUE(StartProgram());
        EXPECT_FALSE(ErrorBox(1500));
        const HWND dialog = OpenPortDialog();
        EXPECT_TRUE(Checked(dialog, IDC_COM1 + com - 1));
        Click(dialog, kCancel);
        Close(main);
        ASSERT_TRUE(program.WaitExit(10000));
        EXPECT_TRUE(content == Setting()) << "start-up only reads an existing file";
    }
}

TEST_F(Port, CancelKeepsIndexFileAndPortAndOkRewritesAndReopensEvenUnchanged)
{
    PutSetting("2\r\n");
    Plug({ 3 });
    ASSERT_TRUE(StartProgram());
    ASSERT_FALSE(ErrorBox(1000));
    HWND dialog = OpenPortDialog();
    EXPECT_TRUE(Checked(dialog, IDC_COM3));
    ASSERT_TRUE(Click(dialog, IDC_COM1) && Click(dialog, kCancel) && WaitGone(dialog, 3000));
    EXPECT_FALSE(ErrorBox(1000));
    EXPECT_EQ("2\r\n", Setting());
    dialog = OpenPortDialog();
    EXPECT_TRUE(Checked(dialog, IDC_COM3)) << "the old index is kept";
    EXPECT_FALSE(Checked(dialog, IDC_COM1));
    // Take COM 3 away: only a real reopen can notice.
    LinkComPorts({});
    ASSERT_TRUE(Click(dialog, kOk));
    EXPECT_TRUE(Says(Dismiss(ErrorBox()), "COM 3 gibt es nicht")) << "the port was not reopened";
    EXPECT_EQ("2\n", Setting());
}

TEST_F(Port, AnotherPortIsSavedWhereTheProgramStartedNotWhereTheTableWent)
{
    StartLogger(Logger(""));
    Plug({ 4 });
    ASSERT_TRUE(StartProgram());
    fs::create_directories(Path("tabellen"));
    StartRun("tabellen\\messung.txt");
    ASSERT_TRUE(WaitForEnd(6000));
    const HWND dialog = OpenPortDialog();
    ASSERT_TRUE(Click(dialog, IDC_COM4) && Click(dialog, kOk));
    EXPECT_FALSE(ErrorBox(1500));
    EXPECT_EQ("3\n", Setting()) << "the next start from here must find the port chosen";
    EXPECT_FALSE(fs::exists(Path("tabellen\\vxsetup.ini")));
}

TEST_F(Port, AMissingPortIsNamedAndOkWithoutSelectionStoresMinusOneUntilSetupRecovers)
{
    PutSetting("7");  // COM 8: not there, and no button of the dialog's
    EXPECT_TRUE(Says(StartProgramWithError(), "Die Schnittstelle COM 8 gibt es nicht.\nThe port COM 8 does not "
                                              "exist.\n\nVorhandene Schnittstellen / Ports on this PC: "));
    HWND dialog = OpenPortDialog();
    for (int id : { IDC_COM1, IDC_COM2, IDC_COM3, IDC_COM4 })
        EXPECT_FALSE(Checked(dialog, id));
    ASSERT_TRUE(Click(dialog, kOk));
    EXPECT_TRUE(Says(Dismiss(ErrorBox()), "Die Portnummer 0 ist ung\xC3\xBCltig; m\xC3\xB6gliche Ports sind COM 1 "
                                          "bis COM 255.\nThe port number 0 is invalid;"));
    EXPECT_EQ("-1\n", Setting());
    dialog = OpenPortDialog();
    ASSERT_TRUE(Click(dialog, IDC_COM2) && Click(dialog, kOk));
    EXPECT_FALSE(ErrorBox(1500)) << "COM 2 should have opened";
    EXPECT_EQ("1\n", Setting());
}

TEST_F(Port, UnwritableSettingFileIsReportedAndTheProgramGoesOn)
{
    // A folder in the file's place can be neither read nor written, even by root.
    fs::create_directories(Path("vxsetup.ini"));
    EXPECT_TRUE(Says(StartProgramWithError(),
                     "Die Einstellung kann nicht in \"vxsetup.ini\" gespeichert werden; COM 2 wird nur bis zum "
                     "Programmende benutzt.\nThe setting cannot be saved in \"vxsetup.ini\"; COM 2 is used until "
                     "the program ends.\n\nDie Datei \"vxsetup.ini\" kann nicht angelegt werden."));
    EXPECT_FALSE(ErrorBox(1000)) << "COM 2, the default, should be open all the same";

    ASSERT_TRUE(Click(OpenPortDialog(), kOk));
    EXPECT_TRUE(Says(Dismiss(ErrorBox()), "vxsetup.ini"));
    EXPECT_FALSE(ErrorBox(1000)) << "the port reopened";
    EXPECT_TRUE(program.Running());
}

}  // namespace
}  // namespace e2e
