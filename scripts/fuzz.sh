#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and UBSan, in
# build/fuzz) and runs each for SECONDS (default 60), one after the other:
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# Inputs that reach new code go to build/fuzz/corpus/TARGET (the seeds in
# tests/data/fuzz/TARGET are only read); a finding is saved as
# build/fuzz/findings/TARGET/crash-* (or leak-, timeout-, oom-). Keep it as a
# regression input: copy it into tests/data/fuzz/TARGET/ under a name that
# says what broke, beside the fix. Exits non-zero when any target found one.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
shift || true
dir=$root/build/fuzz
jobs=${KITEMAIL_JOBS:-$(nproc)}

"$root/scripts/deps.sh"
mkdir -p "$root/build"
cmake -S "$root" -B "$dir" -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DKITEMAIL_FUZZ=ON >"$dir.configure.log" 2>&1 ||
  { cat "$dir.configure.log"; echo "fuzz.sh: configure failed" >&2; exit 1; }
cmake --build "$dir" -j "$jobs" || { echo "fuzz.sh: build failed" >&2; exit 1; }

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for exe in "$dir"/fuzz/fuzz_*; do
    targets+=("${exe##*/fuzz_}")
  done
fi

export UBSAN_OPTIONS=print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0

failed=()
summary=()
for t in "${targets[@]}"; do
  corpus=$dir/corpus/$t
  findings=$dir/findings/$t
  log=$dir/logs/$t.log
  mkdir -p "$corpus" "$findings" "$dir/logs"
  echo "== $t: ${seconds}s" >&2
  seeds=()
  if [[ $t == cli_* ]]; then # the command-line tests' rows
    rows=("$root"/tests/data/cli/*.args)
    seeds=("-seed_inputs=$(IFS=,; echo "${rows[*]}")")
  fi
  rc=0
  "$dir/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=25 -malloc_limit_mb=256 -print_final_stats=1 \
    -artifact_prefix="$findings/" "${seeds[@]}" "$corpus" "$root/tests/data/fuzz/$t" >"$log" 2>&1 || rc=$?
  runs=$(awk '/^stat::number_of_executed_units/ { print $NF }' "$log")
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1 || true)
  if [ "$rc" -ne 0 ]; then
    failed+=("$t")
    grep -E 'ERROR|property failed|SUMMARY|Test unit written' "$log" >&2 || tail -n 20 "$log" >&2
    summary+=("$t: FOUND SOMETHING (exit $rc), see $log and $findings")
  else
    summary+=("$t: ${runs:-?} executions, ${cov:-no coverage line}")
  fi
done

echo "== summary (${seconds}s per target)"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz.sh: findings in ${failed[*]}" >&2
  exit 1
fi
