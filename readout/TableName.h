// The name the file chooser proposes for a new table: "Messwerte YYYY-MM-DD.txt"
// with the day of the read-out, then " (2)", " (3)" ... while the name is taken.
#pragma once

#include <functional>
#include <string>

std::wstring ProposeTableName(int year, int month, int day, const std::function<bool(const std::wstring&)>& taken);
