// The setting file's text: the port index in decimal ASCII digits, with a
// leading minus sign when negative, and one line feed.
#pragma once

#include "fw/File.h"
#include "fw/String.h"

constexpr char kSettingFileName[] = "vxsetup.ini";

// Reads a number as the C library's atoi does (leading white space, an
// optional sign, digits up to the first non-digit; no digits give 0), but a
// number beyond the range of int gives INT_MAX or INT_MIN instead of
// undefined behaviour.
int ParsePortIndex(const char* text);

// The index as the file stores it, the line feed included.
CString FormatPortIndex(int index);

// The first line of the archive (at most its first MiB), parsed.
int ReadPortSetting(CArchive& ar);
void WritePortSetting(CArchive& ar, int index);
