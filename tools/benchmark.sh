#!/usr/bin/env bash
# Figures for a read-out with the real program under Wine: paced at 9600 baud
# (default 16384 characters) and unpaced (default 1048576), then idle.
#   tools/benchmark.sh [PACED_BYTES [UNPACED_BYTES]]
VX_PACED="${1:-16384}" VX_UNPACED="${2:-1048576}" exec "$(dirname "$0")/drive.sh" Benchmark
