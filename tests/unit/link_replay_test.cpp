// What drivers answer, replayed through the serial control: a scripted port
// layer stands where the Win32 calls are, with a clock of its own, so that
// each driver's sequence gives the same events, bytes and timing every run.
#include "TestWindow.h"
#include "link/CommReader.h"
#include "link/LinkVerdict.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::Each;
using ::testing::Gt;
using ::testing::HasSubstr;

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
        { "CH340 unplugged, or a live port now and then", { PortCall::Read, ERROR_ACCESS_DENIED, 0, true }, Verdict::Retry },
        { "general failure, as at resume", { PortCall::Read, ERROR_GEN_FAILURE, 0, true }, Verdict::Retry },
        { "not ready (Wine's pty, USB drivers)", { PortCall::Read, ERROR_NOT_READY, 0, true }, Verdict::Retry },
        { "PL2303 unplugged", { PortCall::Read, ERROR_BAD_COMMAND, 0, true }, Verdict::Lost },
        { "Bluetooth gone", { PortCall::Read, ERROR_DEVICE_REMOVED, 0, true }, Verdict::Lost },
        { "device not connected", { PortCall::Read, ERROR_DEVICE_NOT_CONNECTED, 0, true }, Verdict::Lost },
        { "device does not exist", { PortCall::Read, ERROR_DEV_NOT_EXIST, 0, true }, Verdict::Lost },
        { "name gone", { PortCall::Read, ERROR_FILE_NOT_FOUND, 0, true }, Verdict::Lost },
        { "pty gone (Wine)", { PortCall::Read, ERROR_BROKEN_PIPE, 0, true }, Verdict::Lost },
        { "bytes that came with the loss", { PortCall::Read, ERROR_DEVICE_REMOVED, 5, true }, Verdict::Lost },
        { "status known", { PortCall::Status, 0, 0, false }, Verdict::Idle },
        { "status failing with 87 (virtual ports)", { PortCall::Status, ERROR_INVALID_PARAMETER, 0, false }, Verdict::Retry },
        { "status now and then denied", { PortCall::Status, ERROR_ACCESS_DENIED, 0, false }, Verdict::Retry },
        { "status of a removed device", { PortCall::Status, ERROR_DEVICE_REMOVED, 0, false }, Verdict::Lost },
        { "probe answered", { PortCall::Probe, 0, 0, false }, Verdict::Idle },
        { "probe failed, whatever the code", { PortCall::Probe, ERROR_INVALID_PARAMETER, 0, false }, Verdict::Lost },
        { "write done", { PortCall::Write, 0, 8, false }, Verdict::Data },
        { "write timed out", { PortCall::Write, ERROR_TIMEOUT, 0, false }, Verdict::Retry },
        { "write refused with 21 (Wine, pulled)", { PortCall::Write, ERROR_NOT_READY, 0, false }, Verdict::Retry },
        { "write aborted by the driver", { PortCall::Write, ERROR_OPERATION_ABORTED, 0, false }, Verdict::Lost },
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
    // Runs the port until it is declared lost, or its clock has passed `millis`;
    // then raises the events of everything read by then.
    void RunUntilLostOr(ULONGLONG millis)
    {
        PumpUntil([&] { return parent.lost || port->Now() >= millis; }, 20000);
        for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);)
            DispatchMessageW(&msg);
    }
    // The next row of a table: the control closed, a new driver, nothing received.
    void NewPort()
    {
        parent.comm.SetPortOpen(FALSE);
        parent.received.clear();
        parent.events.clear();
        parent.lost = false;
        port = std::make_shared<CScriptedPort>();
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
        DWORD statusError;  // what ClearCommError answers then
        DWORD probeError;   // what GetCommState answers then
        ULONGLONG within;   // the loss is declared within this long after the pull
    } unplugs[] = {
        { "FTDI: every read aborted", Failing(ERROR_OPERATION_ABORTED), 0, ERROR_BAD_COMMAND, 600 },
        { "empty reads at once, probe fails", EmptyAtOnce(), 0, ERROR_GEN_FAILURE, 600 },
        { "PL2303: ERROR_BAD_COMMAND", Failing(ERROR_BAD_COMMAND), 0, 0, 0 },
        { "CH340: access denied, the probe too", Failing(ERROR_ACCESS_DENIED), ERROR_ACCESS_DENIED, 5, 600 },
        { "Bluetooth: ERROR_DEVICE_REMOVED", Failing(ERROR_DEVICE_REMOVED), 0, 0, 0 },
        { "ERROR_GEN_FAILURE, the probe too", Failing(ERROR_GEN_FAILURE), 0, ERROR_GEN_FAILURE, 600 },
        { "ERROR_DEVICE_NOT_CONNECTED", Failing(ERROR_DEVICE_NOT_CONNECTED), 0, 0, 0 },
        { "ERROR_NOT_READY, the probe too", Failing(ERROR_NOT_READY), ERROR_NOT_READY, ERROR_NOT_READY, 600 },
        { "Wine: reads 109, ClearCommError and probe 21", Failing(ERROR_BROKEN_PIPE), ERROR_NOT_READY, 21, 0 },
    };
    for (const auto& unplug : unplugs) {
        SCOPED_TRACE(unplug.driver);
        NewPort();
        // An abort after a purge, in the middle of the data, is no loss.
        port->script = { Data("03"), Quiet(), Data("11"), Data("26\r\n"), Failing(ERROR_OPERATION_ABORTED), Quiet() };
        port->rest = unplug.answer;
        port->statusError = unplug.statusError;
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
        // Closed only once the reader has ended: nothing calls it again.
        EXPECT_EQ("close", calls.back().second);
    }
}

// Live ports that answer oddly are not lost, and lose nothing.
TEST_F(DriverReplay, ClearCommErrorFailingWith87OrNowAndThen5StillDeliversEverythingInChunks)
{
    for (DWORD error : { ERROR_INVALID_PARAMETER, ERROR_ACCESS_DENIED }) {
        SCOPED_TRACE(error);
        NewPort();
        port->script = { Data("abc"), Data("defgh"), Quiet(), Data("ijk") };
        port->liveStatusError = port->statusError = error;
        Open();
        RunUntilLostOr(3000);
        EXPECT_FALSE(parent.lost);
        EXPECT_EQ("abcdefghijk", parent.received);
        // It cannot say what waits: every read asks for a whole chunk, bounded by the read timeouts.
        EXPECT_THAT(port->Locked([&] { return port->asked; }), Each(Gt(64u)));
    }
}

TEST_F(DriverReplay, ADriverThatUnderReportsWhatWaitsIsNotCappedByIt)
{
    // It says nothing waits, yet every read finds a byte at once: a pause per
    // byte would read less than the line brings, and its buffer would overflow.
    port->underReports = true;
    port->script.assign(300, ReadAnswer{ "x", 0, false, 0 });
    // Asked for one byte, it says it read three: the buffer holds the one.
    port->script.push_back({ "yzz", 0, false, 0 });
    Open();
    PumpUntil([&] { return parent.received.size() >= 301 && port->Locked([&] { return port->scriptDone; }); }, 10000);
    EXPECT_EQ(std::string(300, 'x') + "y", parent.received);
    EXPECT_LT(port->Locked([&] { return port->unplugAt; }), 300u) << "ms on the port's clock for 300 bytes";
}

// Every kind of line error reaches the program, the one that comes with the
// last bytes of a burst too (ClearCommError reports it with the final bytes).
TEST_F(DriverReplay, LineErrorsReachTheProgramAsEvents)
{
    const struct {
        DWORD flags;
        std::vector<short> events;
    } rows[] = {
        { CE_FRAME, { CMSComm::comEventFrame } },       { CE_RXPARITY, { CMSComm::comEventRxParity } },
        { CE_BREAK, { CMSComm::comEventBreak } },       { CE_OVERRUN, { CMSComm::comEventOverrun } },
        { CE_RXOVER, { CMSComm::comEventRxOver } },     { CE_FRAME | CE_BREAK, { 1001, 1004 } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.flags);
        NewPort();
        port->script = { Data("ab"), { "cd", 0, true, 5, row.flags } };
        Open();
        PumpUntil([&] { return parent.received == "abcd" && parent.events.size() >= row.events.size(); }, 5000);
        EXPECT_EQ("abcd", parent.received);
        EXPECT_EQ(row.events, parent.events);
    }
}

// Reads that fail, or end at once with nothing, on a port that still answers
// the probe: paced, never lost; bursts, as at suspend and resume, pass; failing
// on for 5 s is told once.
TEST_F(DriverReplay, ReadsThatKeepFailingOnAnAnsweringPortArePacedToldOnceNotLost)
{
    std::vector<ReadAnswer> resume(100, Failing(ERROR_OPERATION_ABORTED));
    resume.insert(resume.end(), 50, Failing(ERROR_GEN_FAILURE));
    resume.push_back(Data("cd"));
    std::vector<ReadAnswer> twice = resume;
    twice.insert(twice.end(), resume.begin(), resume.end());
    const struct {
        const char* what;
        std::vector<ReadAnswer> after;  // after "ab"
        ReadAnswer rest;
        std::string received;
        unsigned long failed;  // in the end; at the event for those failing on
    } rows[] = {
        { "aborted on and on", {}, Failing(ERROR_OPERATION_ABORTED), "ab", 5000 / 20 },
        { "semaphore timeout on and on", {}, Failing(ERROR_SEM_TIMEOUT), "ab", 5000 / 20 },
        { "invalid function on and on", {}, Failing(ERROR_INVALID_FUNCTION), "ab", 5000 / 20 },
        { "empty at once on and on", {}, EmptyAtOnce(), "ab", 0 },
        { "twice 3 s of 995 and 31, data after each", twice, Quiet(), "abcdcd", 300 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        NewPort();
        port->script = { Data("ab") };
        port->script.insert(port->script.end(), row.after.begin(), row.after.end());
        port->rest = row.rest;
        Open();
        RunUntilLostOr(11000);  // one streak told, and only once
        EXPECT_FALSE(parent.lost);
        EXPECT_EQ(row.received, parent.received);
        EXPECT_LE(port->Count("read", 1000, 2000), 51) << "reads in one second of the port's clock";
        if (row.rest.error) {
            EXPECT_EQ(std::vector<short>{ CMSComm::comEventReadsFailing }, parent.events);
            EXPECT_GE(parent.failedReads, row.failed) << "a read every 20 ms for 5 s";
        } else {
            EXPECT_EQ(std::vector<short>{}, parent.events);
            EXPECT_EQ(row.failed, parent.comm.GetFailedReads());
            parent.comm.DiscardInput();
            EXPECT_EQ(0u, parent.comm.GetFailedReads()) << "counted from each discard";
        }
    }
}

// A discard purges the driver (its buffer, the read in flight) and lets
// nothing through that came before it, whatever the read in flight did.
TEST_F(DriverReplay, NoByteFromBeforeADiscardComesAfterIt)
{
    for (DWORD inFlight : { ERROR_OPERATION_ABORTED, 0L }) {
        SCOPED_TRACE(inFlight);  // aborted with what it had, or completed as the purge came
        NewPort();
        port->script = { Data("ab"), { "old", inFlight, true, 5, 0, ReadAnswer::untilAbort },
                         { "OLD", 0, true, 5, 0, ReadAnswer::inBuffer }, Data("new") };
        Open();
        PumpUntil([&] { return parent.received == "ab" && port->Count("pending") == 1; }, 5000);
        parent.comm.DiscardInput();
        PumpUntil([&] { return parent.received.size() >= 5; }, 5000);
        EXPECT_EQ("abnew", parent.received);
        EXPECT_EQ(0u, parent.comm.GetFailedReads()) << "the abort was the discard's own";
    }
}

// A send that fails is told apart by the probe: a port that answers did not
// take the command, one that does not is lost.
TEST_F(DriverReplay, RefusedSettingsAndEachWayASendEnds)
{
    port->configureError = ERROR_GEN_FAILURE;
    EXPECT_THAT(ErrorOf([&] { Open(); }), HasSubstr("COM 5 kann nicht eingestellt werden.\nCOM 5 cannot be configured"));
    EXPECT_FALSE(parent.comm.GetPortOpen());

    const char* const kNoAnswer = "COM 5 antwortet nicht; der Befehl wurde nicht gesendet.\nCOM 5 does not answer";
    const char* const kLost = "COM 5 ist unterbrochen (Kabel oder Adapter gezogen?).\nThe connection on COM 5 is lost";
    const struct {
        const char* what;
        DWORD writeError, probeError, flagged;
        const char* text;  // empty when it is sent
    } rows[] = {
        { "timed out, the port answers", ERROR_TIMEOUT, 0, 0, kNoAnswer },
        { "timed out across an unplug", ERROR_TIMEOUT, ERROR_GEN_FAILURE, 0, kLost },
        { "denied once, the port answers", ERROR_ACCESS_DENIED, 0, 0, kNoAnswer },
        { "Wine, cable pulled: 21", ERROR_NOT_READY, ERROR_NOT_READY, 0, kLost },
        { "aborted by the driver", ERROR_OPERATION_ABORTED, 0, 0, kLost },
        { "device removed", ERROR_DEVICE_REMOVED, 0, 0, kLost },
        { "refused while a line error waits to be taken", 0, 0, CE_FRAME, "" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        NewPort();
        port->script = { { "", 0, true, 5, 0, ReadAnswer::untilAbort } };  // the reader calls nothing meanwhile
        Open();
        PumpUntil([&] { return port->Count("pending") == 1; }, 5000);
        port->writeError = row.writeError;
        port->probeError = row.probeError;
        port->flagged = row.flagged;
        EXPECT_THAT(ErrorOf([&] { parent.comm.SetOutput("(254.1.)"); }), HasSubstr(row.text));
        EXPECT_EQ(*row.text ? "" : "(254.1.)", port->Locked([&] { return port->written; }));
        EXPECT_EQ(std::string(row.text) == kLost, parent.comm.IsPortLost()) << "a port found gone is closed at once";
        PumpUntil([&] { return !parent.events.empty(); }, row.flagged ? 5000 : 0);
        EXPECT_EQ(row.flagged ? std::vector<short>{ CMSComm::comEventFrame } : std::vector<short>{}, parent.events);
    }
}

TEST_F(DriverReplay, ADriverDeafToCancelCannotHoldTheWindowOnCloseNorPassForAnotherProgram)
{
    HANDLE hang = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    port->hang = hang;
    Open();
    PumpUntil([&] { return port->Count("hang") == 1; }, 5000);
    const ULONGLONG start = GetTickCount64();
    parent.comm.SetPortOpen(FALSE);
    EXPECT_LT(GetTickCount64() - start, 10000u) << "the close gives up on the reader";
    EXPECT_FALSE(parent.comm.GetPortOpen());
    EXPECT_EQ(0, port->Count("close")) << "a port still in the driver's hands is not closed under it";
    // Windows refuses to open a port again while a handle to it is open.
    port->openError = ERROR_ACCESS_DENIED;
    EXPECT_THAT(ErrorOf([&] { Open(); }), HasSubstr("COM 5 wird noch vom Treiber gehalten. Bitte den Adapter abziehen "
                                                    "und wieder anstecken.\nCOM 5 is still held by its driver. Please "
                                                    "unplug the adapter and plug it in again."));
    SetEvent(hang);  // the driver gives the read back: the reader ends and closes the port
    PumpUntil([&] { return port->Count("close") > 0; }, 5000);
    EXPECT_EQ(1, port->Count("close"));
    EXPECT_THAT(ErrorOf([&] { Open(); }), HasSubstr("COM 5 ist belegt: ein anderes Programm benutzt die Schnittstelle."
                                                    "\nCOM 5 is in use by another program."));
    CloseHandle(hang);
}

TEST_F(DriverReplay, AWakeThatCouldNotBePostedIsPostedAgain)
{
    HWND gone = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    CCommReader lost(port, gone, WM_APP, 16), live(port, parent.m_hWnd, WM_APP, 16);
    lost.PostWake();
    live.PostWake();
    EXPECT_FALSE(lost.WakePending()) << "no wake in the queue: the next must be posted";
    EXPECT_TRUE(live.WakePending());
}

// The real port layer's own waits, cancels and abandons, its Win32 calls
// answering as a driver does.
struct {
    BOOL issued;
    DWORD issueError;       // ReadFile or WriteFile
    DWORD wait, cancelWait;  // the wait for the end, and for the cancel
    BOOL done;
    DWORD bytes, error;      // GetOverlappedResult
} g_driver;
HANDLE g_event;  // the OVERLAPPED's
int g_waits;
bool g_cancelled;
template <class Buffer>
BOOL WINAPI Issue(HANDLE, Buffer, DWORD, LPDWORD, LPOVERLAPPED overlapped)
{
    g_event = overlapped->hEvent;
    SetLastError(g_driver.issueError);
    return g_driver.issued;
}
BOOL WINAPI Cancel(HANDLE, LPOVERLAPPED) { return g_cancelled = true; }
BOOL WINAPI Result(HANDLE, LPOVERLAPPED, LPDWORD bytes, BOOL)
{
    *bytes = g_driver.bytes;
    SetLastError(g_driver.error);
    return g_driver.done;
}
DWORD WINAPI Wait(DWORD, const HANDLE*, BOOL, DWORD) { return g_waits++ ? g_driver.cancelWait : g_driver.wait; }

TEST_F(DriverReplay, TheWin32LayerTellsWhatBecameOfAReadOrWriteItGaveUpOn)
{
    Win32PortCalls calls;
    calls.readFile = Issue<LPVOID>;
    calls.writeFile = Issue<LPCVOID>;
    calls.cancelIoEx = Cancel;
    calls.getOverlappedResult = Result;
    calls.wait = Wait;
    const DWORD pending = ERROR_IO_PENDING, stop = WAIT_OBJECT_0, end = WAIT_OBJECT_0 + 1, late = WAIT_TIMEOUT,
                timedOut = ERROR_TIMEOUT;
    const struct {
        const char* what;
        bool write;  // of 8 bytes; a read asks for 64
        decltype(g_driver) driver;
        DWORD error, bytes;
        bool cancelled, leftToDriver;
    } rows[] = {
        { "write done at once", true, { TRUE, 0, 0, 0, TRUE, 8, 0 }, 0, 8, false, false },
        { "write timed out, the cancel took it back", true, { FALSE, pending, late, 0, FALSE, 0, 995 }, timedOut, 0, true, false },
        { "write timed out, done as the cancel came", true, { FALSE, pending, late, 0, TRUE, 8, 0 }, 0, 8, true, false },
        { "write ended part-way by its timeouts", true, { FALSE, pending, 0, 0, TRUE, 3, 0 }, timedOut, 3, false, false },
        { "write aborted by the driver", true, { FALSE, pending, 0, 0, FALSE, 0, 995 }, 995, 0, false, false },
        { "write pending across an unplug", true, { FALSE, pending, 0, 0, FALSE, 0, 1617 }, 1617, 0, false, false },
        { "write timed out, deaf to the cancel", true, { FALSE, pending, late, late, FALSE, 0, 0 }, timedOut, 0, true, true },
        { "read pending, then bytes", false, { FALSE, pending, end, 0, TRUE, 5, 0 }, 0, 5, false, false },
        { "read stopped, the cancel honoured", false, { FALSE, pending, stop, 0, FALSE, 0, 995 }, 0, 0, true, false },
        { "read stopped, deaf to the cancel", false, { FALSE, pending, stop, late, FALSE, 0, 0 }, 0, 0, true, true },
        { "read refused (Wine, pulled)", false, { FALSE, 109, 0, 0, FALSE, 0, 0 }, 109, 0, false, false },
    };
    HANDLE stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        g_driver = row.driver;
        g_waits = 0;
        g_cancelled = false;
        const std::shared_ptr<CPortIo> io = CreateWin32PortIo(calls);
        const CPortIo::Result result = row.write ? io->Write("(254.1.)", 8, 3000) : io->Read(64, stopEvent);
        io->Close();
        EXPECT_EQ(row.error, result.error);
        EXPECT_EQ(row.bytes, result.bytes);
        EXPECT_EQ(row.cancelled, g_cancelled);
        EXPECT_EQ(!row.write && row.cancelled, result.stopped);
        // A buffer freed closes its event; one the driver still holds is left to it.
        EXPECT_EQ(row.leftToDriver, SetEvent(g_event) != FALSE);
    }
    // A receive purge cancels the read in flight (Wine's purge does not) and is counted.
    const std::shared_ptr<CPortIo> io = CreateWin32PortIo(calls);
    g_driver = rows[7].driver;
    io->Read(64, stopEvent);
    g_cancelled = false;
    EXPECT_EQ(0ul, io->Purge(PURGE_TXABORT | PURGE_TXCLEAR));
    EXPECT_FALSE(g_cancelled);
    EXPECT_EQ(1ul, io->Purge(PURGE_RXABORT | PURGE_RXCLEAR));
    EXPECT_TRUE(g_cancelled);
    EXPECT_EQ(1ul, io->Read(64, stopEvent).purges) << "issued after it";
    CloseHandle(stopEvent);
}

}  // namespace
