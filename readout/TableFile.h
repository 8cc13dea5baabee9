// How a read-out takes its table file.
#pragma once

#include "fw/File.h"

#include <functional>
#include <string>

// Opens `path` for the table, exclusively but without emptying it, and runs
// `send`, which may still decline (false). A command that is not sent leaves
// an existing table as it was, and removes a file this made. The run empties
// the table when its first character comes. Throws CException when the file
// cannot be had (another program holding it is told as such), and whatever
// `send` throws.
bool OpenTableAndSend(CFile& file, const std::wstring& path, const std::function<bool()>& send);
