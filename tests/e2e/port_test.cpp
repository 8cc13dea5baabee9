// Choosing the port: the setting file, start-up, the Port dialog, and ports that cannot be opened.
#include "Fixture.h"

#include <sys/stat.h>
#include <unistd.h>

namespace e2e {
namespace {

class Port : public VorlixTest {
protected:
    void LinkOnly(int com) { Session::Get().LinkComPorts({ { com, cable->ComEnd() } }); }
};

TEST_F(Port, FirstStartWritesTheDefaultAndOpensCom2)
{
    ASSERT_FALSE(StartProgram().empty());
    EXPECT_TRUE(ErrorBox(1500).empty()) << "COM 2 (the only port there is) should have opened";
    EXPECT_EQ("1\n", Setting());
    // The file lives in the working directory, not beside the program.
    const std::string exe = Session::Get().VorlixExe();
    EXPECT_FALSE(Exists(exe.substr(0, exe.rfind('/')) + "/vxsetup.ini"));
}

TEST_F(Port, StoredIndexThreeOpensCom4AndIsNotRewritten)
{
    PutSetting("3\r\n");
    LinkOnly(4);
    ASSERT_FALSE(StartProgram().empty());
    EXPECT_TRUE(ErrorBox(1500).empty());
    EXPECT_EQ("3\r\n", Setting());
}

TEST_F(Port, EmptyFileGivesCom1)
{
    PutSetting("");
    LinkOnly(1);
    ASSERT_FALSE(StartProgram().empty());
    EXPECT_TRUE(ErrorBox(1500).empty());
    EXPECT_EQ("", Setting());
}

TEST_F(Port, MissingPortAtStartUpShowsTheErrorAndSetupRecovers)
{
    PutSetting("3\n");  // COM 4: not there
    program.Start(dir);
    const std::string box = ErrorBox(30000);
    ASSERT_FALSE(box.empty());
    const std::string text = driver().StaticTexts(box);
    EXPECT_NE(std::string::npos, text.find("COM 4 gibt es nicht")) << text;
    EXPECT_LT(text.find("gibt es nicht"), text.find("does not exist")) << text;
    Dismiss(box);
    main = driver().WaitWindow("Vorlix", 10000);
    ASSERT_FALSE(main.empty()) << "the window opens after the error";

    const std::string dialog = OpenPortDialog();
    EXPECT_TRUE(driver().Checked(dialog, IDC_COM1 + 3));
    ASSERT_TRUE(driver().Click(dialog, IDC_COM1 + 1));
    ASSERT_TRUE(driver().Click(dialog, IDOK_));
    EXPECT_TRUE(ErrorBox(1500).empty()) << "COM 2 should have opened";
    EXPECT_EQ("1\n", Setting());
}

TEST_F(Port, OkRewritesTheFileAndReopensThePortEvenUnchanged)
{
    PutSetting("2\r\n");
    LinkOnly(3);
    ASSERT_FALSE(StartProgram().empty());
    ASSERT_TRUE(ErrorBox(1000).empty());
    const std::string dialog = OpenPortDialog();
    EXPECT_TRUE(driver().Checked(dialog, IDC_COM1 + 2));
    // Take COM 3 away: only a real reopen can notice.
    Session::Get().LinkComPorts({});
    ASSERT_TRUE(driver().Click(dialog, IDOK_));
    const std::string box = ErrorBox();
    ASSERT_FALSE(box.empty()) << "the port was not reopened";
    EXPECT_NE(std::string::npos, driver().StaticTexts(box).find("COM 3")) << driver().StaticTexts(box);
    Dismiss(box);
    EXPECT_EQ("2\n", Setting());
}

TEST_F(Port, ChoosingAnotherPortSavesAndOpensIt)
{
    Session::Get().LinkComPorts({ { 2, cable->ComEnd() }, { 4, cable->ComEnd() } });
    ASSERT_FALSE(StartProgram().empty());
    const std::string dialog = OpenPortDialog();
    ASSERT_TRUE(driver().Click(dialog, IDC_COM1 + 3));
    ASSERT_TRUE(driver().Click(dialog, IDOK_));
    EXPECT_TRUE(ErrorBox(1500).empty());
    EXPECT_EQ("3\n", Setting());
}

TEST_F(Port, ATableInAnotherFolderLeavesTheSettingWhereTheProgramStarted)
{
    StartLogger(loggersim::Options{});
    Session::Get().LinkComPorts({ { 2, cable->ComEnd() }, { 4, cable->ComEnd() } });
    ASSERT_FALSE(StartProgram().empty());
    MakeDirs(dir + "/tabellen");
    ASSERT_TRUE(driver().ChooseTableFile(main, WinePath(dir + "/tabellen/messung.txt")));
    ASSERT_TRUE(driver().WaitReadOutStarted(main, 3000));
    ASSERT_TRUE(driver().WaitReadOutEnded(main, 6000));
    const std::string dialog = OpenPortDialog();
    ASSERT_TRUE(driver().Click(dialog, IDC_COM1 + 3));
    ASSERT_TRUE(driver().Click(dialog, IDOK_));
    EXPECT_TRUE(ErrorBox(1500).empty());
    EXPECT_EQ("3\n", Setting()) << "the next start from here must find the port chosen";
    EXPECT_FALSE(Exists(dir + "/tabellen/vxsetup.ini"));
}

TEST_F(Port, CancelKeepsIndexFileAndPort)
{
    ASSERT_FALSE(StartProgram().empty());
    std::string dialog = OpenPortDialog();
    ASSERT_TRUE(driver().Click(dialog, IDC_COM1));
    ASSERT_TRUE(driver().Click(dialog, IDCANCEL_));
    EXPECT_TRUE(ErrorBox(1000).empty());
    EXPECT_EQ("1\n", Setting());
    dialog = OpenPortDialog();
    EXPECT_TRUE(driver().Checked(dialog, IDC_COM1 + 1)) << "the old index is kept";
    EXPECT_FALSE(driver().Checked(dialog, IDC_COM1));
    driver().Click(dialog, IDCANCEL_);
}

TEST_F(Port, IndexSevenSelectsNothingAndOkWithoutSelectionStoresMinusOne)
{
    PutSetting("7");
    program.Start(dir);
    std::string box = ErrorBox(30000);
    ASSERT_FALSE(box.empty());
    EXPECT_NE(std::string::npos, driver().StaticTexts(box).find("COM 8")) << driver().StaticTexts(box);
    Dismiss(box);
    main = driver().WaitWindow("Vorlix", 10000);
    ASSERT_FALSE(main.empty());
    const std::string dialog = OpenPortDialog();
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(driver().Checked(dialog, IDC_COM1 + i));
    ASSERT_TRUE(driver().Click(dialog, IDOK_));
    box = ErrorBox();
    ASSERT_FALSE(box.empty());
    const std::string text = driver().StaticTexts(box);
    EXPECT_NE(std::string::npos, text.find("Portnummer 0 ist ung")) << text;
    EXPECT_NE(std::string::npos, text.find("port number 0 is invalid")) << text;
    Dismiss(box);
    EXPECT_EQ("-1\n", Setting());
    EXPECT_TRUE(program.Running());
}

TEST_F(Port, UnwritableSettingFileIsReportedAndTheProgramGoesOn)
{
    // A folder in the file's place can be neither read nor written, even by root.
    MakeDirs(dir + "/vxsetup.ini");
    program.Start(dir);
    std::string box = ErrorBox(30000);
    ASSERT_FALSE(box.empty());
    std::string text = driver().StaticTexts(box);
    EXPECT_NE(std::string::npos, text.find("\"vxsetup.ini\" gespeichert werden")) << text;
    EXPECT_NE(std::string::npos, text.find("cannot be saved in \"vxsetup.ini\"")) << text;
    Dismiss(box);
    main = driver().WaitWindow("Vorlix", 10000);
    ASSERT_FALSE(main.empty());
    EXPECT_TRUE(ErrorBox(1000).empty()) << "COM 2, the default, should be open all the same";

    const std::string dialog = OpenPortDialog();
    ASSERT_TRUE(driver().Click(dialog, IDOK_));
    box = ErrorBox();
    ASSERT_FALSE(box.empty());
    EXPECT_NE(std::string::npos, driver().StaticTexts(box).find("vxsetup.ini"));
    Dismiss(box);
    EXPECT_TRUE(ErrorBox(1000).empty()) << "the port reopened";
    EXPECT_TRUE(program.Running());
}

TEST_F(Port, ReadOnlySettingFileIsReportedWhenSaving)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write read-only files; the folder-in-the-way test covers the error path";
    PutSetting("1\n");
    chmod((dir + "/vxsetup.ini").c_str(), 0444);
    ASSERT_FALSE(StartProgram().empty());
    EXPECT_TRUE(ErrorBox(1000).empty());
    const std::string dialog = OpenPortDialog();
    ASSERT_TRUE(driver().Click(dialog, IDOK_));
    const std::string box = ErrorBox();
    ASSERT_FALSE(box.empty());
    Dismiss(box);
    EXPECT_EQ("1\n", Setting());
    EXPECT_TRUE(program.Running());
}

}  // namespace
}  // namespace e2e
