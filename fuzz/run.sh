#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, in build/fuzz) and runs each for SECONDS
# (default 60) from its corpus in fuzz/corpus/<target>/, two at a time.
#
#   fuzz/run.sh [--check] [SECONDS] [TARGET...]
#
# After a run, inputs that reached new code are merged into the corpus
# (libFuzzer's -merge=1 keeps only those that add coverage). --check leaves
# the corpus as it is: every corpus input runs first, then SECONDS of
# fuzzing, and any finding fails the run (./test.sh does this).
# Findings (crash-, leak-, timeout-, oom- files) go to build/fuzz/findings/
# <target>/; rerun one with `build/fuzz/bin/fuzz_<target> FILE`.
# Per target it prints executions, coverage (cov: edges, ft: features) and
# findings, and exits 1 when there were any.
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
if [ "${1:-}" = "--check" ]; then
  check=1
  shift
fi
seconds=${1:-60}
shift || true
all=(oak birch pine hid hid_descriptor text_table xml_packet journal)
targets=("$@")
((${#targets[@]})) || targets=("${all[@]}")

build=build/fuzz
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
command -v ccache >/dev/null || unset CMAKE_CXX_COMPILER_LAUNCHER
if [ ! -f $build/CMakeCache.txt ]; then
  cmake -S . -B $build -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVEL_SANITIZE=fuzzer-no-link,address,undefined -DCORVEL_BUILD_TESTS=OFF \
    -DCORVEL_BUILD_BENCH=OFF >/dev/null
fi
cmake --build $build -j2 --target "${targets[@]/#/fuzz_}" >/dev/null

logs=$build/fuzz-logs
rm -rf $logs
mkdir -p $logs
touch $logs/started

# Data files and journals are longer than frames and descriptors.
max_len() {
  case $1 in
    text_table | xml_packet | journal) echo 65536 ;;
    *) echo 4096 ;;
  esac
}

one() {
  local t=$1 corpus=fuzz/corpus/$1 fresh=$logs/$1.new findings=$build/findings/$1
  mkdir -p "$corpus" "$fresh" "$findings"
  # New inputs land in the first folder, so the corpus is only read here.
  nice -n 10 $build/bin/fuzz_$t -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
    -max_len="$(max_len "$t")" -print_final_stats=1 -artifact_prefix="$findings/" \
    "$fresh" "$corpus" >"$logs/$t.log" 2>&1 || true
  if ((!check)); then
    nice -n 10 $build/bin/fuzz_$t -merge=1 "$corpus" "$fresh" >"$logs/$t.merge.log" 2>&1 || true
  fi
  rm -rf "$fresh"
}

running=0
for t in "${targets[@]}"; do
  one "$t" &
  running=$((running + 1))
  if ((running == 2)); then
    wait -n
    running=$((running - 1))
  fi
done
wait

status=0
printf '%-15s %12s %7s %8s %8s %s\n' target executions cov ft corpus findings
for t in "${targets[@]}"; do
  log=$logs/$t.log
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -n1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  files=$(find fuzz/corpus/"$t" -type f | wc -l)
  found=$(find $build/findings/"$t" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
    -o -name 'oom-*' \) -newer "$logs/started" | wc -l)
  grep -qE 'ERROR: (libFuzzer|AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer)|runtime error' \
    "$log" && found=$((found > 0 ? found : 1))
  printf '%-15s %12s %7s %8s %8s %s\n' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$files" "$found"
  if ((found > 0)); then
    status=1
    grep -m3 -E 'ERROR|runtime error|SUMMARY' "$log" | sed 's/^/    /'
  fi
done
exit $status
