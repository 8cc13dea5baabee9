// The About box, reached through the system menu.
#pragma once

#include "fw/Wnd.h"
#include "ui/resource.h"

#include <windows.h>

class CAboutDialog : public CDialog {
public:
    CAboutDialog() : CDialog(IDD_ABOUTBOX) {}
};

// Appends a separator, the chart's entry (IDM_CHART) and the About entry
// (IDM_ABOUTBOX, text IDS_ABOUTBOX) to the window's system menu; adds nothing
// when there is no system menu or the About text is empty.
void AddAboutEntry(HWND window);
