// The serial control over real virtual cables: the test runner links pairs of
// COM ports to the two ends of pty pairs (COM11-COM12, COM13-COM14, ...).
#include "TestWindow.h"
#include "fw/Exception.h"
#include "link/MSComm.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr UINT kCommId = 1029;

// The main window's stand-in: takes one character per receive event.
class CCommParent : public CTestWnd {
public:
    CMSComm comm;
    std::string received;
    int receiveEvents = 0;
    std::vector<short> otherEvents;
    void OnComm()
    {
        if (comm.GetCommEvent() != CMSComm::comEvReceive) {
            otherEvents.push_back(comm.GetCommEvent());
            return;
        }
        ++receiveEvents;
        received += comm.GetInput().Str();
    }
    DECLARE_EVENTSINK_MAP()
};
BEGIN_EVENTSINK_MAP(CCommParent)
    ON_EVENT(kCommId, CMSComm::dispidOnComm, OnComm)
END_EVENTSINK_MAP()

class SerialControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(parent.Create());
        const RECT none = { 0, 0, 0, 0 };
        ASSERT_TRUE(parent.comm.Create(nullptr, 0, none, &parent, kCommId));
    }

    // Opens pair k the way the program configures its port.
    void OpenPair(int k)
    {
        parent.comm.SetCommPort(static_cast<short>(11 + 2 * k));
        parent.comm.SetSettings("9600,N,8,1");
        parent.comm.SetInBufferSize(8191);
        parent.comm.SetPortOpen(TRUE);
        parent.comm.SetRThreshold(1);
        parent.comm.SetInputLen(1);
    }

    CCommParent parent;
};

TEST_F(SerialControl, EveryByteValueArrivesInOrderOneEventEach)
{
    OpenPair(0);
    FarEnd cable(12);
    ASSERT_TRUE(cable.IsOpen());
    std::string sent;
    for (int round = 0; round < 8; ++round)
        for (int b = 0; b < 256; ++b)
            sent += static_cast<char>(b);
    cable.Send(sent);
    ASSERT_TRUE(PumpUntil([&] { return parent.received.size() >= sent.size(); }, 10000));
    EXPECT_EQ(sent, parent.received);
    EXPECT_EQ(static_cast<int>(sent.size()), parent.receiveEvents);
    EXPECT_TRUE(parent.otherEvents.empty());
    // Nothing more follows once the line is quiet.
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(static_cast<int>(sent.size()), parent.receiveEvents);
}

TEST_F(SerialControl, OutputSendsExactlyTheBytes)
{
    OpenPair(1);
    FarEnd cable(14);
    const std::string command("(254.1.)\0\xFF", 10);
    parent.comm.DiscardOutput();
    parent.comm.DiscardInput();
    parent.comm.SetOutput(CString(command.data(), static_cast<int>(command.size())));
    EXPECT_EQ(command, cable.Receive(command.size()));
    // The reply after a command comes in as usual.
    cable.Send("reply");
    ASSERT_TRUE(PumpUntil([&] { return parent.received.size() >= 5; }, 3000));
    EXPECT_EQ("reply", parent.received);
}

TEST_F(SerialControl, DiscardLeavesNoStaleEvent)
{
    OpenPair(2);
    FarEnd cable(16);
    cable.Send(std::string(100, 'x'));
    // Let the bytes arrive without handling their events.
    const DWORD start = GetTickCount();
    while (parent.comm.GetInBufferCount() < 100 && GetTickCount() - start < 3000)
        Sleep(10);
    ASSERT_EQ(100, parent.comm.GetInBufferCount());
    parent.comm.DiscardInput();
    EXPECT_EQ(0, parent.comm.GetInBufferCount());
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(0, parent.receiveEvents);
    // What comes afterwards is delivered as usual.
    cable.Send("ok");
    ASSERT_TRUE(PumpUntil([&] { return parent.received.size() >= 2; }, 3000));
    EXPECT_EQ("ok", parent.received);
}

TEST_F(SerialControl, InputLenZeroTakesEverythingWaiting)
{
    OpenPair(3);
    parent.comm.SetRThreshold(0);
    parent.comm.SetInputLen(0);
    FarEnd cable(18);
    cable.Send("abcdef");
    const DWORD start = GetTickCount();
    while (parent.comm.GetInBufferCount() < 6 && GetTickCount() - start < 3000)
        Sleep(10);
    EXPECT_EQ(CString("abcdef"), parent.comm.GetInput());
    EXPECT_EQ(CString(""), parent.comm.GetInput());
    EXPECT_EQ(0, parent.receiveEvents) << "RThreshold 0 raises no receive events";
}

TEST_F(SerialControl, MissingPortNamesThePortGermanFirst)
{
    parent.comm.SetCommPort(40);
    const std::string text = ErrorOf([&] { parent.comm.SetPortOpen(TRUE); });
    EXPECT_NE(std::string::npos, text.find("COM 40 gibt es nicht"));
    EXPECT_LT(text.find("gibt es nicht"), text.find("does not exist"));
    // The ports the system knows (the test runner maps COM 27), and how to use one beyond COM 4.
    EXPECT_NE(std::string::npos, text.find("Vorhandene Schnittstellen / Ports on this PC: ")) << text;
    EXPECT_NE(std::string::npos, text.find("COM 27")) << text;
    EXPECT_NE(std::string::npos, text.find("Portnummer minus eins")) << text;
    EXPECT_NE(std::string::npos, text.find("port number minus one")) << text;
    EXPECT_FALSE(parent.comm.GetPortOpen());
}

TEST_F(SerialControl, ImpossiblePortNumbersAreRefused)
{
    for (short port : { 0, -1, 256 }) {
        parent.comm.SetCommPort(port);
        const std::string text = ErrorOf([&] { parent.comm.SetPortOpen(TRUE); });
        EXPECT_NE(std::string::npos, text.find("Portnummer " + std::to_string(port) + " ist ung")) << text;
        EXPECT_NE(std::string::npos, text.find("port number " + std::to_string(port) + " is invalid")) << text;
    }
}

TEST_F(SerialControl, OperationsOnAClosedPortFailWithAClearError)
{
    parent.comm.SetCommPort(2);
    for (const auto& action : std::vector<std::function<void()>>{
             [&] { parent.comm.SetOutput("x"); },
             [&] { parent.comm.DiscardOutput(); },
             [&] { parent.comm.DiscardInput(); },
         }) {
        const std::string text = ErrorOf(action);
        EXPECT_NE(std::string::npos, text.find("COM 2 ist nicht ge")) << text;
        EXPECT_NE(std::string::npos, text.find("COM 2 is not open")) << text;
    }
}

TEST(CommSettings, ParsesTheLineSettingsText)
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
}

TEST(CommSettings, InvalidTextIsRefusedAndKeepsTheOld)
{
    CMSComm comm;
    EXPECT_THROW(comm.SetSettings("fast"), CException);
    EXPECT_EQ(CString("9600,N,8,1"), comm.GetSettings());
}

}  // namespace
