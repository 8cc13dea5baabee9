// What drivers answer, replayed through the serial control: a scripted port
// layer stands where the Win32 calls are, with a clock of its own, so that
// each driver's sequence gives the same events, bytes and timing every run.
#include "TestWindow.h"
#include "fw/Exception.h"
#include "link/LinkVerdict.h"
#include "link/MSComm.h"

#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr UINT kCommId = 1029;

// ---- The decision table -------------------------------------------------------

struct Row {
    const char* what;
    PortAnswer answer;
    Verdict verdict;
};

TEST(LinkVerdict, WhatEachDriverAnswerMeans)
{
    const Row rows[] = {
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
    for (const Row& row : rows)
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
    EXPECT_FALSE(watch.Suspect(2899));
    EXPECT_TRUE(watch.Suspect(2900));
}

// ---- A scripted driver ----------------------------------------------------------

// One read's answer; `millis` is how long it takes on the port's own clock.
struct ReadAnswer {
    std::string data;
    DWORD error = 0;
    bool waited = true;
    DWORD millis = 5;
};
ReadAnswer Data(const std::string& data) { return { data, 0, true, 5 }; }
ReadAnswer Quiet() { return { "", 0, true, 1000 }; }            // an idle read that waited its timeout
ReadAnswer EmptyAtOnce() { return { "", 0, false, 0 }; }
ReadAnswer Failing(DWORD error) { return { "", error, false, 0 }; }

class CScriptedPort : public CPortIo {
public:
    // Reads answer in order; once the script is done, `rest` answers every read.
    std::vector<ReadAnswer> script;
    ReadAnswer rest = Quiet();
    bool underReports = false;  // ClearCommError says nothing waits, whatever does
    DWORD statusError = 0;    // what ClearCommError fails with once the script is done (0: it works)
    DWORD liveStatusError = 0;  // ... and while it runs
    DWORD probeError = 0;
    DWORD openError = 0;
    DWORD configureError = 0;
    DWORD writeError = 0;
    HANDLE hang = nullptr;    // when set, a read after the script blocks on it, deaf to the stop event

    DWORD Open(int) override { return openError; }
    DWORD Configure(const CommSettings&, DWORD) override { return configureError; }
    void Close() override { Log("close"); }

    Result Status(DWORD* lineErrors, DWORD* waiting) override
    {
        Log("status");
        std::lock_guard<std::mutex> lock(m_mutex);
        *lineErrors = 0;
        const bool live = m_next < script.size();
        const DWORD error = live ? liveStatusError : statusError;
        *waiting = (error == 0 && live && !underReports) ? static_cast<DWORD>(script[m_next].data.size()) : 0;
        Result result;
        result.error = error;
        return result;
    }

    Result Read(DWORD count, HANDLE stop) override
    {
        ReadAnswer answer;
        bool fromRest;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_asked.push_back(count);
            fromRest = m_next >= script.size();
            if (fromRest && !m_bUnplugged) {
                m_bUnplugged = true;
                m_unplugAt = m_now;
            }
            answer = fromRest ? rest : script[m_next++];
        }
        Log("read");
        if (hang && fromRest) {
            WaitForSingleObject(hang, INFINITE);
            Result result;
            result.stopped = true;
            return result;
        }
        if (WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) {
            Result result;
            result.stopped = true;
            return result;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_now += answer.millis;
        Result result;
        result.bytes = static_cast<DWORD>(std::min<size_t>(answer.data.size(), count));
        answer.data.copy(m_buffer, result.bytes);
        result.error = answer.error;
        result.waited = answer.waited;
        return result;
    }
    const char* Buffer() const override { return m_buffer; }

    Result Write(const void* data, DWORD count, DWORD) override
    {
        Log("write");
        Result result;
        result.error = writeError;
        if (!writeError) {
            result.bytes = count;
            std::lock_guard<std::mutex> lock(m_mutex);
            m_written.append(static_cast<const char*>(data), count);
        }
        return result;
    }
    DWORD Probe() override { Log("probe"); return probeError; }
    void Purge(DWORD) override { Log("purge"); }

    ULONGLONG Now() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_now;
    }
    bool Pause(DWORD ms, HANDLE stop) override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_now += ms;
        }
        Sleep(1);
        return WaitForSingleObject(stop, 0) == WAIT_OBJECT_0;
    }

    // What happened, on the port's clock.
    struct Call {
        ULONGLONG at;
        std::string what;
    };
    std::vector<Call> Calls()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    int Count(const std::string& what, ULONGLONG from = 0, ULONGLONG to = ~0ull)
    {
        int n = 0;
        for (const Call& call : Calls())
            n += call.what == what && call.at >= from && call.at < to;
        return n;
    }
    bool ScriptDone()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bUnplugged;
    }
    ULONGLONG UnpluggedAt()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_unplugAt;
    }
    std::vector<DWORD> Asked()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_asked;
    }
    std::string Written()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_written;
    }

private:
    void Log(const char* what)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back({ m_now, what });
    }

    std::mutex m_mutex;
    size_t m_next = 0;
    ULONGLONG m_now = 0;
    ULONGLONG m_unplugAt = 0;  // the first read after the script
    bool m_bUnplugged = false;
    char m_buffer[kBufferSize] = {};
    std::vector<Call> m_calls;
    std::vector<DWORD> m_asked;
    std::string m_written;
};

// The main window's stand-in: one character per receive event, and every other event in order.
class CReplayParent : public CTestWnd {
public:
    CMSComm comm;
    std::string received;
    std::vector<short> events;
    bool lost = false;
    std::string receivedAtLoss;
    void OnComm()
    {
        const short event = comm.GetCommEvent();
        if (event == CMSComm::comEvReceive) {
            received += comm.GetInput().Str();
            return;
        }
        events.push_back(event);
        if (event == CMSComm::comEventPortLost) {
            lost = true;
            receivedAtLoss = received;
        }
    }
    DECLARE_EVENTSINK_MAP()
};
BEGIN_EVENTSINK_MAP(CReplayParent)
    ON_EVENT(kCommId, CMSComm::dispidOnComm, OnComm)
END_EVENTSINK_MAP()

class DriverReplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(parent.Create());
        const RECT none = { 0, 0, 0, 0 };
        ASSERT_TRUE(parent.comm.Create(nullptr, 0, none, &parent, kCommId));
        port = std::make_shared<CScriptedPort>();
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

    CReplayParent parent;
    std::shared_ptr<CScriptedPort> port;
};

// A pulled adapter, as each kind of driver reports it: every byte before the
// pull reaches the program, the loss comes after them, the port is closed,
// and the reader neither spins nor goes on calling the port.
struct Unplug {
    const char* driver;
    ReadAnswer answer;     // what every read answers after the pull
    DWORD probeError;      // what GetCommState answers then
    ULONGLONG within;      // the loss is declared within this long after the pull
};

TEST_F(DriverReplay, APulledAdapterIsLostAfterItsLastByteWhateverTheDriverSays)
{
    const Unplug unplugs[] = {
        { "FTDI: every read aborted", Failing(ERROR_OPERATION_ABORTED), ERROR_BAD_COMMAND, 600 },
        { "empty reads at once, probe fails", EmptyAtOnce(), ERROR_GEN_FAILURE, 600 },
        { "PL2303: ERROR_BAD_COMMAND", Failing(ERROR_BAD_COMMAND), 0, 0 },
        { "CH340: ERROR_ACCESS_DENIED", Failing(ERROR_ACCESS_DENIED), 0, 0 },
        { "Bluetooth: ERROR_DEVICE_REMOVED", Failing(ERROR_DEVICE_REMOVED), 0, 0 },
        { "ERROR_GEN_FAILURE", Failing(ERROR_GEN_FAILURE), 0, 0 },
        { "ERROR_DEVICE_NOT_CONNECTED", Failing(ERROR_DEVICE_NOT_CONNECTED), 0, 0 },
        { "ERROR_NOT_READY", Failing(ERROR_NOT_READY), 0, 0 },
    };
    for (const Unplug& unplug : unplugs) {
        SCOPED_TRACE(unplug.driver);
        parent.received.clear();
        parent.events.clear();
        parent.lost = false;
        port = std::make_shared<CScriptedPort>();
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
        const ULONGLONG pulled = port->UnpluggedAt();
        const ULONGLONG declared = port->Calls().back().at;
        EXPECT_LE(declared - pulled, unplug.within + 50);
        // Never faster than one read in 20 ms while the answers say nothing.
        EXPECT_LE(port->Count("read", pulled), static_cast<int>((declared - pulled) / 20 + 2));
        EXPECT_EQ("close", port->Calls().back().what);
        const size_t calls = port->Calls().size();
        PumpUntil([] { return false; }, 100);
        EXPECT_EQ(calls, port->Calls().size()) << "a lost port is not called again";
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
    EXPECT_TRUE(parent.comm.GetPortOpen());
    // It cannot say what waits: every read asks for a whole chunk, bounded by the read timeouts.
    for (DWORD asked : port->Asked())
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
    // It says nothing waits, yet every read finds a byte at once.
    port->underReports = true;
    port->script.assign(300, ReadAnswer{ "x", 0, false, 0 });
    Open();
    PumpUntil([&] { return parent.received.size() >= 300 && port->ScriptDone(); }, 10000);
    EXPECT_EQ(std::string(300, 'x'), parent.received);
    EXPECT_LT(port->UnpluggedAt(), 300u) << "300 bytes took " << port->UnpluggedAt()
                                         << " ms on the port's clock: a pause per byte";
}

TEST_F(DriverReplay, AnHonestSlowLineIsGatheredNotReadByteByByte)
{
    port->script.assign(50, Data("ab"));
    Open();
    PumpUntil([&] { return parent.received.size() >= 100 && port->ScriptDone(); }, 10000);
    EXPECT_EQ(100u, parent.received.size());
    EXPECT_GE(port->UnpluggedAt(), 50u * (5 + 10)) << "a gathering pause after each small read";
}

TEST_F(DriverReplay, OneAbortAfterAPurgeIsNoLoss)
{
    port->script = { Data("ab"), Failing(ERROR_OPERATION_ABORTED), Quiet(), Data("cd") };
    Open();
    RunUntilLostOr(2000);
    EXPECT_FALSE(parent.lost);
    EXPECT_EQ("abcd", parent.received);
    EXPECT_EQ(0, port->Count("probe"));
}

TEST_F(DriverReplay, AStatusThatSaysTheDeviceIsGoneLosesItAtOnce)
{
    port->script = { Data("ab") };
    port->statusError = ERROR_NOT_READY;  // Wine's pty after the pull
    Open();
    RunUntilLostOr(2000);
    ASSERT_TRUE(parent.lost);
    EXPECT_EQ("ab", parent.receivedAtLoss);
}

// The other ways out of a port.
TEST_F(DriverReplay, APortThatOpensButRefusesItsSettingsCannotBeConfiguredNotLost)
{
    port->configureError = ERROR_GEN_FAILURE;
    const std::string text = ErrorOf([&] { Open(); });
    EXPECT_NE(std::string::npos, text.find("COM 5 kann nicht eingestellt werden")) << text;
    EXPECT_NE(std::string::npos, text.find("COM 5 cannot be configured")) << text;
    EXPECT_EQ(std::string::npos, text.find("unterbrochen")) << text;
    EXPECT_FALSE(parent.comm.GetPortOpen());
}

TEST_F(DriverReplay, APortAnotherProgramHoldsIsReportedAsInUse)
{
    // What Windows answers for a port held by another program (Wine does not enforce it).
    port->openError = ERROR_ACCESS_DENIED;
    const std::string text = ErrorOf([&] { Open(); });
    EXPECT_NE(std::string::npos, text.find("COM 5 ist belegt")) << text;
    EXPECT_NE(std::string::npos, text.find("COM 5 is in use by another program")) << text;
    EXPECT_FALSE(parent.comm.GetPortOpen());
}

TEST_F(DriverReplay, ASendThatFailsSaysWhyAndNamesThePort)
{
    Open();
    port->writeError = ERROR_TIMEOUT;
    std::string text = ErrorOf([&] { parent.comm.SetOutput("(254.1.)"); });
    EXPECT_NE(std::string::npos, text.find("COM 5 antwortet nicht")) << text;
    EXPECT_NE(std::string::npos, text.find("COM 5 does not answer")) << text;
    EXPECT_TRUE(parent.comm.GetPortOpen());

    port->writeError = ERROR_DEVICE_REMOVED;
    text = ErrorOf([&] { parent.comm.SetOutput("(254.1.)"); });
    EXPECT_NE(std::string::npos, text.find("COM 5 ist unterbrochen")) << text;
    EXPECT_NE(std::string::npos, text.find("COM 5 is lost")) << text;
    EXPECT_FALSE(parent.comm.GetPortOpen()) << "a port found gone is closed at once";
    EXPECT_TRUE(parent.comm.IsPortLost());
    EXPECT_EQ("", port->Written());
}

TEST_F(DriverReplay, AfterALossReconnectOpensTheSamePortOnceItIsBack)
{
    port->script = { Data("a") };
    port->rest = Failing(ERROR_DEVICE_REMOVED);
    Open();
    RunUntilLostOr(2000);
    ASSERT_TRUE(parent.lost);

    auto gone = std::make_shared<CScriptedPort>();
    gone->openError = ERROR_FILE_NOT_FOUND;
    parent.comm.SetPortIoFactory([&] { return gone; });
    const std::string text = ErrorOf([&] { parent.comm.Reconnect(); });
    EXPECT_NE(std::string::npos, text.find("COM 5 war unterbrochen")) << text;
    EXPECT_NE(std::string::npos, text.find("is not back")) << text;
    EXPECT_TRUE(parent.comm.IsPortLost());
    EXPECT_NE(std::string::npos, ErrorOf([&] { parent.comm.RequireOpen(); }).find("COM 5 is lost"));

    auto back = std::make_shared<CScriptedPort>();
    back->script = { Data("again") };
    parent.comm.SetPortIoFactory([&] { return back; });
    parent.comm.Reconnect();
    EXPECT_TRUE(parent.comm.GetPortOpen());
    EXPECT_FALSE(parent.comm.IsPortLost());
    parent.received.clear();
    PumpUntil([&] { return parent.received.size() >= 5; }, 5000);
    EXPECT_EQ("again", parent.received) << "threshold and input length are kept";
}

TEST_F(DriverReplay, ADriverDeafToCancelCannotHoldTheWindowOnClose)
{
    HANDLE hang = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    port->hang = hang;
    Open();
    Sleep(50);
    const ULONGLONG start = GetTickCount64();
    parent.comm.SetPortOpen(FALSE);
    const ULONGLONG took = GetTickCount64() - start;
    EXPECT_FALSE(parent.comm.GetPortOpen());
    EXPECT_LT(took, 10000u) << "the close gives up on the reader";
    EXPECT_EQ(0, port->Count("close")) << "a port still in the driver's hands is not closed under it";
    SetEvent(hang);  // the driver gives the read back: the reader ends and closes the port
    PumpUntil([&] { return port->Count("close") > 0; }, 5000);
    EXPECT_EQ(1, port->Count("close"));
    CloseHandle(hang);
}

}  // namespace
