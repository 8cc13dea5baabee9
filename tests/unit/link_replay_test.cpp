// What drivers answer, replayed through the serial control: a scripted port
// layer stands where the Win32 calls are, with a clock of its own, so that
// each driver's sequence gives the same events, bytes and timing every run.
#include "TestWindow.h"
#include "link/LinkVerdict.h"

#include <gtest/gtest.h>

namespace {

TEST(LinkVerdict, WhatEachDriverAnswerMeans)
{
    const struct {
        const char* what;
        PortAnswer answer;
        Verdict verdict;
    } rows[] = {
        { "bytes read", { PortCall::Read, 0, 12, true }, Verdict::Data },
        { "idle read that waited its timeout", { PortCall::Read, 0, 0, false }, Verdict::Idle },
        { "idle read ending with ERROR_TIMEOUT (Wine)", { PortCall::Read, ERROR_TIMEOUT, 0, false }, Verdict::Idle },
        { "read ending at once with nothing", { PortCall::Read, 0, 0, true }, Verdict::Retry },
        { "FTDI after an unplug, or a purge: aborted", { PortCall::Read, ERROR_OPERATION_ABORTED, 0, true }, Verdict::Retry },
        { "an unknown read error", { PortCall::Read, ERROR_INVALID_PARAMETER, 0, true }, Verdict::Retry },
        { "PL2303 unplugged", { PortCall::Read, ERROR_BAD_COMMAND, 0, true }, Verdict::Lost },
        { "CH340 unplugged", { PortCall::Read, ERROR_ACCESS_DENIED, 0, true }, Verdict::Lost },
        { "Bluetooth gone", { PortCall::Read, ERROR_DEVICE_REMOVED, 0, true }, Verdict::Lost },
        { "general failure", { PortCall::Read, ERROR_GEN_FAILURE, 0, true }, Verdict::Lost },
        { "device not connected", { PortCall::Read, ERROR_DEVICE_NOT_CONNECTED, 0, true }, Verdict::Lost },
        { "not ready", { PortCall::Read, ERROR_NOT_READY, 0, true }, Verdict::Lost },
        { "pty gone (Wine)", { PortCall::Read, ERROR_BROKEN_PIPE, 0, true }, Verdict::Lost },
        { "bytes that came with the loss", { PortCall::Read, ERROR_DEVICE_REMOVED, 5, true }, Verdict::Lost },
        { "status known", { PortCall::Status, 0, 0, false }, Verdict::Idle },
        { "status failing with 87 (virtual ports)", { PortCall::Status, ERROR_INVALID_PARAMETER, 0, false }, Verdict::Retry },
        { "status of a gone device", { PortCall::Status, ERROR_NOT_READY, 0, false }, Verdict::Lost },
        { "probe answered", { PortCall::Probe, 0, 0, false }, Verdict::Idle },
        { "probe failed, whatever the code", { PortCall::Probe, ERROR_INVALID_PARAMETER, 0, false }, Verdict::Lost },
        { "write done", { PortCall::Write, 0, 8, false }, Verdict::Data },
        { "write timed out", { PortCall::Write, ERROR_TIMEOUT, 0, false }, Verdict::Retry },
        { "write aborted", { PortCall::Write, ERROR_OPERATION_ABORTED, 0, false }, Verdict::Retry },
        { "write to a removed device", { PortCall::Write, ERROR_DEVICE_REMOVED, 0, false }, Verdict::Lost },
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.verdict, Judge(row.answer)) << row.what;
}

TEST(LinkVerdict, NothingButRetriesForHalfASecondAsksForAProbe)
{
    CLossWatch watch;
    EXPECT_FALSE(watch.Suspect(1000));
    EXPECT_FALSE(watch.Suspect(1499));
    EXPECT_TRUE(watch.Suspect(1500));
    watch.Probed(1500);  // it answered: another half second
    EXPECT_FALSE(watch.Suspect(1999));
    EXPECT_TRUE(watch.Suspect(2000));
    watch.Alive();  // data came: the count starts again
    EXPECT_FALSE(watch.Suspect(2400));
    EXPECT_TRUE(watch.Suspect(2900));
}

class DriverReplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(parent.Create());
        parent.comm.SetPortIoFactory([this] { return port; });
        parent.comm.SetCommPort(5);
    }
    void Open()
    {
        parent.comm.SetPortOpen(TRUE);
        parent.comm.SetRThreshold(1);
        parent.comm.SetInputLen(1);
    }
    // Runs the port until it is declared lost, or its clock has passed `millis`.
    void RunUntilLostOr(ULONGLONG millis)
    {
        PumpUntil([&] { return parent.lost || port->Now() >= millis; }, 20000);
    }

    CCommParent parent;
    std::shared_ptr<CScriptedPort> port = std::make_shared<CScriptedPort>();
};

// A pulled adapter, as each kind of driver reports it: every byte before the
// pull reaches the program, the loss comes after them, the port is closed,
// and the reader neither spins nor goes on calling the port.
TEST_F(DriverReplay, APulledAdapterIsLostAfterItsLastByteWhateverTheDriverSays)
{
    const struct {
        const char* driver;
        ReadAnswer answer;  // what every read answers after the pull
        DWORD probeError;   // what GetCommState answers then
        ULONGLONG within;   // the loss is declared within this long after the pull
    } unplugs[] = {
        { "FTDI: every read aborted", Failing(ERROR_OPERATION_ABORTED), ERROR_BAD_COMMAND, 600 },
        { "empty reads at once, probe fails", EmptyAtOnce(), ERROR_GEN_FAILURE, 600 },
        { "PL2303: ERROR_BAD_COMMAND", Failing(ERROR_BAD_COMMAND), 0, 0 },
        { "CH340: ERROR_ACCESS_DENIED", Failing(ERROR_ACCESS_DENIED), 0, 0 },
        { "Bluetooth: ERROR_DEVICE_REMOVED", Failing(ERROR_DEVICE_REMOVED), 0, 0 },
        { "ERROR_GEN_FAILURE", Failing(ERROR_GEN_FAILURE), 0, 0 },
        { "ERROR_DEVICE_NOT_CONNECTED", Failing(ERROR_DEVICE_NOT_CONNECTED), 0, 0 },
        { "ERROR_NOT_READY", Failing(ERROR_NOT_READY), 0, 0 },
    };
    for (const auto& unplug : unplugs) {
        SCOPED_TRACE(unplug.driver);
        parent.received.clear();
        parent.events.clear();
        parent.lost = false;
        port = std::make_shared<CScriptedPort>();
        // An abort after a purge, in the middle of the data, is no loss.
        port->script = { Data("03"), Quiet(), Data("11"), Data("26\r\n"), Failing(ERROR_OPERATION_ABORTED), Quiet() };
        port->rest = unplug.answer;
        port->probeError = unplug.probeError;
        Open();
        RunUntilLostOr(5000);

        ASSERT_TRUE(parent.lost) << "never declared lost";
        EXPECT_EQ("031126\r\n", parent.receivedAtLoss) << "bytes before the pull, all before the loss";
        EXPECT_EQ(std::vector<short>{ CMSComm::comEventPortLost }, parent.events);
        EXPECT_FALSE(parent.comm.GetPortOpen());
        EXPECT_TRUE(parent.comm.IsPortLost());
        const auto calls = port->Locked([&] { return port->calls; });
        const ULONGLONG pulled = port->Locked([&] { return port->unplugAt; }), declared = calls.back().first;
        EXPECT_LE(declared - pulled, unplug.within + 50);
        // Never faster than one read in 20 ms while the answers say nothing.
        EXPECT_LE(port->Count("read", pulled), static_cast<int>((declared - pulled) / 20 + 2));
        EXPECT_EQ("close", calls.back().second);
        PumpUntil([] { return false; }, 100);
        EXPECT_EQ(calls.size(), port->Locked([&] { return port->calls.size(); })) << "a lost port is not called again";
    }
}

// Live ports that answer oddly are not lost, and lose nothing.
TEST_F(DriverReplay, ClearCommErrorFailingWith87StillDeliversEverythingInChunks)
{
    port->script = { Data("abc"), Data("defgh"), Quiet(), Data("ijk") };
    port->liveStatusError = port->statusError = ERROR_INVALID_PARAMETER;
    Open();
    RunUntilLostOr(3000);
    EXPECT_FALSE(parent.lost);
    EXPECT_EQ("abcdefghijk", parent.received);
    // It cannot say what waits: every read asks for a whole chunk, bounded by the read timeouts.
    for (DWORD asked : port->Locked([&] { return port->asked; }))
        EXPECT_GT(asked, 64u);
}

TEST_F(DriverReplay, ReadsEndingAtOnceWithNothingOnALivePortArePacedNotLost)
{
    port->script = { Data("x") };
    port->rest = EmptyAtOnce();
    Open();
    RunUntilLostOr(3000);
    EXPECT_FALSE(parent.lost);
    EXPECT_EQ("x", parent.received);
    EXPECT_GE(port->Count("probe"), 4) << "probed every half second";
    EXPECT_LE(port->Count("read", 1000, 2000), 51) << "reads in one second of the port's clock";
}

TEST_F(DriverReplay, ADriverThatUnderReportsWhatWaitsIsNotCappedByIt)
{
    // It says nothing waits, yet every read finds a byte at once: a pause per
    // byte would read less than the line brings, and its buffer would overflow.
    port->underReports = true;
    port->script.assign(300, ReadAnswer{ "x", 0, false, 0 });
    Open();
    PumpUntil([&] { return parent.received.size() >= 300 && port->Locked([&] { return port->scriptDone; }); }, 10000);
    EXPECT_EQ(std::string(300, 'x'), parent.received);
    EXPECT_LT(port->Locked([&] { return port->unplugAt; }), 300u) << "ms on the port's clock for 300 bytes";
}

// The other ways out of a port, each in its own words.
TEST_F(DriverReplay, RefusedSettingsAPortInUseAndAFailedSendAreToldApart)
{
    port->configureError = ERROR_GEN_FAILURE;
    std::string text = ErrorOf([&] { Open(); });
    EXPECT_NE(std::string::npos, text.find("COM 5 kann nicht eingestellt werden.\nCOM 5 cannot be configured")) << text;
    EXPECT_FALSE(parent.comm.GetPortOpen());

    // What Windows answers for a port held by another program (Wine does not enforce it).
    port->configureError = 0;
    port->openError = ERROR_ACCESS_DENIED;
    text = ErrorOf([&] { Open(); });
    EXPECT_NE(std::string::npos, text.find("COM 5 ist belegt")) << text;
    EXPECT_NE(std::string::npos, text.find("COM 5 is in use by another program")) << text;

    port->openError = 0;
    Open();
    port->writeError = ERROR_TIMEOUT;
    text = ErrorOf([&] { parent.comm.SetOutput("(254.1.)"); });
    EXPECT_NE(std::string::npos, text.find("COM 5 antwortet nicht")) << text;
    EXPECT_NE(std::string::npos, text.find("COM 5 does not answer")) << text;
    EXPECT_TRUE(parent.comm.GetPortOpen());
    port->writeError = ERROR_DEVICE_REMOVED;
    text = ErrorOf([&] { parent.comm.SetOutput("(254.1.)"); });
    EXPECT_NE(std::string::npos, text.find("COM 5 ist unterbrochen")) << text;
    EXPECT_NE(std::string::npos, text.find("COM 5 is lost")) << text;
    EXPECT_FALSE(parent.comm.GetPortOpen()) << "a port found gone is closed at once";
    EXPECT_TRUE(parent.comm.IsPortLost());
    EXPECT_EQ("", port->Locked([&] { return port->written; }));
}

TEST_F(DriverReplay, ADriverDeafToCancelCannotHoldTheWindowOnClose)
{
    HANDLE hang = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    port->hang = hang;
    Open();
    Sleep(50);
    const ULONGLONG start = GetTickCount64();
    parent.comm.SetPortOpen(FALSE);
    EXPECT_LT(GetTickCount64() - start, 10000u) << "the close gives up on the reader";
    EXPECT_FALSE(parent.comm.GetPortOpen());
    EXPECT_EQ(0, port->Count("close")) << "a port still in the driver's hands is not closed under it";
    SetEvent(hang);  // the driver gives the read back: the reader ends and closes the port
    PumpUntil([&] { return port->Count("close") > 0; }, 5000);
    EXPECT_EQ(1, port->Count("close"));
    CloseHandle(hang);
}

}  // namespace
