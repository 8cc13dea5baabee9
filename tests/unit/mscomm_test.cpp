// The serial control's own rules: the line settings it accepts, and what it
// says of a port that is not there.
#include "TestWindow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

TEST(SerialControl, AMissingPortIsToldApartAndThePcsPortsAreListedWithTheirDevices)
{
    CCommParent parent;
    ASSERT_TRUE(parent.Create());
    parent.comm.SetCommPort(40);
    try {
        parent.comm.SetPortOpen(TRUE);
        ADD_FAILURE() << "COM 40 opened";
    } catch (const CPortMissing& e) {
        EXPECT_THAT(Utf8(e.GetDescription()), ::testing::HasSubstr("Die Schnittstelle COM 40 gibt es nicht.\nThe port COM 40 does not exist."));
    }
    // The test runner maps COM 27 in the system's serial-port map.
    std::string listed;
    for (const ComPortName& port : ComPortsOnThisPc())
        listed += "COM " + std::to_string(port.number) + " " + Utf8(port.device) + "|";
    EXPECT_THAT(listed, ::testing::HasSubstr("COM 27 \\Device\\")) << listed;
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
