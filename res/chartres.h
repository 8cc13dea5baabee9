// Identifiers of the chart's dialog, shared by the resource script and chart/.
#pragma once

#define IDD_CHART          140
// Its drawing area, the line above it, its buttons, and the lines of text
// below it (IDC_CHART_TEXT and on, one a line).
#define IDC_CHART_VIEW     1100
#define IDC_CHART_HOVER    1101
#define IDC_CHART_OPEN     1102
#define IDC_CHART_COPY     1103
#define IDC_CHART_ALL      1104
#define IDC_CHART_TEXT     1110
