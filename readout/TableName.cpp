#include "readout/TableName.h"

#include <cwchar>

std::wstring ProposeTableName(int year, int month, int day, const std::function<bool(const std::wstring&)>& taken)
{
    wchar_t date[16];
    std::swprintf(date, 16, L"%04d-%02d-%02d", year, month, day);
    const std::wstring stem = L"Messwerte " + std::wstring(date);
    std::wstring name = stem + L".txt";
    for (int n = 2; taken(name) && n < 10000; ++n)
        name = stem + L" (" + std::to_wstring(n) + L").txt";
    return name;
}
