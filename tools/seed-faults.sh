#!/usr/bin/env bash
# Seeds faults into the program one at a time and checks that the tests catch
# each: the fault is written into its file, everything is built, the tests
# that should fail run under Wine (on a display of its own when there is
# none), and the file is put back. Prints one line per fault, then the
# time taken per fault (a quarter to half a minute on two cores, most of it
# the build), and fails when any fault went unnoticed. For a whole-suite
# check of one fault, seed it by hand and run tools/run-tests.sh.
# With --overlap, each fault meets the whole unit test program instead, and
# its line lists every case that fails (a crash or a hang is "the unit
# program itself"); only when none does, the fault's e2e filter runs. A
# summary names the faults that a single case catches.
#   tools/seed-faults.sh [--overlap] [NUMBER...]     (default: all)
# Needs the unit tests' prefix, which tools/run-tests.sh makes.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VORLIX_BUILD:-$root/build}"
cd "$root"

# Each fault: a number, what it is, the file, the text and its faulty
# replacement, and where it must be caught ("unit FILTER" or "e2e FILTER").
faults=(
  "1|a separator at the wrong position|readout/RecordFormatter.cpp|} else if (next == 6) {|} else if (next == 7) {|unit RecordFormatter.*"
  "2|a blank not turned into 0|readout/RecordFormatter.cpp|pos == 8) && ch == ' ')|pos == 8) && ch == 'x')|unit RecordFormatter.*"
  "3|a carriage return written|readout/RecordFormatter.cpp|result.writeChar = ch != '\\\\0' && ch != '\\\\r';|result.writeChar = ch != '\\\\0';|unit RecordFormatter.*"
  "4|the timer period|ui/MainDialog.h|kTickMillis = 2000;|kTickMillis = 3000;|unit MainWindow.AReadOut*"
  "5|the buttons enabled in another order|readout/ReadOut.cpp|kLockedButtons[] = { IDC_READ, IDC_SETUP, IDOK, IDC_ERASE };|kLockedButtons[] = { IDC_ERASE, IDC_SETUP, IDOK, IDC_READ };|unit MainWindow.ACommandGoesOut*"
  "6|the read-out command's bytes|link/LoggerCommands.h|\"(254.1.)\"|\"(254.1.) \"|unit MainWindow.AReadOut*"
  "7|the setting file's line end|settings/PortSetting.cpp|std::to_string(index) + '\\\\n'|std::to_string(index) + \"\\\\r\\\\n\"|unit PortSetting*"
  "8|the port number's +1|link/Port.cpp|m_portDlg.m_nPort) + 1u)|m_portDlg.m_nPort) + 0u)|unit MainWindow.StartsOn*"
  "9|the table not closed at the run's end|readout/ReadOut.cpp|    m_bFileOpen = 0;\n    m_file.Close();|    m_bFileOpen = 0;|unit MainWindow.AReadOut*"
  "10|no discard before a command|link/Port.cpp|    m_comm.DiscardInput();\n|\n|unit MainWindow.ACommandGoesOut*"
  "11|the erase pause skipped|readout/Erase.cpp|    WaitNextSecond();\n|\n|unit MainWindow.EraseGoesOut*"
  "12|the loss not ending the run|readout/OnComm.cpp|            EndReadOut(RunEnd::PortLost);|            (void)0;|unit MainWindow.APulledCable*"
  "13|a pulled PL2303 taken for a live port|link/LinkVerdict.cpp|    case ERROR_BAD_COMMAND:          // PL2303\n|\n|unit DriverReplay.*"
  "14|received bytes dropped on the way out|ui/MainDialog.cpp|        m_comm.DeliverReceived();\n|\n|unit MainWindow.TheWaysOut*"
  "15|no .txt for a bare name|fw/FileDialog.cpp|text.find(L'.', name) != std::wstring::npos)|text.find(L'.', name) == std::wstring::npos)|unit FileDialog.*"
  "16|a table replaced without asking|readout/ReadOut.cpp|    if (TableHoldsData(path) &&|    if (false && TableHoldsData(path) &&|unit MainWindow.AReadOut*"
  "17|a created table left behind by a failed send|readout/TableFile.cpp|        CFile::Remove(path);|        (void)0;|unit MainWindow.AClosedPort*"
  "18|the erase sent without confirmation|readout/Erase.cpp|    if (AfxPrompts().RunModal(confirm) != IDOK)|    if (AfxPrompts().RunModal(confirm) == 12345)|unit MainWindow.ASilentLogger*"
  "19|the reader retrying an abort in a tight loop|link/CommReader.cpp|            if (m_io->Pause(kRetryMillis, m_hStop))\n                return;|            if (false)\n                return;|unit DriverReplay.*"
  "20|a failed write not counted as unwritten|readout/ReadOut.cpp|        m_tally.unwritten += m_tally.bufferedChars;|        (void)0;|unit MainWindow.AnIncomplete*"
  "21|a message's inserts shifted by one|fw/String.cpp|static_cast<size_t>(in[i + 1] - L'1')|static_cast<size_t>(in[i + 1] - L'0')|unit Resources.*"
  "22|no selection not saved as -1|fw/Wnd.cpp|    if (pDX->m_bSaveAndValidate)\n        value = -1;\n|\n|unit MainWindow.ThePortDialogs*"
  "23|the control's discard keeps what it took in|link/CommReader.cpp|        m_input.clear();\n|\n|unit MainWindow.ACommandGoesOut*"
  "24|a closed port taken for an open one|link/MSComm.cpp|    if (GetPortOpen())\n        return;\n    ThrowPortError|    if (true)\n        return;\n    ThrowPortError|unit MainWindow.AClosedPort*"
  "25|the resources read in another code page|res/vorlix.rc|#pragma code_page(1252)|#pragma code_page(65001)|unit Resources.*"
  "26|a handle lost with every port closed|link/CommReader.cpp|    CloseHandle(m_hStop);\n|\n|e2e Robustness.RepeatedUse*"
  "27|the logger's XON and XOFF bytes taken as flow control|link/PortIo.cpp|dcb.fOutX = FALSE;|dcb.fOutX = TRUE;|e2e Robustness.AMegabyte*"
  "28|a port plugged in again not opened by Read|link/MSComm.cpp|if (!m_bLost |if (true |unit MainWindow.APulledCable*"
  "29|each run counting on from the last|readout/ReadOut.cpp|    m_nPos = 0;\n    m_nCount = 0;\n|    m_nPos = 0;\n|unit MainWindow.AReadOut*"
  "30|a new table laid out from where the last run stopped|readout/ReadOut.cpp|    m_nPos = 0;\n    m_nCount = 0;\n|    m_nCount = 0;\n|unit MainWindow.AReadOut*"
  "31|start-up rewriting an existing setting file|settings/SettingFile.cpp|            file.Close();\n            return;|            file.Close();\n            StorePortSetting();\n            return;|unit MainWindow.StartsOn*"
  "32|a setting that cannot be saved not reported|settings/SettingFile.cpp|        Tell(LoadMessage(IDS_SETTING_NOT_SAVED|        if (false)\n        Tell(LoadMessage(IDS_SETTING_NOT_SAVED|unit MainWindow.StartsOn*"
  "33|the erase pause deaf to the window|readout/Erase.cpp|if (::PeekMessageW(&msg|if (false && ::PeekMessageW(&msg|unit MainWindow.EraseGoesOut*"
  "34|the About box on every menu command below 0x100|ui/MainDialog.cpp|(nID & 0xFFF0) == IDM_ABOUTBOX|(nID & 0xFF00) == 0|unit MainWindow.TheWindowHasAnIcon*"
  "35|a driver that under-reports read with a pause a byte|link/CommReader.cpp| && !(waiting == 0 && !read.waited) &&| &&|unit DriverReplay.*"
  "36|a text too wide for its button|res/vorlix.rc|IDC_READ, 80, 29, 60, 60|IDC_READ, 80, 29, 20, 60|unit DialogLayout.*"
  "37|the manifest without per-monitor DPI awareness|res/vorlix.manifest|PerMonitorV2, System|System|unit Resources.*"
  "38|a lost port asked about before it is refused|readout/ReadOut.cpp|    if (!OpenPortOrChoose(Opening::IfClosed))\n        return;\n    const SYSTEMTIME|    const SYSTEMTIME|unit MainWindow.APulledCable*"
  "39|a focus notification taken for a click|fw/Wnd.cpp|e->id != static_cast<UINT>(MAKELONG(LOWORD(wParam), HIWORD(wParam)))|e->id != LOWORD(wParam)|unit MessageMap.*"
  "40|a failed write tried again|fw/File.cpp|        m_buffer.clear();\n        throw;|        throw;|unit File.*"
  "41|a port closed under a driver that still holds a read|link/MSComm.cpp|    if (m_reader->Stop(kAnswerMillis))\n        m_io->Close();|    m_reader->Stop(kAnswerMillis);\n    m_io->Close();|unit DriverReplay.*"
  "42|the setting saved where the chooser last looked|settings/SettingFile.cpp|const std::wstring started = length > 0 && length < MAX_PATH * 4 ? path : kSettingFileName;|const std::wstring started = kSettingFileName;|unit MainWindow.SetupCancel*"
  "43|Cancel in the Port dialog taken for OK|settings/SettingFile.cpp|    if (AfxPrompts().RunModal(m_portDlg) != IDOK)\n        return;\n|    AfxPrompts().RunModal(m_portDlg);\n|unit MainWindow.SetupCancel*"
  "44|a port that cannot say what waits read a byte at a time|link/CommReader.cpp|known ? std::max<DWORD>(waiting, 1) : room|std::max<DWORD>(waiting, 1)|unit DriverReplay.*"
  "45|the chooser's Cancel ignored|readout/ReadOut.cpp|    if (!AfxPrompts().ChooseFile(chooser))\n        return;\n|    AfxPrompts().ChooseFile(chooser);\n|unit MainWindow.AClosedPort*"
  "46|the erase's second rounded the wrong way|readout/Erase.cpp|(clock.Now() / 1000 + 1) * 1000|(clock.Now() + 500) / 1000 * 1000|unit MainWindow.EraseGoesOut*"
  "47|the path's .txt lost|readout/ReadOut.cpp|chooser.GetPathNameWithExtension()|chooser.GetPathName()|unit MainWindow.AReadOut*"
  "48|the old table emptied at the send|readout/TableFile.cpp|        sent = send();\n    } catch|        sent = send();\n        file.SetLength(0);\n    } catch|unit MainWindow.AReadOut*"
  "49|no box for a run that received nothing|readout/ReadOut.cpp|        text = LoadMessage(IDS_RUN_NOTHING, { port }) + untouched;\n|        return;\n|unit MainWindow.ASilentLogger*"
  "50|the erase question after a bad run skipped|readout/Erase.cpp|    if (question && !AfxPrompts().AskYesNo(|    if (false && !AfxPrompts().AskYesNo(|unit MainWindow.ASilentLogger*"
  "51|the chosen port not stored|link/Port.cpp|    StorePortSetting();\n    return true;|    return true;|unit MainWindow.AMissingOr*"
  "52|a table made for a run that received nothing left behind|readout/ReadOut.cpp|    if (unused)\n        CFile::Remove(path);|    (void)unused;|unit MainWindow.ASilentLogger*"
  "53|a file name mapped to code page 1252|fw/File.cpp|    HANDLE file = CreateFileW(fileName.c_str(),|    HANDLE file = CreateFileW(Widen(Narrow(fileName.c_str())).c_str(),|unit MainWindow.AReadOut*"
  "54|a table cut inside a line called complete|ui/RunState.cpp|    if (tally.insideLine)\n|    if (false)\n|unit MainWindow.AReadOut*:RunVerdict.*"
  "55|a sleep during the run not noted|ui/MainDialog.cpp|        m_tally.slept = true;|        (void)0;|unit MainWindow.AnIncomplete*"
  "56|the PC let sleep during a run|readout/ReadOut.cpp|    AfxClock().KeepAwake(true);\n|\n|unit MainWindow.AReadOut*"
  "57|the erase sent after a read-out started in its pause|readout/Erase.cpp|        if (after == Phase::Idle)|        if (false)|unit MainWindow.EraseGoesOut*"
  "58|framing errors not counted|readout/OnComm.cpp|    case CMSComm::comEventFrame:\n||unit MainWindow.AnIncomplete*"
  "59|reads that keep failing not ending the run|readout/OnComm.cpp|            EndReadOut(RunEnd::ReadsFailing);|            (void)0;|unit MainWindow.AnIncomplete*"
  "60|a double click in the port list not taken|ui/PortChoiceDialog.cpp|    ON_LBN_DBLCLK(IDC_CHOICE_PORTS, OnDoubleClick)\n||unit MainWindow.ThePortDialogs*"
  "61|a read from before a discard delivered after it|link/CommReader.cpp|        if (read.purges != m_nPurges)\n            return;\n||unit DriverReplay.*"
  "62|a write done as its cancel came called a timeout|link/PortIo.cpp|(cancelled && result.error == ERROR_OPERATION_ABORTED)|(cancelled)|unit DriverReplay.*"
  "63|a write aborted by the driver taken for a slow one|link/LinkVerdict.cpp|        if (error == ERROR_OPERATION_ABORTED)\n            return Verdict::Lost;|        if (false)\n            return Verdict::Lost;|unit DriverReplay.*"
  "64|no ClearCommError before a write|link/MSComm.cpp|    if (m_io->Status(&lineErrors, &waiting).error == 0 && lineErrors)|    if (false)|unit DriverReplay.*"
  "65|a port our own reader holds called in use by another program|link/MSComm.cpp|            if (error == ERROR_ACCESS_DENIED && m_nHeldPort == m_nCommPort && !m_heldReader.expired())|            if (false)|unit DriverReplay.*"
  "66|one access denied taken for a pulled adapter|link/LinkVerdict.cpp|    case ERROR_FILE_NOT_FOUND:       // the device's name is gone\n|    case ERROR_FILE_NOT_FOUND:       // the device's name is gone\n    case ERROR_ACCESS_DENIED:\n|unit DriverReplay.*"
  "67|a wake that could not be posted never posted again|link/CommReader.cpp|        InterlockedExchange(&m_nWakePosted, 0);|        (void)0;|unit DriverReplay.*"
  "68|a read that says it brought more than asked not clamped|link/CommReader.cpp|const DWORD bytes = std::min(read.bytes, want);|const DWORD bytes = read.bytes;|unit DriverReplay.*"
  "69|reads failing on an answering port retried for ever in silence|link/CommReader.cpp|} else if (!m_bFailingRaised && now - m_failingSince >= kFailingMillis) {|} else if (false) {|unit DriverReplay.*"
  "70|characters after a run's end dropped without a word|readout/ReadOut.cpp|    Tell(LoadMessage(IDS_RUN_LATE|    if (false) Tell(LoadMessage(IDS_RUN_LATE|unit MainWindow.CharactersAfter*"
  "71|Delete not asking after characters came late|readout/ReadOut.cpp|    if (m_lastOutcome == Outcome::Good)\n        m_lastOutcome = Outcome::Incomplete;\n||unit MainWindow.CharactersAfter*"
  "72|a command's answer taken for the last run's rest|link/Port.cpp|    m_late.Stop();\n||unit MainWindow.CharactersAfter*"
  "73|the logger erased while it sends what no table holds|readout/Erase.cpp|        else if (m_late.Count() != late)|        else if (false)|unit MainWindow.CharactersAfter*"
  "74|characters after a run's end not told on the way out|ui/MainDialog.cpp|    } else {\n        TellLateChars();\n    }|    }|unit MainWindow.CharactersAfter*"
  "75|a timer tick queued before its kill taken for news|ui/RunState.h|return m_state == State::Counting && std::exchange|return std::exchange|unit MainWindow.CharactersAfter*:LateWatch.*"
  "76|a port opened anew still watched for the last run's rest|link/Port.cpp|    TellLateChars();\n    if (m_comm.GetPortOpen())|    if (m_comm.GetPortOpen())|unit MainWindow.CharactersAfter*"
  "77|characters after a run's end told again and again|ui/RunState.h|return std::exchange(m_state, State::Off) == State::Counting ?|return m_state == State::Counting ?|unit MainWindow.CharactersAfter*:LateWatch.*"
  "78|XON and XOFF limits set from the buffer again|link/PortIo.cpp|    dcb.fAbortOnError = FALSE;\n|    dcb.fAbortOnError = FALSE;\n    dcb.XonLim = dcb.XoffLim = 8191 / 4;\n|unit Win32Layer.*"
  "79|the driver's own settings not given back|link/PortIo.cpp|        ApplyCommSettings(dcb, settings);|        dcb = DCB{}, dcb.DCBlength = sizeof(dcb);\n        ApplyCommSettings(dcb, settings);|unit Win32Layer.*"
  "80|XON/XOFF flow control on receive left as the driver had it|link/PortIo.cpp|    dcb.fInX = FALSE;\n||unit Win32Layer.*"
  "81|the DTR handshake left as the driver had it|link/PortIo.cpp|    dcb.fDtrControl = DTR_CONTROL_ENABLE;\n||unit Win32Layer.*"
  "82|equal XON and XOFF bytes given back to a driver that refuses them|link/PortIo.cpp|    if (dcb.XonChar == dcb.XoffChar) {|    if (false) {|unit Win32Layer.*"
  "83|the device list's buffer not grown|link/PortIo.cpp|GetLastError() == ERROR_INSUFFICIENT_BUFFER && names.size() < kMostDeviceChars|false|unit Win32Layer.*"
  "84|no port asked for when the device list never fits|link/PortIo.cpp|for (int number = 1; !length && number < 256; ++number)|for (int number = 1; false; ++number)|unit Win32Layer.*"
  "85|the serial-port map read no further than an entry it skipped|link/PortIo.cpp|            if (status == ERROR_MORE_DATA)\n                continue;\n||unit Win32Layer.*"
  "86|an unexpected error in a handler swallowed without a word|fw/Wnd.cpp|            AfxPrompts().ShowError(hWnd, LoadMessage(IDS_FW_UNEXPECTED));|            (void)0;|unit MainWindow.AnUnexpected*"
  "87|an unexpected error in the reader leaving the run waiting|link/CommReader.cpp|        (*self)->MarkLost(true);|        (void)0;|unit MainWindow.AnUnexpected*"
  "88|a run the reader's error ended not saying why|link/CommReader.cpp|        (*self)->MarkLost(true);|        (*self)->MarkLost();|unit MainWindow.AnUnexpected*"
  "89|the small icon loaded at the big icon's size|ui/MainDialog.cpp|IDR_MAINFRAME, SM_CXSMICON, SM_CYSMICON|IDR_MAINFRAME, SM_CXICON, SM_CYICON|unit MainWindow.TheWindowHasAnIcon*"
  "90|the setting written to a start folder that takes no file|settings/SettingFile.cpp|m_strSettingPath = m_bStartFolderTakesFiles|m_strSettingPath = true|unit MainWindow.StartsOn*"
  "91|a setting that cannot be read taken for none and rewritten|settings/SettingFile.cpp|        if (error.m_lOsError != ERROR_FILE_NOT_FOUND && error.m_lOsError != ERROR_PATH_NOT_FOUND) {|        if (false) {|unit MainWindow.StartsOn*"
  "92|the start folder's setting not read when it takes no file|settings/SettingFile.cpp|    if (m_strSettingPath != started)\n        places.push_back(started);\n||unit MainWindow.StartsOn*"
  "93|the chooser in a start folder that takes no table|readout/ReadOut.cpp|m_bStartFolderTakesFiles ? std::wstring() : m_shellFolder(CSIDL_PERSONAL)|std::wstring()|unit MainWindow.StartsOn*"
  "94|the chooser's folder given apart from the name|readout/ReadOut.cpp|L\"txt\", folder + L|L\"txt\", L|unit MainWindow.AReadOut*"
  "95|the working directory left where the chooser moved it|fw/FileDialog.cpp|        ::SetCurrentDirectoryW(before.c_str());|        (void)0;|unit FileDialog.*"
  "96|a busy port given a plain box|link/MSComm.cpp|            ThrowPortError(IDS_PORT_BUSY, error, true);|            ThrowPortError(IDS_PORT_BUSY, error);|unit MainWindow.AMissingOr*"
  "97|a port refusing its settings given a plain box|link/MSComm.cpp|        ThrowPortError(IDS_PORT_NOT_CONFIGURED, error, true);|        ThrowPortError(IDS_PORT_NOT_CONFIGURED, error);|unit MainWindow.AMissingOr*"
  "98|a closed port not opened again by Read and Delete|link/Port.cpp|            else if (!m_comm.GetPortOpen())\n                ConfigurePort();|            else\n                m_comm.RequireOpen();|unit MainWindow.AMissingOr*"
  "99|nothing came told without the PC's ports|readout/ReadOut.cpp|        if (!ports.empty()) {|        if (false) {|unit MainWindow.ASilentLogger*"
  "100|a box at start before the window shows|ui/MainDialog.cpp|    if (m_phase == Phase::Starting) {|    if (false) {|unit MainWindow.StartsOn*"
  "101|the port opened before the window shows|ui/MainDialog.cpp|    ::PostMessageW(m_hWnd, kStartMessage, 0, 0);|    OnStart(0, 0);|unit MainWindow.AMissingOr*"
  "102|a table held by another program sent to another name|readout/TableFile.cpp|if (error.m_lOsError == ERROR_SHARING_VIOLATION|if (error.m_lOsError == 12345|unit MainWindow.AClosedPort*"
  "103|the buttons free while a slow port opens|ui/MainDialog.cpp|    m_comm.SetSlowOpen([this](bool waiting) { LockButtons(waiting); });||unit MainWindow.APortSlow*"
  "104|Quit in the erase's pause closing the port first|ui/MainDialog.cpp|    if (m_phase == Phase::ErasePause) {|    if (false) {|unit MainWindow.EraseGoesOut*"
  "105|the program not ended after the erase Quit waited for|readout/Erase.cpp|        Leave(Leaving::ByUser);\n        CDialog::OnOK();|        Leave(Leaving::ByUser);|unit MainWindow.EraseGoesOut*"
  "106|a box at logoff|ui/MainDialog.cpp|    if (m_phase == Phase::LoggingOff)\n        return;\n||unit MainWindow.TheWaysOut*"
  "107|the erase's pause holding the logoff up|readout/Erase.cpp|< end && m_phase != Phase::LoggingOff;|< end;|unit MainWindow.EraseGoesOut*"
  "108|the erase tried at logoff|readout/Erase.cpp|    if (after == Phase::LoggingOff)\n        return;\n||unit MainWindow.EraseGoesOut*"
  "109|a slow port opened on the window's thread|link/MSComm.cpp|    if (!OpenAside(io, &error))\n        return;  // closed meanwhile: the window is going|    error = io->Open(m_nCommPort);|unit MainWindow.APortSlow*"
  "110|two-digit years in Excel's window 1930 to 2029|chart/ChartTable.cpp|year = latest - (latest - yy) % 100;|year = yy < 30 ? 2000 + yy : 1900 + yy;|unit ChartTable.*"
  "111|a gap from twice the median step|chart/ChartTable.cpp|step > 3 * median)|step > 2 * median)|unit ChartTable.*"
  "112|a pixel column's peak dropped|chart/ChartModel.cpp|        if (value > m_max.value)\n            m_max = sample;\n||unit ChartModel.*"
  "113|the chart's entry open during a read-out|ui/MainDialog.cpp|        if (!ReadOutRunning())\n            ShowChart(m_file|        if (true)\n            ShowChart(m_file|unit MainWindow.TheWindowHasAnIcon*"
  "114|time going back not breaking the curve|chart/ChartTable.cpp|if (step < 0 |if (false |unit ChartTable.*"
  "115|a missing value bridged by the curve|chart/ChartModel.cpp|            if (std::isnan(values[i])) {\n                builder.Break();|            if (std::isnan(values[i])) {\n                (void)0;|unit ChartModel.*"
  "116|a table that another program writes refused|chart/ChartDialog.cpp|FILE_SHARE_WRITE|0|unit MainWindow.TheChartSays*"
  "117|a table above 64 MB read|chart/ChartDialog.cpp|size.QuadPart > kMaxFile)|size.QuadPart > 2 * kMaxFile)|unit MainWindow.TheChartSays*"
  "118|the first unreadable line's number off by one|chart/ChartTable.cpp|firstUnreadable = m_nLine;|firstUnreadable = m_nLine + 1;|unit ChartTable.*"
  "119|Copy without the text|chart/ChartDialog.cpp|if (unicode && ::SetClipboardData(CF_UNICODETEXT, unicode))|if (false)|unit MainWindow.TheChartSays*"
  "120|a drag across the chart zooming nothing|chart/ChartDialog.cpp|ShowSpan(TimeAt(std::min(from, x)), TimeAt(std::max(from, x)));|(void)from;|unit MainWindow.TheChartSays*"
  "121|value ticks that are not round|chart/ChartModel.cpp|{ 1, 2, 5, 10, 20, 50,|{ 1, 3, 5, 10, 30, 50,|unit ChartModel.*"
  "122|week ticks not on Mondays|chart/ChartModel.cpp|10080 ? 4 * 1440 : 0|10080 ? 0 : 0|unit ChartModel.*"
  "123|no box for a table without readings|chart/ChartDialog.cpp|    if (table.times.empty()) {|    if (false) {|unit MainWindow.TheWindowHasAnIcon*"
  "124|the chart's entry after About|ui/AboutDialog.cpp|    ::AppendMenuW(menu, MF_STRING, IDM_CHART, LoadMessage(IDS_CHART_ENTRY).c_str());\n    ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, text.c_str());|    ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, text.c_str());\n    ::AppendMenuW(menu, MF_STRING, IDM_CHART, LoadMessage(IDS_CHART_ENTRY).c_str());|unit Resources.*"
  "125|Escape kept by the chart instead of closing it|chart/ChartDialog.cpp|        return DLGC_WANTARROWS|        return DLGC_WANTALLKEYS|unit MainWindow.TheChartSays*"
  "126|a last line without its line end lost|chart/ChartTable.cpp|    if (!m_line.empty())\n        Line();\n||unit ChartTable.*"
  "127|a table dropped on the window ignored|ui/MainDialog.cpp|    if (!ReadOutRunning() && !path.empty())\n        ShowChart(path|    if (false)\n        ShowChart(path|unit MainWindow.TheWindowHasAnIcon*"
  "128|the columns numbered from 1|chart/ChartDialog.cpp|IDS_CHART_COLUMN, { Decimal(static_cast<long long>(c) + 3)|IDS_CHART_COLUMN, { Decimal(static_cast<long long>(c) + 1)|e2e ReadOut.TheSystemMenuShows*"
  "130|the port choice not grown to its text|ui/PortChoiceDialog.cpp|    FitText();\n||unit DialogLayout.*"
  "131|a close during a slow open not giving it up|link/MSComm.cpp|    m_bOpenGivenUp = m_bOpening;\n||unit MainWindow.APortSlow*"
  "132|a port opened after its open was given up left open|link/MSComm.cpp|        job.io->Close();|        (void)0;|unit MainWindow.APortSlow*"
  "133|Delete after a lost connection erasing without asking|readout/Erase.cpp|IDS_ERASE_AFTER_NOTHING, IDS_ERASE_AFTER_LOSS,|IDS_ERASE_AFTER_NOTHING, 0,|unit MainWindow.APulledCable*"
  "134|an invalid port number told in a plain box, without the list|link/MSComm.cpp|throw CPortUnusable(LoadMessage(IDS_PORT_NUMBER_INVALID|throw CException(LoadMessage(IDS_PORT_NUMBER_INVALID|unit MainWindow.AMissingOrUnusable*"
  "135|the proposed name looked up without the folder's separator|readout/ReadOut.cpp|return FileExists(folder + L\"\\\\\\\\\" + candidate);|return FileExists(folder + candidate);|unit MainWindow.AReadOut*"
  "136|the chooser forgetting the last table's folder|readout/ReadOut.cpp|    m_strTableFolder = FolderOf(path);\n|\n|unit MainWindow.AReadOut*"
  "137|the proposed date in UTC, not in local time|readout/ReadOut.cpp|if (!::SystemTimeToTzSpecificLocalTime(AfxClock().TimeZone(), &utcTime, &local))|if (true)|unit MainWindow.StartsOn*"
  "138|a question whose default answer is Yes|fw/Prompts.cpp|MB_DEFBUTTON2) == IDYES|MB_DEFBUTTON1) == IDYES|unit Prompts.*"
  "139|a throwing event handler showing a box|fw/Wnd.cpp|        if (message != kEventMessage)\n            AfxPrompts().ShowError(hWnd, e.GetDescription());|        AfxPrompts().ShowError(hWnd, e.GetDescription());|unit MessageMap.*"
  "143|a table taken without emptying it|readout/ReadOut.cpp|    m_file.SetLength(0);\n    m_tally.tableTaken = true;|    m_tally.tableTaken = true;|unit MainWindow.AReadOut*"
  "144|a run's tally carried over from the last run|readout/ReadOut.cpp|    m_tally = RunTally();\n|\n|unit MainWindow.AReadOut*"
  "145|a called-off logoff taken for one|ui/MainDialog.cpp|    if (endingSession)\n|    if (true)\n|unit MainWindow.AReadOut*"
  "146|Quit doing nothing after a Delete|readout/Erase.cpp|    if (after == Phase::ErasePause)\n        m_phase = before;\n|\n|unit MainWindow.EraseGoesOut*"
  "147|a lost run's box without the characters not written|readout/ReadOut.cpp|m_tally.unwritten ? IDS_RUN_PORT_LOST_UNWRITTEN : IDS_RUN_PORT_LOST|IDS_RUN_PORT_LOST|unit MainWindow.APulledCable*"
  "148|the Port dialog showing another port checked|fw/Wnd.cpp|index == value ? BST_CHECKED|index + 1 == value ? BST_CHECKED|unit MainWindow.ThePortDialogs*"
  "149|a table dropped on the window refused by Windows|ui/MainDialog.cpp|    ::DragAcceptFiles(m_hWnd, TRUE);\n|\n|unit MainWindow.TheWindowHasAnIcon*"
  "150|blanks left around the chooser's patterns|fw/FileDialog.cpp|m_filter += pattern ? TrimBlanks(part) : part;|m_filter += part;|unit FileDialog.*"
  "151|an erase that failed at Quit not told|readout/Erase.cpp|        Tell(e.GetDescription());|        (void)0;|unit MainWindow.EraseGoesOut*"
  "161|a reader waiting for room never woken|link/CommReader.cpp|            m_bReaderWaiting = *room == 0;|            m_bReaderWaiting = false;|unit DriverReplay.AFullBuffer*"
  "162|an empty read that waited a moment taken for a quiet line|link/CommReader.cpp|end - start < kAtOnceMillis;|false;|unit DriverReplay.EachDrivers*"
  "163|idle reads that end with ERROR_TIMEOUT counted as failing|link/CommReader.cpp|read.error == ERROR_TIMEOUT) {|false) {|unit DriverReplay.EachDrivers*"
  "164|line errors from before a discard raised after it|link/CommReader.cpp|        m_pendingEvents.clear();\n|\n|unit DriverReplay.NoByte*"
  "165|a port that refuses its settings left open|link/MSComm.cpp|        io->Close();\n        ThrowPortError(IDS_PORT_NOT_CONFIGURED|        ThrowPortError(IDS_PORT_NOT_CONFIGURED|unit DriverReplay.BadOr*"
  "166|the events beyond one wake's share left waiting|link/MSComm.cpp|    if (RaiseEvents(reader, kEventsPerWake))\n        reader->PostWake();|    RaiseEvents(reader, kEventsPerWake);|unit DriverReplay.EachDrivers*"
  "167|the close of a deaf driver holding the window 10 s|link/MSComm.h|kAnswerMillis = 3000;|kAnswerMillis = 10000;|unit DriverReplay.ADriverDeaf*"
)

[ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
echo "seed-faults: the list holds ${#faults[@]} faults"
overlap=0
[ "${1:-}" != --overlap ] || { overlap=1; shift; }
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" VX_E2E_WORK="$build/seeded"
# C.UTF-8 keeps the code page 1252 and lets Wine name files outside it.
export LANG=C.UTF-8
unset LC_ALL
"$root/tools/build.sh" >/dev/null 2>&1 || { echo "seed-faults: the build fails without any fault"; exit 1; }
[ -e "$build/wineprefix-unit/system.reg" ] || { echo "seed-faults: run tools/run-tests.sh once first"; exit 1; }
mkdir -p "$VX_E2E_WORK"
"$root/tools/wine-prefix.sh" "$VX_E2E_WORK/prefix" "$VX_E2E_WORK/wineboot.log" desktop com7
file=""
# Whatever happens, the seeded file gets its own text back.
trap '[ -n "$file" ] && [ -e "$file.orig" ] && mv "$file.orig" "$file" && touch "$file"' EXIT

# Runs the unit or e2e test program with a filter and prints the cases that
# failed, one a line; a run that never came to its end prints "the KIND
# program itself".
log="$build/seeded-test.log"
failing() {
  local prefix="$build/wineprefix-unit"
  [ "$1" = unit ] || prefix="$VX_E2E_WORK/prefix"
  WINEPREFIX="$prefix" timeout 900 "$root/tools/wine-test-run.sh" "$build/tests/$1_tests.exe" \
    --gtest_filter="$2" >"$log" 2>&1
  grep -o '^\[  FAILED  \] [A-Za-z_][A-Za-z0-9_/]*\.[A-Za-z0-9_/]*' "$log" | cut -c14- | sort -u
  grep -q '^\[==========\] .* ran\.' "$log" || echo "the $1 program itself"
}

missed=0
single=()
seeded=0 started=$SECONDS
for fault in "${faults[@]}"; do
  IFS='|' read -r number what file old new catch <<<"$fault"
  if [ $# -gt 0 ] && [[ " $* " != *" $number "* ]]; then continue; fi
  old=$(printf '%b' "$old"); new=$(printf '%b' "$new")
  cp "$file" "$file.orig"
  OLD="$old" NEW="$new" perl -0pi -e 's/\Q$ENV{OLD}\E/$ENV{NEW}/' "$file"
  if cmp -s "$file" "$file.orig"; then
    result="NOT SEEDED (text not found)"; missed=1
  elif ! "$root/tools/build.sh" >"$build/seeded-build.log" 2>&1; then
    result="caught by the build"
  else
    read -r kind filter <<<"$catch"
    if [ "$overlap" = 0 ]; then
      cases=$(failing "$kind" "$filter" | head -1)
    else
      cases=$(failing unit '*')
      [ -n "$cases" ] || [ "$kind" != e2e ] || cases=$(failing e2e "$filter" | sed 's/^/e2e /')
    fi
    if [ -n "$cases" ]; then
      result="caught by $(paste -sd, - <<<"$cases" | sed 's/,/, /g')"
      [ "$(wc -l <<<"$cases")" -gt 1 ] || single+=("$number ($cases)")
    elif grep -q '^\[  PASSED  \] 0 tests' "$log"; then
      result="MISSED (no case matches $kind $filter)"; missed=1
    else
      result="MISSED ($kind $filter)"; missed=1
    fi
  fi
  mv "$file.orig" "$file"
  touch "$file"  # newer than the objects built with the fault, so that they are built again
  printf '%2s  %-52s %s\n' "$number" "$what" "$result"
  seeded=$((seeded + 1))
done
[ "$seeded" = 0 ] || echo "$seeded faults seeded in $((SECONDS - started)) s, $(((SECONDS - started) / seeded)) s each"
if [ "$overlap" = 1 ]; then
  echo "caught by exactly one case: ${#single[@]}"
  for s in "${single[@]}"; do echo "  $s"; done
fi
"$root/tools/build.sh" >/dev/null 2>&1
exit $missed
