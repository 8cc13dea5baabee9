#include "ui/AboutDialog.h"

#include "fw/App.h"
#include "res/messages.h"

void AddAboutEntry(HWND window)
{
    HMENU menu = ::GetSystemMenu(window, FALSE);
    if (!menu)
        return;
    const std::wstring text = LoadMessage(IDS_ABOUTBOX);
    if (text.empty())
        return;
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, IDM_CHART, LoadMessage(IDS_CHART_ENTRY).c_str());
    ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, text.c_str());
}
