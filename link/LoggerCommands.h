// The logger's commands: eight ASCII characters each, sent with nothing added.
#pragma once

constexpr char kReadOutCommand[] = "(254.1.)";
constexpr char kEraseCommand[] = "(251.1.)";
