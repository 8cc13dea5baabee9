// Resource and control identifiers, shared by the resource script and the code.
#pragma once

#include "res/chartres.h"

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDM_ABOUTBOX       0x0010
#define IDM_CHART          0x0040
#define IDD_ABOUTBOX       100
#define IDS_ABOUTBOX       101
#define IDD_MAIN           102
#define IDR_MAINFRAME      128
#define IDD_CONFIRM_ERASE  129
#define IDD_PORT           131
#define IDD_PORT_CHOICE    132

#define IDC_SETUP          1000
#define IDC_READ           1001
#define IDC_ERASE          1002
#define IDC_BYTES          1004
#define IDC_COMM           1029
#define IDC_COM1           1041
#define IDC_COM2           1042
#define IDC_COM3           1043
#define IDC_COM4           1044
#define IDC_CHOICE_TEXT    1050
#define IDC_CHOICE_PORTS   1051
