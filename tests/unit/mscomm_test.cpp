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

TEST(SerialControl, KeepsItsSettingsWhenGivenBadOnes)
{
    CMSComm comm;
    EXPECT_THROW(comm.SetSettings("fast"), CException);
    EXPECT_EQ(CString("9600,N,8,1"), comm.GetSettings());
}

}  // namespace
