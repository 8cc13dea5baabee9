#!/usr/bin/env bash
# Long use in one program run: ROUNDS rounds (default 100) of read-out, erase,
# Setup and About after the first, with what the process holds along the way;
# fails when it holds more at the end than after the first round.
#   tools/soak.sh [ROUNDS]
VX_ROUNDS="${1:-100}" exec "$(dirname "$0")/drive.sh" Soak
