// How a read-out takes its table file.
#pragma once

#include "fw/File.h"

#include <functional>

// Opens `path` for the table, exclusively but without emptying it, runs
// `send`, and only then empties the file: a command that cannot be sent
// leaves an existing table as it was, and removes a file this made. Throws
// CException when the file cannot be had, and whatever `send` throws.
void OpenTableAndSend(CFile& file, const CString& path, const std::function<void()>& send);
