// The chart of a table: one strip per value column on a shared time axis,
// with what the table holds in static text below it.
#pragma once

#include "chart/ChartModel.h"
#include "fw/Wnd.h"

#include <string>
#include <vector>

// The drawing area. It draws into a picture of its own (redrawn when its
// size or the time span changes) and copies that to the screen, with the
// hover line and the drag band on top.
class CChartView : public CWnd {
public:
    ~CChartView() override;
    BOOL Create(HWND parent, UINT id);
    void SetTable(const ChartTable* table);  // and shows all of it
    void ShowAll();
    // The time span shown, clamped to the table's; at least 10 minutes.
    void ShowSpan(double t0, double t1);
    // The span shown; for the tests.
    double From() const { return m_t0; }
    double To() const { return m_t1; }
    HBITMAP Picture() const { return m_hPicture; }  // the chart without hover and band

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Render();
    void Paint();
    void Hover(int x);  // the line of text above the chart; -1: the mouse is away
    double TimeAt(int x) const;
    int XOf(double t) const;

    const ChartTable* m_pTable = nullptr;
    double m_t0 = 0, m_t1 = 1;
    HBITMAP m_hPicture = nullptr;
    int m_nLeft = 0, m_nRight = 1, m_nTop = 0, m_nBottom = 1;  // the plot area, in the picture
    int m_nHoverX = -1, m_nDragFrom = -1;
};

class CChartDialog : public CDialog {
public:
    CChartDialog(std::wstring path, ChartTable table);
    // The title and the lines below the chart, as Copy puts them on the clipboard.
    std::wstring Text() const;

protected:
    BOOL OnInitDialog() override;
    void OnOpen();
    void OnCopy();
    void OnAll();
    LRESULT OnSize(WPARAM, LPARAM);
    LRESULT OnGetMinMaxInfo(WPARAM, LPARAM info);
    void Show();  // the title, the chart and the lines for the table
    void Layout();

    DECLARE_MESSAGE_MAP()

    std::wstring m_strPath;
    ChartTable m_table;
    std::vector<std::wstring> m_lines;
    CChartView m_view;
    POINT m_minSize = { 0, 0 };
};

// Reads the table at `path` (at most 64 MB, shared with whoever writes it);
// false, with what to tell the user in `error`, when it cannot be read or
// holds no reading.
bool LoadChartTable(const std::wstring& path, ChartTable& table, std::wstring& error);
// The first file of a drop (WM_DROPFILES' handle, which this releases).
std::wstring DroppedFile(WPARAM drop);
// The way in: the chart of `table`, or, when there is none or it is gone,
// of a table the user picks in `folder`; a table that cannot be shown gives
// its box instead.
void ShowChart(const std::wstring& table, const std::wstring& folder);
