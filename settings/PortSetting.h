// The setting file's text: the port index in decimal ASCII digits, with a
// leading minus sign when negative, and one line feed.
#pragma once

#include <cstddef>
#include <string>

constexpr wchar_t kSettingFileName[] = L"vxsetup.ini";
// No sensible setting file has a longer first line; a longer one is cut there
// instead of being read whole into memory.
constexpr size_t kMaxSettingLine = 1 << 20;

// Reads a number as the C library's atoi does (leading white space, an
// optional sign, digits up to the first non-digit; no digits give 0), but a
// number beyond the range of int gives INT_MAX or INT_MIN instead of
// undefined behaviour.
int ParsePortIndex(const char* text);

// The index as the file stores it, the line feed included.
std::string FormatPortIndex(int index);
