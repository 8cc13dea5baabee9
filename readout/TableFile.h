// How a read-out takes its table file.
#pragma once

#include "fw/File.h"

#include <functional>
#include <string>

// Opens `path` for the table, exclusively but without emptying it, and runs
// `send`: a command that cannot be sent leaves an existing table as it was,
// and removes a file this made. The run empties the table when its first
// character comes. Throws CException when the file cannot be had, and
// whatever `send` throws.
void OpenTableAndSend(CFile& file, const std::wstring& path, const std::function<void()>& send);
