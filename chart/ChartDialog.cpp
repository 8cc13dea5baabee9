#include "chart/ChartDialog.h"

#include "fw/App.h"
#include "fw/Clock.h"
#include "fw/Exception.h"
#include "fw/File.h"
#include "fw/FileDialog.h"
#include "fw/Prompts.h"
#include "fw/fwres.h"
#include "res/chartres.h"
#include "res/messages.h"

#include <algorithm>
#include <cmath>
#include <shellapi.h>
#include <windowsx.h>

namespace {

const COLORREF kColors[] = { RGB(0, 84, 166), RGB(200, 40, 20), RGB(0, 128, 60), RGB(140, 50, 160),
                             RGB(200, 120, 0), RGB(0, 130, 160) };
constexpr double kMinSpan = 10;  // minutes: the closest zoom
constexpr long long kMaxFile = 64ll << 20;

std::wstring W(const std::string& ascii) { return Widen(CString(ascii)); }

std::wstring NameOf(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

int ThisYear()
{
    const ULONGLONG ticks = AfxClock().Now() * 10000;
    const FILETIME utc = { static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32) };
    SYSTEMTIME time;
    ::FileTimeToSystemTime(&utc, &time);
    return time.wYear;
}

// A table picked in the open chooser, owned by `parent`.
bool ChooseTable(CWnd* parent, const std::wstring& folder, std::wstring& path)
{
    // The folder goes with the name, as for Read: an initial folder gives way
    // to the one the chooser last used.
    CFileDialog chooser(TRUE, L"txt", folder + L"\\*.txt", OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR,
                        LoadMessage(IDS_TABLE_FILTER), parent);
    if (!AfxPrompts().ChooseFile(chooser))
        return false;
    path = chooser.GetPathName();
    return true;
}

// The chart as a packed DIB: a header and 24-bit pixels, for the clipboard.
HGLOBAL PackedDib(HBITMAP bitmap)
{
    BITMAP bm;
    if (!bitmap || !::GetObjectW(bitmap, sizeof bm, &bm))
        return nullptr;
    BITMAPINFOHEADER header = { sizeof header, bm.bmWidth, bm.bmHeight, 1, 24, BI_RGB, 0, 0, 0, 0, 0 };
    const size_t bytes = static_cast<size_t>((bm.bmWidth * 3 + 3) & ~3) * bm.bmHeight;
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, sizeof header + bytes);
    auto* p = memory ? static_cast<BYTE*>(::GlobalLock(memory)) : nullptr;
    if (!p)
        return memory;
    memcpy(p, &header, sizeof header);
    HDC screen = ::GetDC(nullptr);
    ::GetDIBits(screen, bitmap, 0, bm.bmHeight, p + sizeof header, reinterpret_cast<BITMAPINFO*>(p), DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    ::GlobalUnlock(memory);
    return memory;
}

}  // namespace

// ---- The drawing area ------------------------------------------------------

CChartView::~CChartView()
{
    if (m_hPicture)
        ::DeleteObject(m_hPicture);
}

BOOL CChartView::Create(HWND parent, UINT id)
{
    WNDCLASSW wc = {};
    if (!::GetClassInfoW(AfxGetInstanceHandle(), L"VorlixChart", &wc)) {
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = StandardWndProc;
        wc.hInstance = AfxGetInstanceHandle();
        wc.hCursor = ::LoadCursorW(nullptr, IDC_CROSS);
        wc.lpszClassName = L"VorlixChart";
        ::RegisterClassW(&wc);
    }
    const RECT none = { 0, 0, 0, 0 };
    return CreateEx(0, L"VorlixChart", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, none, parent, id);
}

void CChartView::SetTable(const ChartTable* table)
{
    m_pTable = table;
    ShowAll();
}

void CChartView::ShowAll()
{
    ShowSpan(m_pTable->first, m_pTable->last);
}

void CChartView::ShowSpan(double t0, double t1)
{
    const double middle = (m_pTable->first + m_pTable->last) / 2.0;
    const double first = std::min<double>(m_pTable->first, middle - kMinSpan / 2);
    const double last = std::max<double>(m_pTable->last, middle + kMinSpan / 2);
    const double span = std::min(std::max(t1 - t0, kMinSpan), last - first);
    m_t0 = std::min(std::max(t0, first), last - span);
    m_t1 = m_t0 + span;
    Render();
    Hover(m_nHoverX);
}

double CChartView::TimeAt(int x) const
{
    return m_t0 + (x - m_nLeft) * (m_t1 - m_t0) / std::max(m_nRight - m_nLeft - 1, 1);
}

int CChartView::XOf(double t) const
{
    return m_nLeft + static_cast<int>(std::floor((t - m_t0) * (m_nRight - m_nLeft - 1) / (m_t1 - m_t0) + 0.5));
}

void CChartView::Render()
{
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const int width = std::max<int>(client.right, 1), height = std::max<int>(client.bottom, 1);
    BITMAP bm = {};
    HDC screen = ::GetDC(m_hWnd);
    if (!m_hPicture || !::GetObjectW(m_hPicture, sizeof bm, &bm) || bm.bmWidth != width || bm.bmHeight != height) {
        ::DeleteObject(m_hPicture);
        m_hPicture = ::CreateCompatibleBitmap(screen, width, height);
    }
    HDC dc = ::CreateCompatibleDC(screen);
    ::ReleaseDC(m_hWnd, screen);
    ::SaveDC(dc);
    ::SelectObject(dc, m_hPicture);
    ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(::GetParent(m_hWnd), WM_GETFONT, 0, 0)));
    ::SelectObject(dc, ::GetStockObject(DC_PEN));
    ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
    ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
    const RECT all = { 0, 0, width, height };
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &all, nullptr, 0, nullptr);
    ::SetBkMode(dc, TRANSPARENT);

    // Sizes from the dialog's font, so that lines and labels grow with the monitor's DPI.
    TEXTMETRICW tm;
    ::GetTextMetricsW(dc, &tm);
    const int line = tm.tmHeight, pen = std::max(1, (line + 6) / 13);
    SIZE value, date;
    ::GetTextExtentPoint32W(dc, L"-00000,00", 9, &value);
    ::GetTextExtentPoint32W(dc, L"00.00.0000", 10, &date);
    m_nLeft = value.cx + line / 2;
    m_nRight = std::max(width - line, m_nLeft + 2);
    m_nTop = line + line / 4;  // room for the first strip's name
    m_nBottom = std::max(height - 2 * line - line / 2, m_nTop + 1);
    const int plot = m_nRight - m_nLeft, strips = static_cast<int>(m_pTable->columns.size());

    ::SetDCPenColor(dc, RGB(220, 220, 220));
    const TimeTicks ticks = MakeTimeTicks(m_t0, m_t1, std::max(1, plot / static_cast<int>(date.cx * 3 / 2 + 1)));
    for (size_t i = 0; i < ticks.at.size(); ++i) {
        const int x = XOf(ticks.at[i]);
        ::MoveToEx(dc, x, m_nTop, nullptr);
        ::LineTo(dc, x, m_nBottom);
        RECT label = { x - date.cx, m_nBottom + line / 4, x + date.cx, height };
        ::DrawTextW(dc, W(TickLabel(ticks, i)).c_str(), -1, &label, DT_CENTER | DT_NOPREFIX);
    }
    for (int c = 0; c < strips; ++c) {
        const RECT strip = { m_nLeft, m_nTop + (m_nBottom - m_nTop) * c / strips, m_nRight,
                             m_nTop + (m_nBottom - m_nTop) * (c + 1) / strips - (c + 1 < strips ? line : 0) };
        // The values' range in the span shown: every extreme is among the curve's points.
        const ChartCurve curve = MakeCurve(*m_pTable, c, m_t0, m_t1, plot);
        double lo = HUGE_VAL, hi = -HUGE_VAL;
        for (const ChartPoint& p : curve.points)
            if (p.x >= 0 && p.x < plot)
                lo = std::min<double>(lo, p.value), hi = std::max<double>(hi, p.value);
        if (lo > hi)
            lo = m_pTable->columns[c].min, hi = m_pTable->columns[c].max;
        const ValueTicks scale = MakeValueTicks(lo, hi, std::max(3, static_cast<int>(strip.bottom - strip.top) * 2 / (3 * line)));
        const auto y = [&](double v) {
            const double at = strip.bottom - (v - scale.lo) / (scale.hi - scale.lo) * (strip.bottom - strip.top);
            return static_cast<int>(std::max(-1e6, std::min(1e6, std::floor(at + 0.5))));
        };
        ::SetDCPenColor(dc, RGB(220, 220, 220));
        for (double v = scale.lo; v <= scale.hi + scale.step / 2; v += scale.step) {
            ::MoveToEx(dc, m_nLeft, y(v), nullptr);
            ::LineTo(dc, m_nRight, y(v));
            RECT label = { 0, y(v) - line, m_nLeft - line / 4, y(v) + line };
            ::DrawTextW(dc, W(FormatValue(v, scale.decimals)).c_str(), -1, &label, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
        }
        ::SetDCPenColor(dc, RGB(128, 128, 128));
        ::Rectangle(dc, strip.left, strip.top, strip.right + 1, strip.bottom + 1);

        // The curve, clipped to its strip; a lone reading between missing ones is a dot.
        std::vector<POINT> points;
        std::vector<DWORD> counts;
        points.reserve(curve.points.size() + curve.counts.size());
        size_t at = 0;
        for (const unsigned long n : curve.counts) {
            for (size_t k = at; k < at + n; ++k)
                points.push_back({ m_nLeft + curve.points[k].x, y(curve.points[k].value) });
            if (n == 1)
                points.push_back({ points.back().x + 1, points.back().y });
            counts.push_back(std::max(2ul, n));
            at += n;
        }
        const COLORREF color = kColors[c % (sizeof kColors / sizeof kColors[0])];
        const HPEN curvePen = ::CreatePen(PS_SOLID, pen, color);
        ::SaveDC(dc);
        ::SelectObject(dc, curvePen);
        // Its name above it, in its colour.
        ::SetTextColor(dc, color);
        const std::wstring name = LoadMessage(IDS_CHART_STRIP, { Decimal(c + 3) });
        ::TextOutW(dc, strip.left, strip.top - line, name.c_str(), static_cast<int>(name.size()));
        ::IntersectClipRect(dc, strip.left + 1, strip.top + 1, strip.right, strip.bottom);
        if (!counts.empty())
            ::PolyPolyline(dc, points.data(), counts.data(), static_cast<DWORD>(counts.size()));
        ::RestoreDC(dc, -1);
        ::DeleteObject(curvePen);
    }
    ::RestoreDC(dc, -1);
    ::DeleteDC(dc);
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CChartView::Paint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    if (!m_hPicture)
        Render();
    BITMAP bm;
    ::GetObjectW(m_hPicture, sizeof bm, &bm);
    // The picture, then the hover line and the drag band, all off screen first: no flicker.
    HDC back = ::CreateCompatibleDC(dc), picture = ::CreateCompatibleDC(dc);
    const HBITMAP frame = ::CreateCompatibleBitmap(dc, bm.bmWidth, bm.bmHeight);
    ::SaveDC(back), ::SaveDC(picture);
    ::SelectObject(back, frame), ::SelectObject(picture, m_hPicture);
    ::BitBlt(back, 0, 0, bm.bmWidth, bm.bmHeight, picture, 0, 0, SRCCOPY);
    if (m_nHoverX >= m_nLeft && m_nHoverX < m_nRight)
        ::PatBlt(back, m_nHoverX, m_nTop, 1, m_nBottom - m_nTop, DSTINVERT);
    if (m_nDragFrom >= 0 && m_nHoverX >= 0)
        ::PatBlt(back, std::min(m_nDragFrom, m_nHoverX), m_nTop, std::abs(m_nHoverX - m_nDragFrom), m_nBottom - m_nTop, DSTINVERT);
    ::BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, back, 0, 0, SRCCOPY);
    ::RestoreDC(back, -1), ::RestoreDC(picture, -1);
    ::DeleteDC(picture), ::DeleteDC(back);
    ::DeleteObject(frame);
    ::EndPaint(m_hWnd, &ps);
}

void CChartView::Hover(int x)
{
    m_nHoverX = x;
    std::wstring text = LoadMessage(IDS_CHART_HINT);
    const size_t i = x >= 0 ? NearestReading(*m_pTable, TimeAt(x)) : m_pTable->times.size();
    if (i < m_pTable->times.size()) {
        text = W(FormatTime(m_pTable->times[i]));
        for (size_t c = 0; c < m_pTable->columns.size(); ++c) {
            const ChartColumn& column = m_pTable->columns[c];
            text += L"   " + Decimal(static_cast<long long>(c) + 3) + L": " +
                    (std::isnan(column.values[i]) ? L"-" : W(FormatValue(column.values[i], column.decimals)));
        }
    }
    ::SetDlgItemTextW(::GetParent(m_hWnd), IDC_CHART_HOVER, text.c_str());
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

LRESULT CChartView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const int x = GET_X_LPARAM(lParam);
    const double span = m_t1 - m_t0;
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_SIZE:
        if (m_pTable)
            Render();
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_MOUSEMOVE: {
        TRACKMOUSEEVENT track = { sizeof track, TME_LEAVE, m_hWnd, 0 };
        ::TrackMouseEvent(&track);
        Hover(x);
        return 0;
    }
    case WM_MOUSELEAVE:
        Hover(-1);
        return 0;
    case WM_LBUTTONDOWN:
        ::SetFocus(m_hWnd);
        ::SetCapture(m_hWnd);
        m_nDragFrom = x;
        return 0;
    case WM_LBUTTONUP:
        if (m_nDragFrom >= 0 && std::abs(x - m_nDragFrom) >= 3) {
            const int from = m_nDragFrom;
            m_nDragFrom = -1;
            ShowSpan(TimeAt(std::min(from, x)), TimeAt(std::max(from, x)));
        }
        ::ReleaseCapture();
        return 0;
    case WM_CAPTURECHANGED:
        m_nDragFrom = -1;
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        return 0;
    case WM_LBUTTONDBLCLK:
        ShowAll();
        return 0;
    case WM_MOUSEWHEEL: {
        // Zooms around the time under the cursor: in when turned away from the user.
        POINT at = { x, GET_Y_LPARAM(lParam) };
        ::ScreenToClient(m_hWnd, &at);
        const double t = TimeAt(at.x), factor = std::pow(0.8, GET_WHEEL_DELTA_WPARAM(wParam) / 120.0);
        ShowSpan(t - (t - m_t0) * factor, t + (m_t1 - t) * factor);
        return 0;
    }
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_ADD: case VK_OEM_PLUS: ShowSpan(m_t0 + span / 4, m_t1 - span / 4); return 0;
        case VK_SUBTRACT: case VK_OEM_MINUS: ShowSpan(m_t0 - span / 2, m_t1 + span / 2); return 0;
        case VK_LEFT: ShowSpan(m_t0 - span / 4, m_t1 - span / 4); return 0;
        case VK_RIGHT: ShowSpan(m_t0 + span / 4, m_t1 + span / 4); return 0;
        case VK_HOME: ShowAll(); return 0;
        case 'C':
            if (::GetKeyState(VK_CONTROL) < 0)
                ::SendMessageW(::GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(IDC_CHART_COPY, BN_CLICKED), 0);
            return 0;
        }
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

// ---- The dialog --------------------------------------------------------------

BEGIN_MESSAGE_MAP(CChartDialog, CDialog)
    ON_BN_CLICKED(IDC_CHART_OPEN, OnOpen)
    ON_BN_CLICKED(IDC_CHART_COPY, OnCopy)
    ON_BN_CLICKED(IDC_CHART_ALL, OnAll)
    ON_MESSAGE(WM_SIZE, OnSize)
    ON_MESSAGE(WM_GETMINMAXINFO, OnGetMinMaxInfo)
END_MESSAGE_MAP()

CChartDialog::CChartDialog(std::wstring path, ChartTable table)
    : CDialog(IDD_CHART), m_strPath(std::move(path)), m_table(std::move(table))
{
}

BOOL CChartDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    RECT rect;
    ::GetWindowRect(m_hWnd, &rect);
    m_minSize = { (rect.right - rect.left) * 3 / 5, (rect.bottom - rect.top) * 3 / 5 };
    m_view.Create(m_hWnd, IDC_CHART_VIEW);
    Show();
    ::SetFocus(m_view.m_hWnd);
    return FALSE;
}

void CChartDialog::Show()
{
    ::SetWindowTextW(m_hWnd, LoadMessage(IDS_CHART_TITLE, { NameOf(m_strPath) }).c_str());
    const ChartTable& t = m_table;
    m_lines = { LoadMessage(IDS_CHART_LINES, { Decimal(static_cast<long long>(t.times.size())),
                                               W(FormatTime(t.first)), W(FormatTime(t.last)) }) };
    for (size_t c = 0; c < t.columns.size(); ++c) {
        const ChartColumn& column = t.columns[c];
        const auto value = [&](double v, int decimals) { return column.count ? W(FormatValue(v, decimals)) : L"-"; };
        m_lines.push_back(LoadMessage(IDS_CHART_COLUMN, { Decimal(static_cast<long long>(c) + 3),
                                                          value(column.min, column.decimals),
                                                          value(column.max, column.decimals),
                                                          value(column.sum / std::max<size_t>(column.count, 1),
                                                                column.decimals + 1) }));
    }
    m_lines.push_back(LoadMessage(IDS_CHART_UNREADABLE, { Decimal(static_cast<long long>(t.unreadable)) }));
    if (t.unreadable)
        m_lines.back() += L" " + LoadMessage(IDS_CHART_FIRST_UNREADABLE, { Decimal(static_cast<long long>(t.firstUnreadable)) });
    m_lines.push_back(LoadMessage(IDS_CHART_GAPS, { Decimal(static_cast<long long>(t.gaps)) }));
    m_lines.push_back(LoadMessage(IDS_CHART_BACKWARDS, { Decimal(static_cast<long long>(t.backwards)) }));

    // One static text a line, for screen readers.
    for (int id = IDC_CHART_TEXT; GetDlgItem(id); ++id)
        ::DestroyWindow(GetDlgItem(id));
    for (size_t i = 0; i < m_lines.size(); ++i) {
        HWND text = ::CreateWindowExW(0, L"STATIC", m_lines[i].c_str(), WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                                      0, 0, 0, 0, m_hWnd, reinterpret_cast<HMENU>(IDC_CHART_TEXT + i),
                                      AfxGetInstanceHandle(), nullptr);
        ::SendMessageW(text, WM_SETFONT, SendMessage(WM_GETFONT), FALSE);
    }
    m_view.SetTable(&m_table);
    Layout();
}

std::wstring CChartDialog::Text() const
{
    wchar_t title[512] = L"";
    ::GetWindowTextW(m_hWnd, title, 512);
    std::wstring text = title;
    for (const std::wstring& line : m_lines)
        text += L"\r\n" + line;
    return text;
}

void CChartDialog::Layout()
{
    if (!m_view.m_hWnd)
        return;
    RECT units = { 7, 10, 14, 4 }, client;
    ::MapDialogRect(m_hWnd, &units);
    ::GetClientRect(m_hWnd, &client);
    const int margin = units.left, line = units.top, button = units.right, gap = units.bottom;
    const int width = client.right - 2 * margin, buttons = client.bottom - margin - button;
    int x = margin;
    for (int id : { IDC_CHART_OPEN, IDC_CHART_COPY, IDC_CHART_ALL, IDCANCEL }) {
        RECT r;
        ::GetWindowRect(GetDlgItem(id), &r);
        if (id == IDCANCEL)
            x = client.right - margin - (r.right - r.left);
        ::MoveWindow(GetDlgItem(id), x, buttons, r.right - r.left, button, TRUE);
        x += r.right - r.left + gap;
    }
    const int text = buttons - gap - static_cast<int>(m_lines.size()) * line;
    for (size_t i = 0; i < m_lines.size(); ++i)
        ::MoveWindow(GetDlgItem(static_cast<int>(IDC_CHART_TEXT + i)), margin, text + static_cast<int>(i) * line, width, line, TRUE);
    ::MoveWindow(GetDlgItem(IDC_CHART_HOVER), margin, gap, width, line, TRUE);
    ::MoveWindow(m_view.m_hWnd, margin, gap + line, width, std::max(text - gap - line - gap, 1), TRUE);
}

LRESULT CChartDialog::OnSize(WPARAM, LPARAM)
{
    Layout();
    return 0;
}

LRESULT CChartDialog::OnGetMinMaxInfo(WPARAM, LPARAM info)
{
    reinterpret_cast<MINMAXINFO*>(info)->ptMinTrackSize = m_minSize;
    return 0;
}

void CChartDialog::OnOpen()
{
    std::wstring path, error;
    ChartTable table;
    if (!ChooseTable(this, FolderOf(m_strPath), path))
        return;
    if (!LoadChartTable(path, table, error)) {
        AfxPrompts().ShowError(m_hWnd, error);
        return;
    }
    m_strPath = path;
    m_table = std::move(table);
    Show();
}

void CChartDialog::OnCopy()
{
    const std::wstring text = Text();
    HGLOBAL dib = PackedDib(m_view.Picture()), unicode = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (void* p = unicode ? ::GlobalLock(unicode) : nullptr) {
        memcpy(p, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        ::GlobalUnlock(unicode);
    }
    // Once they are on the clipboard, the system owns them.
    if (::OpenClipboard(m_hWnd)) {
        ::EmptyClipboard();
        if (dib && ::SetClipboardData(CF_DIB, dib))
            dib = nullptr;
        if (unicode && ::SetClipboardData(CF_UNICODETEXT, unicode))
            unicode = nullptr;
        ::CloseClipboard();
    }
    ::GlobalFree(dib);
    ::GlobalFree(unicode);
    ::SetFocus(m_view.m_hWnd);
}

void CChartDialog::OnAll()
{
    m_view.ShowAll();
    ::SetFocus(m_view.m_hWnd);
}

// ---- Reading a table, and the way in ---------------------------------------

bool LoadChartTable(const std::wstring& path, ChartTable& table, std::wstring& error)
{
    // Shared with whoever writes it: a table still open elsewhere can be read, and is never changed.
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    LARGE_INTEGER size = {};
    if (file == INVALID_HANDLE_VALUE || !::GetFileSizeEx(file, &size)) {
        error = LoadMessage(IDS_FW_FILE_NOT_OPENED, { path, SystemErrorText(::GetLastError()) });
        if (file != INVALID_HANDLE_VALUE)
            ::CloseHandle(file);
        return false;
    }
    if (size.QuadPart > kMaxFile) {
        ::CloseHandle(file);
        error = LoadMessage(IDS_CHART_TOO_LARGE, { NameOf(path) });
        return false;
    }
    // The lines are counted first, so that each column is made as long as it must be at once.
    std::vector<char> buffer(1 << 20);
    size_t lines = 0;
    DWORD got = 0;
    for (long long total = 0; total < kMaxFile && ::ReadFile(file, buffer.data(), 1 << 20, &got, nullptr) && got; total += got)
        lines += std::count(buffer.begin(), buffer.begin() + got, '\n');
    CChartReader reader(ThisYear(), lines + 1);
    BOOL read = ::SetFilePointerEx(file, LARGE_INTEGER(), nullptr, FILE_BEGIN);
    for (long long total = 0; read && total < kMaxFile && (read = ::ReadFile(file, buffer.data(), 1 << 20, &got, nullptr)) && got; total += got)
        reader.Feed(buffer.data(), got);
    const DWORD readError = ::GetLastError();
    ::CloseHandle(file);
    if (!read) {
        error = LoadMessage(IDS_FW_FILE_NOT_READ, { path, SystemErrorText(readError) });
        return false;
    }
    table = reader.Finish();
    if (table.times.empty()) {
        error = LoadMessage(IDS_CHART_NO_READINGS, { NameOf(path) });
        return false;
    }
    return true;
}

std::wstring DroppedFile(WPARAM drop)
{
    const HDROP files = reinterpret_cast<HDROP>(drop);
    std::wstring path(::DragQueryFileW(files, 0, nullptr, 0) + 1, L'\0');
    path.resize(::DragQueryFileW(files, 0, &path[0], static_cast<UINT>(path.size())));
    ::DragFinish(files);
    return path;
}

void ShowChart(const std::wstring& table, const std::wstring& folder)
{
    std::wstring path = table, error;
    if ((path.empty() || ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) &&
        !ChooseTable(nullptr, folder, path))
        return;
    ChartTable readings;
    if (!LoadChartTable(path, readings, error)) {
        AfxPrompts().ShowError(AfxGetMainWnd() ? AfxGetMainWnd()->m_hWnd : nullptr, error);
        return;
    }
    CChartDialog dialog(path, std::move(readings));
    AfxPrompts().RunModal(dialog);
}
