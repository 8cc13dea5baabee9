#include "link/MSComm.h"

#include "fw/Exception.h"
#include "link/CommReader.h"
#include "link/LinkVerdict.h"

namespace {
// Posted to the control by its reader: received bytes, line errors or the loss wait.
constexpr UINT kWakeMessage = WM_APP + 0x3F01;
// Events raised per wake message; the rest follow in the next one, so that
// the GUI thread's other messages keep flowing during a long burst.
constexpr int kEventsPerWake = 512;

// The port's errors: a German line and an English line, each naming the port once.
constexpr char kLostText[] = "Die Verbindung \xFC" "ber COM %d ist unterbrochen (Kabel oder Adapter gezogen?).\n"
                             "The connection on COM %d is lost (cable or adapter unplugged?).";
constexpr char kNotBackText[] = "Die Verbindung \xFC" "ber COM %d war unterbrochen, und die Schnittstelle ist nicht "
                                "wieder da. Bitte Kabel oder Adapter wieder anstecken.\n"
                                "The connection on COM %d was lost, and the port is not back. "
                                "Please plug the cable or adapter in again.";
constexpr char kNotOpenText[] = "COM %d ist nicht ge\xF6" "ffnet.\nCOM %d is not open.";
constexpr char kNotThereText[] = "Die Schnittstelle COM %d gibt es nicht.\nThe port COM %d does not exist.";
constexpr char kBusyText[] = "COM %d ist belegt: ein anderes Programm benutzt die Schnittstelle.\n"
                             "COM %d is in use by another program.";
constexpr char kCannotOpenText[] = "COM %d kann nicht ge\xF6" "ffnet werden.\nCOM %d cannot be opened.";
constexpr char kNotConfiguredText[] = "COM %d kann nicht eingestellt werden.\nCOM %d cannot be configured.";
constexpr char kNoAnswerText[] = "COM %d antwortet nicht; der Befehl wurde nicht gesendet.\n"
                                 "COM %d does not answer; the command was not sent.";

// The ports this PC has, for the box that says the chosen one is not there.
CString PortsOnThisPc()
{
    CString list;
    bool beyondFour = false;
    for (int port : ComPortsOnThisPc()) {
        list += FormatString("%sCOM %d", list.IsEmpty() ? "" : ", ", port);
        beyondFour = beyondFour || port > 4;
    }
    CString text = "Vorhandene Schnittstellen / Ports on this PC: " + (list.IsEmpty() ? CString("keine / none") : list);
    if (beyondFour)
        text += "\nCOM 5 und h\xF6her: in \"vxsetup.ini\" die Portnummer minus eins eintragen.\n"
                "COM 5 and above: write the port number minus one into \"vxsetup.ini\".";
    return text;
}
}  // namespace

BEGIN_MESSAGE_MAP(CMSComm, CWnd)
    ON_MESSAGE(kWakeMessage, OnWake)
    ON_MESSAGE(WM_NCDESTROY, OnNcDestroy)
END_MESSAGE_MAP()

CMSComm::CMSComm() = default;

CMSComm::~CMSComm()
{
    ClosePort();
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

BOOL CMSComm::Create(const char* windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateEx(0, L"CMSComm", windowName ? windowName : "", style | WS_CHILD, rect,
                    parent ? parent->m_hWnd : nullptr, id);
}

// ---- Errors ------------------------------------------------------------------

void CMSComm::ThrowPortError(const char* format, DWORD error) const
{
    CString text = FormatString(format, m_nCommPort, m_nCommPort);
    if (error != 0)
        text += "\n\n" + SystemErrorText(error);
    throw CException(text);
}

void CMSComm::RequireOpen()
{
    if (GetPortOpen())
        return;
    ThrowPortError(m_bLost ? kLostText : kNotOpenText, 0);
}

// ---- Properties --------------------------------------------------------------

void CMSComm::SetCommPort(short port)
{
    if (GetPortOpen())
        throw CException(FormatString("COM %d ist ge\xF6" "ffnet; der Port kann jetzt nicht gewechselt werden.\n"
                                      "COM %d is open; the port cannot be changed now.",
                                      m_nCommPort, m_nCommPort));
    m_nCommPort = port;
    m_bLost = false;
}

void CMSComm::SetSettings(const CString& settings)
{
    CommSettings parsed;
    if (!ParseCommSettings(settings, parsed))
        throw CException(FormatString("Ung\xFCltige Einstellungen \"%s\" (Beispiel: 9600,N,8,1).\n"
                                      "Invalid settings \"%s\" (example: 9600,N,8,1).",
                                      settings.GetString(), settings.GetString()));
    if (GetPortOpen()) {
        if (const DWORD error = m_io->Configure(parsed, static_cast<DWORD>(m_nInBufferSize)))
            ThrowPortError(kNotConfiguredText, error);
    }
    m_strSettings = settings;
}

void CMSComm::SetInBufferSize(short size)
{
    if (GetPortOpen())
        throw CException(FormatString("COM %d ist ge\xF6" "ffnet; die Puffergr\xF6\xDF" "e kann jetzt nicht "
                                      "ge\xE4ndert werden.\nCOM %d is open; the buffer size cannot be changed now.",
                                      m_nCommPort, m_nCommPort));
    if (size <= 0)
        throw CException(FormatString("Ung\xFCltige Puffergr\xF6\xDF" "e %d.\nInvalid buffer size %d.", size, size));
    m_nInBufferSize = size;
}

void CMSComm::SetInputLen(short length)
{
    m_nInputLen = length < 0 ? 0 : length;
}

void CMSComm::SetRThreshold(short threshold)
{
    m_nRThreshold = threshold < 0 ? 0 : threshold;
    if (m_reader)
        m_reader->SetThreshold(m_nRThreshold);
}

// ---- Opening and closing -----------------------------------------------------

void CMSComm::SetPortOpen(BOOL open)
{
    if (!open) {
        ClosePort();
        m_bLost = false;
        return;
    }
    if (GetPortOpen())
        throw CException(FormatString("COM %d ist bereits ge\xF6" "ffnet.\nCOM %d is already open.", m_nCommPort,
                                      m_nCommPort));
    if (!m_hWnd)
        throw CException("Die serielle Schnittstelle ist nicht bereit.\nThe serial control is not ready.");
    if (m_nCommPort < 1 || m_nCommPort > 255)
        throw CException(FormatString("Die Portnummer %d ist ung\xFCltig; m\xF6gliche Ports sind COM 1 bis COM 255.\n"
                                      "The port number %d is invalid; possible ports are COM 1 to COM 255.",
                                      m_nCommPort, m_nCommPort));
    CommSettings settings;
    ParseCommSettings(m_strSettings, settings);  // checked when it was set

    std::shared_ptr<CPortIo> io = m_makePortIo();
    if (const DWORD error = io->Open(m_nCommPort)) {
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_BAD_PATHNAME ||
            error == ERROR_INVALID_NAME || error == ERROR_BAD_UNIT || error == ERROR_DEV_NOT_EXIST)
            throw CException(FormatString(kNotThereText, m_nCommPort, m_nCommPort) + "\n\n" + PortsOnThisPc() +
                             "\n\n" + SystemErrorText(error));
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_BUSY)
            ThrowPortError(kBusyText, error);
        ThrowPortError(kCannotOpenText, error);
    }
    // A port that opens but refuses its settings is no lost one, whatever the error says.
    if (const DWORD error = io->Configure(settings, static_cast<DWORD>(m_nInBufferSize))) {
        io->Close();
        ThrowPortError(kNotConfiguredText, error);
    }
    auto reader = std::make_shared<CCommReader>(io, m_hWnd, kWakeMessage, static_cast<size_t>(m_nInBufferSize));
    reader->SetThreshold(m_nRThreshold);
    if (!reader->Start())
        ThrowPortError(kCannotOpenText, GetLastError());
    m_io = std::move(io);
    m_reader = std::move(reader);
    m_bLost = false;
}

void CMSComm::Reconnect()
{
    if (!m_bLost || GetPortOpen())
        return;
    try {
        SetPortOpen(TRUE);
    } catch (const CException& e) {
        m_bLost = true;
        throw CException(FormatString(kNotBackText, m_nCommPort, m_nCommPort) + "\n\n" + e.GetDescription());
    }
}

void CMSComm::ClosePort()
{
    if (!m_reader)
        return;
    // A reader that does not end in time is left to end on its own; it keeps
    // the port, and closes it, until then. The window never waits longer.
    if (m_reader->Stop(kAnswerMillis))
        m_io->Close();
    m_reader.reset();
    m_io.reset();
}

void CMSComm::LosePort()
{
    // Closed at once, so that a re-plugged adapter can have its name back.
    ClosePort();
    m_bLost = true;
}

LRESULT CMSComm::OnNcDestroy(WPARAM, LPARAM)
{
    ClosePort();
    return Default();
}

// ---- Buffers, output and input -------------------------------------------------

void CMSComm::SetInBufferCount(short)
{
    RequireOpen();
    m_reader->Discard();
    m_io->Purge(PURGE_RXCLEAR);
}

short CMSComm::GetInBufferCount()
{
    return m_reader ? static_cast<short>(m_reader->Waiting()) : 0;
}

void CMSComm::SetOutBufferCount(short)
{
    RequireOpen();
    m_io->Purge(PURGE_TXCLEAR | PURGE_TXABORT);
}

void CMSComm::SetOutput(const CString& data)
{
    RequireOpen();
    const CPortIo::Result result =
        m_io->Write(data.GetString(), static_cast<DWORD>(data.GetLength()), kAnswerMillis);
    switch (Judge({ PortCall::Write, result.error, result.bytes, false })) {
    case Verdict::Data:
        return;
    case Verdict::Lost:
        // The reader would find the same in a moment; the port goes now.
        LosePort();
        ThrowPortError(kLostText, result.error);
    default:
        ThrowPortError(kNoAnswerText, result.error);
    }
}

CString CMSComm::GetInput()
{
    RequireOpen();
    return CString(m_reader->Take(static_cast<size_t>(m_nInputLen)));
}

// ---- The GUI side of the reader --------------------------------------------------

LRESULT CMSComm::OnWake(WPARAM, LPARAM)
{
    // The reader of a port closed meanwhile may still have posted one.
    std::shared_ptr<CCommReader> reader = m_reader;
    if (!reader)
        return 0;
    reader->WakeTaken();
    for (int i = 0; i < kEventsPerWake && reader == m_reader; ++i) {
        short event;
        if (!reader->NextEvent(&event))
            return 0;
        if (event == CCommReader::eventLost) {
            // Every byte received before the loss has had its event.
            LosePort();
            event = comEventPortLost;
        }
        m_nCommEvent = event;
        FireEvent(dispidOnComm);
    }
    if (reader == m_reader)
        reader->PostWake();
    return 0;
}
