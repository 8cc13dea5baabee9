// The serial control: what drivers answer, replayed through it from a scripted port layer with a clock of its
// own, so that each driver's sequence gives the same events, bytes and timing every run; its real Win32 layer.
#include "TestWindow.h"
#include "link/CommReader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::HasSubstr;

// The fixture is the control's parent window, as the main window is: a character per receive event, others in order.
class DriverReplay : public ::testing::Test, public CTestWnd {
protected:
    static constexpr UINT kCommId = 1029;
    void SetUp() override
    {
        ASSERT_TRUE(Create() && comm.Create(nullptr, 0, RECT{}, this, kCommId));
        comm.SetPortIoFactory([this] { return port; });
        comm.SetCommPort(5);
        comm.SetRThreshold(1);
        comm.SetInputLen(1);
    }
    void OnComm()
    {
        const short event = comm.GetCommEvent();
        if (event == CMSComm::comEvReceive)
            received += comm.GetInput().Str();
        else
            events.push_back(event);
        if (event == CMSComm::comEventReadsFailing) {
            EXPECT_GE(comm.GetFailedReads(), 5000u / 20) << "told after a read every 20 ms for 5 s";
        }
    }
    DECLARE_EVENTSINK_MAP()
    // The next row of a table: the control closed, a new driver, nothing received.
    void NewPort(std::vector<ReadAnswer> script = {}, const ReadAnswer& rest = Quiet())
    {
        comm.SetPortOpen(FALSE);
        received.clear();
        events.clear();
        port = std::make_shared<CScriptedPort>();
        port->script = std::move(script);
        port->rest = rest;
    }

    CMSComm comm;
    std::shared_ptr<CScriptedPort> port = std::make_shared<CScriptedPort>();
    std::string received;
    std::vector<short> events;
};
BEGIN_EVENTSINK_MAP(DriverReplay)
    ON_EVENT(kCommId, CMSComm::dispidOnComm, OnComm)
END_EVENTSINK_MAP()

// What the program sees of each driver's ways. A pulled adapter: every byte before the pull reaches the program
// first; when only the probe can tell, it is asked after half a second of nothing but retries (a live port falls
// silent too), and again half a second after it answered; the reader neither spins nor goes on calling the port. A
// live port that answers oddly is not lost and loses nothing: line errors reach the program, with the last bytes of
// a burst too; reads that fail, or end at once with nothing, are paced; bursts, as at suspend and resume, pass;
// failing on for 5 s is told once. A driver that says nothing waits, yet has a byte for every read at once, is not
// paced a byte at a time: that would read less than the line brings, and its buffer would overflow.
TEST_F(DriverReplay, EachDriversWaysReachTheProgramAsTheyShould)
{
    // An abort after a purge, in the middle of the data, is no loss.
    const std::vector<ReadAnswer> midway = { Data("cd"), Failing(ERROR_OPERATION_ABORTED), Quiet(), Data("\r\n") };
    const ReadAnswer lineErrors = { "cd", 0, true, 5, CE_BREAK | CE_FRAME | CE_OVERRUN | CE_RXOVER | CE_RXPARITY };
    std::vector<ReadAnswer> resume(100, Failing(ERROR_OPERATION_ABORTED));
    resume.insert(resume.end(), 50, Failing(ERROR_GEN_FAILURE));
    resume.push_back(Data("cd"));
    std::vector<ReadAnswer> twice = resume;
    twice.insert(twice.end(), resume.begin(), resume.end());
    std::vector<ReadAnswer> unreported(300, { "x", 0, false, 0, 0, ReadAnswer::now, false });
    unreported.push_back({ "yzz", 0, false, 0, 0, ReadAnswer::now, false });  // asked for one byte, says it read 3
    const std::vector<short> lost = { CMSComm::comEventPortLost }, failing = { CMSComm::comEventReadsFailing };
    const struct {
        const char* what;
        std::vector<ReadAnswer> after;  // after "ab"
        ReadAnswer rest;                // and then
        DWORD statusError, probeError;  // what ClearCommError and GetCommState answer
        std::string received;
        std::vector<short> events;
        ULONGLONG lostAfter;   // the pull to the loss on the port's clock
        unsigned long failed;  // failed reads, on a live port
    } rows[] = {
        { "FTDI: every read aborted", midway, Failing(ERROR_OPERATION_ABORTED), 0, 22, "abcd\r\n", lost, 500, 0 },
        { "empty reads at once, the probe fails", midway, Failing(0), 0, 31, "abcd\r\n", lost, 500, 0 },
        { "PL2303: ERROR_BAD_COMMAND", midway, Failing(ERROR_BAD_COMMAND), 0, 0, "abcd\r\n", lost, 0, 0 },
        { "CH340: access denied, the probe too", midway, Failing(5), 5, 5, "abcd\r\n", lost, 500, 0 },
        { "Wine: reads 109, the rest 21", midway, Failing(ERROR_BROKEN_PIPE), 21, 21, "abcd\r\n", lost, 0, 0 },
        { "ClearCommError failing with 87", { Data("cde"), Quiet(), Data("f") }, Quiet(), 87, 0, "abcdef", {}, 0, 0 },
        { "every line error", { lineErrors }, Quiet(), 0, 0, "abcd", { 1001, 1004, 1006, 1008, 1009 }, 0, 0 },
        { "aborted on and on", {}, Failing(ERROR_OPERATION_ABORTED), 0, 0, "ab", failing, 0, 0 },
        { "empty at once on and on", {}, Failing(0), 0, 0, "ab", {}, 0, 0 },
        { "empty after a moment's wait, the probe fails", {}, Data(""), 0, 31, "ab", lost, 505, 0 },
        { "idle reads end with ERROR_TIMEOUT", {}, ReadAnswer{ "", ERROR_TIMEOUT, true, 1000 }, 0, 0, "ab", {}, 0, 0 },
        { "more in one read than one wake raises", { Data(std::string(600, 'c')) }, Quiet(), 0, 0,
          "ab" + std::string(600, 'c'), {}, 0, 0 },
        { "twice 3 s of 995 and 31, data after each", twice, Quiet(), 0, 0, "abcdcd", {}, 0, 300 },
        { "under-reports what waits", unreported, Quiet(), 0, 0, "ab" + std::string(300, 'x') + "y", {}, 0, 0 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        NewPort({ Data("ab") }, row.rest);
        port->script.insert(port->script.end(), row.after.begin(), row.after.end());
        port->statusError = row.statusError;
        port->probeError = row.probeError;
        comm.SetPortOpen(TRUE);
        // Until it is lost, or a streak of failing reads has been told once and only once; then everything's events.
        // 11 s of the port's clock take under a second here: 5 s leave room for a loaded machine.
        ASSERT_TRUE(PumpUntil([&] { return comm.IsPortLost() || port->Now() >= 11000; }, 5000)) << "the reader stalled";
        for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);)
            DispatchMessageW(&msg);
        EXPECT_EQ(row.received, received) << "every byte before the pull: none is taken after the loss";
        EXPECT_EQ(row.events, events);
        EXPECT_LE(port->Count("read", 1000, 2000), 51) << "reads in one second of the port's clock";
        EXPECT_LE(port->Count("probe", 1000, 2000), 2) << "a probe that answered is good for half a second";
        if (row.events == lost) {
            const auto last = port->Locked([&] { return port->calls.back(); });
            EXPECT_EQ("close", last.second) << "closed only once the reader has ended: nothing calls it again";
            EXPECT_EQ(row.lostAfter, last.first - port->Locked([&] { return port->pulled; }));
            continue;
        }
        if (row.events != failing) {
            EXPECT_EQ(row.failed, comm.GetFailedReads());
        }
        comm.DiscardInput();
        EXPECT_EQ(0u, comm.GetFailedReads()) << "counted from each discard";
    }
}

// A discard purges the driver (its buffer, the read in flight) and lets nothing through that came before it.
TEST_F(DriverReplay, NoByteFromBeforeADiscardComesAfterIt)
{
    for (DWORD inFlight : { ERROR_OPERATION_ABORTED, 0L }) {
        SCOPED_TRACE(inFlight);  // aborted with what it had, or completed as the purge came
        NewPort({ Data("ab"), { "old", inFlight, true, 5, 0, ReadAnswer::untilAbort },
                  { "OLD", 0, true, 5, 0, ReadAnswer::inBuffer }, Data("new") });
        comm.SetPortOpen(TRUE);
        PumpUntil([&] { return received == "ab" && port->Count("pending") == 1; }, 5000);
        port->flagged = CE_FRAME, comm.SetOutput("(254.1.)");  // a line error the send took, not yet raised
        comm.DiscardInput();
        PumpUntil([&] { return received.size() >= 5; }, 5000);
        EXPECT_EQ("abnew", received);
        EXPECT_EQ(std::vector<short>{}, events) << "nor a line error";
        EXPECT_EQ(0u, comm.GetFailedReads()) << "the abort was the discard's own";
    }
}

// A failed send is told apart by the probe: a port that answers did not take the command, one that does not is lost.
TEST_F(DriverReplay, BadOrRefusedSettingsAndEachWayASendEnds)
{
    EXPECT_THROW(comm.SetSettings("9600,E,8,1"), CException);  // a frame other than the logger's
    EXPECT_EQ(CString("9600,N,8,1"), comm.GetSettings()) << "kept";
    port->configureError = ERROR_GEN_FAILURE;
    EXPECT_THAT(ErrorOf([&] { comm.SetPortOpen(TRUE); }),
                HasSubstr("COM 5 kann nicht eingestellt werden.\nCOM 5 cannot be configured"));
    EXPECT_FALSE(comm.GetPortOpen());
    EXPECT_EQ(1, port->Count("close")) << "a port that refuses its settings is not left open";

    const char* const kNoAnswer = "COM 5 antwortet nicht; der Befehl wurde nicht gesendet.\nCOM 5 does not answer";
    const char* const kLost = "COM 5 ist unterbrochen (Kabel oder Adapter gezogen?).\nThe connection on COM 5 is lost";
    const struct {
        const char* what;
        DWORD writeError, probeError, flagged;
        const char* text;  // empty when it is sent
    } rows[] = {
        { "timed out, the port answers", ERROR_TIMEOUT, 0, 0, kNoAnswer },
        { "Wine, cable pulled: 21", ERROR_NOT_READY, ERROR_NOT_READY, 0, kLost },
        { "aborted by the driver", ERROR_OPERATION_ABORTED, 0, 0, kLost },
        { "device removed", ERROR_DEVICE_REMOVED, 0, 0, kLost },
        { "refused while a line error waits to be taken", 0, 0, CE_FRAME, "" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        NewPort({ { "", 0, true, 5, 0, ReadAnswer::untilAbort } });  // the reader calls nothing meanwhile
        comm.SetPortOpen(TRUE);
        PumpUntil([&] { return port->Count("pending") == 1; }, 5000);
        port->writeError = row.writeError;
        port->probeError = row.probeError;
        port->flagged = row.flagged;
        EXPECT_THAT(ErrorOf([&] { comm.SetOutput("(254.1.)"); }),
                    *row.text ? HasSubstr(row.text) : ::testing::Matcher<std::string>(::testing::IsEmpty()));
        EXPECT_EQ(*row.text ? "" : "(254.1.)", port->Locked([&] { return port->written; }));
        EXPECT_EQ(row.text == kLost, comm.IsPortLost()) << "a port found gone is closed at once";
        PumpUntil([&] { return !events.empty(); }, row.flagged ? 5000 : 0);
        EXPECT_EQ(row.flagged ? std::vector<short>{ CMSComm::comEventFrame } : std::vector<short>{}, events);
    }
}

TEST_F(DriverReplay, ADriverDeafToCancelCannotHoldTheWindowOnCloseNorPassForAnotherProgram)
{
    port->script = { { "", 0, true, 5, 0, ReadAnswer::deaf } };
    comm.SetPortOpen(TRUE);
    PumpUntil([&] { return port->Count("pending") == 1; }, 5000);
    const ULONGLONG start = GetTickCount64();
    comm.SetPortOpen(FALSE);
    EXPECT_LT(GetTickCount64() - start, 4000u) << "the close gives up on the reader after 3 s";
    EXPECT_EQ(0, port->Count("close")) << "a port still in the driver's hands is not closed under it";
    // Windows refuses to open a port again while a handle to it is open.
    port->openError = ERROR_ACCESS_DENIED;
    EXPECT_THAT(ErrorOf([&] { comm.SetPortOpen(TRUE); }),
                HasSubstr("COM 5 wird noch vom Treiber gehalten. Bitte den Adapter abziehen und wieder anstecken."
                          "\nCOM 5 is still held by its driver. Please unplug the adapter and plug it in again."));
    SetEvent(port->abort);  // the driver gives the read back: the reader ends and closes the port
    PumpUntil([&] { return port->Count("close") > 0; }, 5000);
    EXPECT_EQ(1, port->Count("close"));
    EXPECT_THAT(ErrorOf([&] { comm.SetPortOpen(TRUE); }),
                HasSubstr("COM 5 ist belegt: ein anderes Programm benutzt die Schnittstelle.\nCOM 5 is in use"));
}

TEST_F(DriverReplay, AFullBufferHoldsTheReaderUntilTheWindowTakesFromItAndAWakeThatCouldNotBePostedIsPostedAgain)
{
    comm.SetInBufferSize(1);
    port->script.assign(20, { "x", 0, false, 0, 0, ReadAnswer::now, false });  // read at once again: no gathering
    comm.SetPortOpen(TRUE);
    for (int i = 0; i < 500 && comm.GetInBufferCount() == 0; ++i)  // no message taken: the reader finds it full
        Sleep(10);
    EXPECT_TRUE(PumpUntil([&] { return received.size() == 20; }, 5000)) << received.size();

    HWND gone = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    CCommReader lost(port, gone, WM_APP, 16), live(port, m_hWnd, WM_APP, 16);
    lost.PostWake();
    live.PostWake();
    EXPECT_FALSE(lost.WakePending()) << "no wake in the queue: the next must be posted";
    EXPECT_TRUE(live.WakePending());
}

// The real port layer's own waits, cancels and abandons, its Win32 calls answering as a driver does.
struct Win32Driver {
    const char* what;
    bool write;                      // of 8 bytes; a read asks for 64
    DWORD issueError;                // ReadFile or WriteFile; 0: done at once
    DWORD wait, cancelWait;          // the wait for the end, and for the cancel
    DWORD bytes, error;              // GetOverlappedResult
    DWORD resultError, resultBytes;  // what the layer makes of it
    bool cancelled, leftToDriver;    // the buffer that the driver still holds is left to it
} g_driver;
HANDLE g_event;  // the OVERLAPPED's
int g_waits;
bool g_cancelled;

TEST_F(DriverReplay, TheWin32LayerTellsWhatBecameOfAReadOrWriteItGaveUpOn)
{
    const auto issue = [](HANDLE, auto, DWORD, LPDWORD, LPOVERLAPPED overlapped) -> BOOL {
        g_event = overlapped->hEvent;
        SetLastError(g_driver.issueError);
        return g_driver.issueError == 0;
    };
    Win32PortCalls calls;
    calls.readFile = issue;
    calls.writeFile = issue;
    calls.cancelIoEx = [](HANDLE, LPOVERLAPPED) -> BOOL { return g_cancelled = true; };
    calls.getOverlappedResult = [](HANDLE, LPOVERLAPPED, LPDWORD bytes, BOOL) -> BOOL {
        *bytes = g_driver.bytes;
        SetLastError(g_driver.error);
        return g_driver.error == 0;
    };
    calls.wait = [](DWORD, const HANDLE*, BOOL, DWORD) { return g_waits++ ? g_driver.cancelWait : g_driver.wait; };
    const DWORD pending = ERROR_IO_PENDING, stop = WAIT_OBJECT_0, end = WAIT_OBJECT_0 + 1, late = WAIT_TIMEOUT;
    const Win32Driver rows[] = {
        { "write done at once", true, 0, 0, 0, 8, 0, 0, 8, false, false },
        { "write timed out, taken back by the cancel", true, pending, late, 0, 0, 995, 1460, 0, true, false },
        { "write timed out, done as the cancel came", true, pending, late, 0, 8, 0, 0, 8, true, false },
        { "write ended part-way by its timeouts", true, pending, 0, 0, 3, 0, 1460, 3, false, false },
        { "write aborted by the driver", true, pending, 0, 0, 0, 995, 995, 0, false, false },
        { "write timed out, deaf to the cancel", true, pending, late, late, 0, 0, 1460, 0, true, true },
        { "read pending, then bytes", false, pending, end, 0, 5, 0, 0, 5, false, false },
        { "read stopped, the cancel honoured", false, pending, stop, 0, 0, 995, 0, 0, true, false },
        { "read stopped, deaf to the cancel", false, pending, stop, late, 0, 0, 0, 0, true, true },
        { "read refused (Wine, pulled)", false, 109, 0, 0, 0, 0, 109, 0, false, false },
    };
    HANDLE stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        g_driver = row;
        g_waits = 0;
        g_cancelled = false;
        const std::shared_ptr<CPortIo> io = CreateWin32PortIo(calls);
        const CPortIo::Result result = row.write ? io->Write("(254.1.)", 8, 3000) : io->Read(64, stopEvent);
        io->Close();
        EXPECT_EQ(row.resultError, result.error);
        EXPECT_EQ(row.resultBytes, result.bytes);
        EXPECT_EQ(row.cancelled, g_cancelled);
        EXPECT_EQ(!row.write && row.cancelled, result.stopped);
        EXPECT_EQ(row.leftToDriver, SetEvent(g_event) != FALSE);
    }
    // A receive purge cancels the read in flight (Wine's purge does not) and is counted.
    const std::shared_ptr<CPortIo> io = CreateWin32PortIo(calls);
    g_driver = rows[6];  // read pending, then bytes
    io->Read(64, stopEvent);
    g_cancelled = false;
    EXPECT_EQ(0ul, io->Purge(PURGE_TXABORT | PURGE_TXCLEAR));
    EXPECT_FALSE(g_cancelled);
    EXPECT_EQ(1ul, io->Purge(PURGE_RXABORT | PURGE_RXCLEAR));
    EXPECT_TRUE(g_cancelled);
    EXPECT_EQ(1ul, io->Read(64, stopEvent).purges) << "issued after it";
    CloseHandle(stopEvent);
}

// A driver gets back its own settings with only the line settings and no flow control of any kind put in. This one
// keeps 1 KiB whatever SetupComm asks for and refuses XON/XOFF limits beyond it; like some CDC drivers it hands back
// 0 for both XON/XOFF bytes, yet refuses them so.
DCB g_set;
TEST(Win32Layer, ADriversOwnSettingsGoBackWithOnlyWhatTheProgramNeeds)
{
    static DCB given = {};  // every kind of flow control on, 115200 7E2
    given.DCBlength = sizeof(DCB), given.BaudRate = 115200, given.fBinary = given.fParity = given.fAbortOnError = 1;
    given.fOutxCtsFlow = given.fOutxDsrFlow = given.fDsrSensitivity = given.fOutX = given.fInX = given.fNull = 1;
    given.fErrorChar = 1, given.fDtrControl = DTR_CONTROL_HANDSHAKE, given.fRtsControl = RTS_CONTROL_TOGGLE;
    given.XonLim = 512, given.XoffLim = 128, given.ByteSize = 7, given.Parity = EVENPARITY, given.StopBits = TWOSTOPBITS;
    given.ErrorChar = '?', given.EofChar = 0x1A, given.EvtChar = '\n';
    Win32PortCalls calls;
    calls.getCommState = [](HANDLE, LPDCB dcb) -> BOOL { return *dcb = given, TRUE; };
    calls.setCommState = [](HANDLE, LPDCB dcb) -> BOOL {
        g_set = *dcb;
        SetLastError(ERROR_INVALID_PARAMETER);
        return dcb->XonLim <= 1024 && dcb->XoffLim <= 1024 && dcb->XonChar != dcb->XoffChar;
    };
    calls.setCommTimeouts = [](HANDLE, LPCOMMTIMEOUTS) { return TRUE; };
    EXPECT_EQ(0u, CreateWin32PortIo(calls)->Configure(CommSettings(), 8191)) << "the port opens";
    DCB set = given;  // 9600 8N1 in binary mode, DTR and RTS up, no flow control, abort, error character or null stripping
    set.BaudRate = 9600, set.ByteSize = 8, set.Parity = NOPARITY, set.StopBits = ONESTOPBIT, set.XonChar = 0x11;
    set.fParity = set.fOutxCtsFlow = set.fOutxDsrFlow = set.fDsrSensitivity = set.fOutX = set.fInX = set.fNull = 0;
    set.fErrorChar = set.fAbortOnError = 0, set.XoffChar = 0x13;
    set.fDtrControl = DTR_CONTROL_ENABLE, set.fRtsControl = RTS_CONTROL_ENABLE;
    EXPECT_EQ(0, memcmp(&set, &g_set, sizeof(DCB))) << ::testing::PrintToString(g_set);
}

// A PC with many devices has a long DOS device list, and its serial-port map may hold an entry too long to read: every
// COM port is listed all the same, the device list read in a buffer large enough, or each COM port asked for.
std::wstring g_devices;
TEST(Win32Layer, APcsPortsAreListedWhenItHasManyDevicesOrARegistryEntryCannotBeRead)
{
    Win32PortCalls calls;
    calls.queryDosDevice = [](LPCWSTR name, LPWSTR out, DWORD size) -> DWORD {
        const std::wstring list = name ? (std::wstring(name) == L"COM5" ? L"\\Device\\Serial4" : L"") : g_devices;
        if (list.empty() || list.size() + 1 > size)
            return SetLastError(list.empty() ? ERROR_FILE_NOT_FOUND : ERROR_INSUFFICIENT_BUFFER), 0;
        std::copy(list.begin(), list.end(), out);
        out[list.size()] = L'\0';
        return static_cast<DWORD>(list.size() + 1);
    };
    calls.regOpenKeyEx = [](HKEY, LPCWSTR, DWORD, REGSAM, PHKEY key) { return *key = HKEY_CURRENT_USER, ERROR_SUCCESS; };
    calls.regEnumValue = [](HKEY, DWORD i, LPWSTR name, LPDWORD, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD) -> LSTATUS {
        const wchar_t* const values[][2] = { { L"\\Device\\VCP0", L"COM9" }, {}, { L"\\Device\\Serial1", L"COM4" } };
        if (i >= 3 || !values[i][0])
            return i >= 3 ? ERROR_NO_MORE_ITEMS : ERROR_MORE_DATA;
        wcscpy(name, values[i][0]), wcscpy(reinterpret_cast<wchar_t*>(data), values[i][1]), *type = REG_SZ;
        return ERROR_SUCCESS;
    };
    calls.regCloseKey = [](HKEY) { return ERROR_SUCCESS; };
    std::wstring many = L"COM3";
    for (int i = 0; many.size() < 100000 - 15; ++i)
        many += L'\0' + std::wstring(L"HarddiskVolume") + std::to_wstring(i);
    many.resize(100000 - 15, L'x');
    many += std::wstring(L"\0COM12\0COM200\0", 14);  // past 64 K characters; 100,000 with the list's end
    const struct { std::wstring devices; const char* listed; } rows[] = {
        { many, "3 |4 \\Device\\Serial1|9 \\Device\\VCP0|12 |200 |" },
        { std::wstring(1 << 23, L'x'), "4 \\Device\\Serial1|5 |9 \\Device\\VCP0|" },  // never fits
    };
    for (const auto& row : rows) {
        g_devices = row.devices;
        std::string listed;
        for (const ComPortName& pc : ListComPorts(calls))
            listed += std::to_string(pc.number) + " " + Utf8(pc.device) + "|";
        EXPECT_EQ(row.listed, listed);
    }
}

// The test runner maps COM 27 in the system's serial-port map.
using SerialControl = DriverReplay;
TEST_F(SerialControl, AMissingPortIsToldApartAndThePcsPortsAreListedWithTheirDevices)
{
    comm.SetPortIoFactory([] { return CreateWin32PortIo(); });
    comm.SetCommPort(40);
    EXPECT_THAT(ErrorOf([&] { comm.SetPortOpen(TRUE); }),
                HasSubstr("Die Schnittstelle COM 40 gibt es nicht.\nThe port COM 40 does not exist."));
    std::string listed;
    for (const ComPortName& pc : ComPortsOnThisPc())
        listed += "COM " + std::to_string(pc.number) + " " + Utf8(pc.device) + "|";
    EXPECT_THAT(listed, HasSubstr("COM 27 \\Device\\")) << listed;
}

}  // namespace
