#!/usr/bin/env bash
# Fuzzes what reads bytes from outside, natively with clang's libFuzzer and
# the address and undefined-behaviour sanitizers: the chart's table reader
# (and its drawing model), the record layout and the setting text's parser.
# Each runs SECONDS (default 10) from its seeds in tests/fuzz/seeds/ (kept
# as they are: what a run finds goes to build/fuzz/). Prints the executions
# per target; fails when a target finds a crash, a leak or undefined behaviour.
#   tools/fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="${VORLIX_BUILD:-$root/build}/fuzz"
seconds=${1:-10}
mkdir -p "$out"
flags=(-std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I"$root")
build() {  # NAME SOURCES...: the target, built again when it or a header beside a source is newer
  local name=$1; shift
  local deps=("$@" "$root/tools/fuzz.sh")
  for source in "$@"; do [ ! -e "${source%.cpp}.h" ] || deps+=("${source%.cpp}.h"); done
  [ -e "$out/$name" ] && [ -z "$(find "${deps[@]}" -newer "$out/$name")" ] ||
    clang++ "${flags[@]}" "$@" -o "$out/$name"
}
build chart_table "$root/tests/fuzz/chart_table_fuzz.cpp" "$root/chart/ChartTable.cpp" "$root/chart/ChartModel.cpp"
build record "$root/tests/fuzz/record_fuzz.cpp" "$root/readout/RecordFormatter.cpp"
build port_setting "$root/tests/fuzz/port_setting_fuzz.cpp" "$root/settings/PortSetting.cpp"
failed=0
for name in chart_table record port_setting; do
  mkdir -p "$out/$name.corpus"
  # Tables with endless lines: inputs up to 64 KiB.
  maxlen=4096
  [ "$name" != chart_table ] || maxlen=65536
  if (cd "$out" && "./$name" -max_total_time="$seconds" -max_len=$maxlen -print_final_stats=1 \
        -artifact_prefix="$out/$name-" "$name.corpus" "$root/tests/fuzz/seeds/$name" >"$name.log" 2>&1); then
    echo "fuzz $name: $(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$name.log") executions in ${seconds} s, nothing found"
  else
    echo "fuzz $name: FOUND a fault (build/fuzz/$name.log):"
    grep -m5 -E 'ERROR|runtime error|SUMMARY|Test unit written' "$out/$name.log" || tail -5 "$out/$name.log"
    failed=1
  fi
done
exit $failed
