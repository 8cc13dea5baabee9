#include "ui/AboutDialog.h"

void AddAboutEntry(HWND window, HINSTANCE resources)
{
    HMENU menu = ::GetSystemMenu(window, FALSE);
    if (!menu)
        return;
    wchar_t text[128] = L"";
    if (::LoadStringW(resources, IDS_ABOUTBOX, text, 128) == 0 || text[0] == L'\0')
        return;
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, text);
}
