// The serial control's own rules: the line settings it accepts, and what it
// says of a port that is not there.
#include "TestWindow.h"

#include <gtest/gtest.h>

namespace {

TEST(SerialControl, MissingPortNamesThePortsThereAre)
{
    CCommParent parent;
    ASSERT_TRUE(parent.Create());
    parent.comm.SetCommPort(40);
    const std::string text = ErrorOf([&] { parent.comm.SetPortOpen(TRUE); });
    // The ports the system knows (the test runner maps COM 27), and how to use one beyond COM 4.
    for (const char* part : { "Die Schnittstelle COM 40 gibt es nicht.\nThe port COM 40 does not exist.",
                              "Vorhandene Schnittstellen / Ports on this PC: ", "COM 27", "Portnummer minus eins",
                              "port number minus one" })
        EXPECT_NE(std::string::npos, text.find(part)) << text;
    EXPECT_FALSE(parent.comm.GetPortOpen());
}

TEST(CommSettings, ParsesTheLineSettingsTextAndRefusesAnythingElse)
{
    CommSettings s;
    ASSERT_TRUE(ParseCommSettings("9600,N,8,1", s));
    EXPECT_EQ(9600u, s.baudRate);
    EXPECT_EQ(NOPARITY, s.parity);
    EXPECT_EQ(8, s.byteSize);
    EXPECT_EQ(ONESTOPBIT, s.stopBits);
    ASSERT_TRUE(ParseCommSettings("19200,e,7,2", s));
    EXPECT_EQ(EVENPARITY, s.parity);
    EXPECT_EQ(7, s.byteSize);
    EXPECT_EQ(TWOSTOPBITS, s.stopBits);
    ASSERT_TRUE(ParseCommSettings("110,O,5,1.5", s));
    EXPECT_EQ(ONE5STOPBITS, s.stopBits);
    for (const char* bad : { "", "9600", "9600,N,8", "9600,N,8,1,0", "0,N,8,1", "x,N,8,1", "9600,X,8,1",
                             "9600,N,9,1", "9600,N,8,3", "9600,NN,8,1", "99999999,N,8,1" })
        EXPECT_FALSE(ParseCommSettings(bad, s)) << bad;
    CMSComm comm;
    EXPECT_THROW(comm.SetSettings("fast"), CException);
    EXPECT_EQ(CString("9600,N,8,1"), comm.GetSettings()) << "the old settings are kept";
}

}  // namespace
