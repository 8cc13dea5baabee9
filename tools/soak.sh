#!/usr/bin/env bash
# Long use in one program run: RUNS read-outs and erases (default 100), with
# the process's memory and handle counts along the way.
#   tools/soak.sh [RUNS]
VX_RUNS="${1:-100}" exec "$(dirname "$0")/drive.sh" Soak
