#!/usr/bin/env bash
# Builds Kitemail Pro twice and runs every test in each build:
#   build/ci-release   RelWithDebInfo, warnings as errors; benchmarks built, not run
#   build/ci-sanitize  Debug under AddressSanitizer, LeakSanitizer and UBSan
# both with line tables as their debug information.
# Extra arguments go to ctest (e.g. scripts/test.sh -L unit).
# Exits non-zero when a build or any test fails.
#
# Both builds are unity builds (a few sources compiled as one), which halves
# the compile time. The sanitizer build compiles at low priority beside the
# release build and its tests, which mostly wait on sockets and servers; its
# output is shown when it is done.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${KITEMAIL_JOBS:-$(nproc)}
start=$SECONDS

"$root/scripts/deps.sh"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=0:check_initialization_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0

summaries=()
failed=0

phase() { printf '\n== %s (%ds)\n' "$1" $((SECONDS - start)); }

# build NAME CMAKE_ARGS...
build() {
  local name=$1
  shift
  local dir=$root/build/$name
  phase "configure $name"
  cmake -S "$root" -B "$dir" -G Ninja -Wno-dev -DCMAKE_UNITY_BUILD=ON "$@" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; echo "test.sh: configure of $name failed" >&2; return 1; }
  phase "build $name"
  cmake --build "$dir" -j "$jobs" ||
    { echo "test.sh: build of $name failed" >&2; return 1; }
  phase "built $name"
}

# build_behind NAME CMAKE_ARGS...: build at a lower priority (nice 10) in the
# background, into build/NAME.build.log; wait_build NAME shows the log and
# fails when the build did.
build_behind() {
  local name=$1
  (
    renice -n 10 -p "$BASHPID" >/dev/null
    if build "$@" >"$root/build/$name.build.log" 2>&1; then echo 0; else echo 1; fi >"$root/build/$name.build.rc"
  ) &
}
wait_build() {
  local name=$1
  wait
  phase "build log of $name"
  cat "$root/build/$name.build.log"
  [ "$(cat "$root/build/$name.build.rc")" = 0 ] || exit 1
}

# run_tests NAME [ctest args]
run_tests() {
  local name=$1
  shift
  local dir=$root/build/$name
  local log=$dir/ctest.log
  phase "test $name"
  local rc=0
  (cd "$dir" && ctest --output-on-failure --no-tests=error -j "$jobs" --timeout 300 "$@") 2>&1 | tee "$log" ||
    rc=$?
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of' "$log" | tail -n 1 || true)
  summaries+=("$name: ${line:-no test summary}")
  if [ "$rc" -ne 0 ]; then
    failed=1
  fi
}

mkdir -p "$root/build"
rm -f "$root/build/ci-sanitize.build.rc"

# Debug information as line tables only (-g1): all that the sanitizers'
# reports, backtraces and profiles need, and a quarter less compile time.
# The unit tests run as one process in each build: started one by one they
# spent most of their time starting (see tests/CMakeLists.txt).
build_behind ci-sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DKITEMAIL_WERROR=ON -DKITEMAIL_SANITIZE=ON \
  -DKITEMAIL_BUILD_BENCH=OFF -DKITEMAIL_TESTS_IN_SHARDS=ON
build ci-release -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
  -DKITEMAIL_WERROR=ON -DKITEMAIL_BUILD_BENCH=ON -DKITEMAIL_TESTS_IN_SHARDS=ON || { wait; exit 1; }
run_tests ci-release "$@"

wait_build ci-sanitize
run_tests ci-sanitize "$@"

phase "summary"
for s in "${summaries[@]}"; do
  echo "$s"
done
echo "test.sh: $((SECONDS - start)) s"
# One closing line over both builds.
awk '/tests passed, [0-9]+ tests? failed out of/ { total += $NF; bad += $(NF-5) }
     END { printf "total: %d passed, %d failed\n", total - bad, bad }' \
  "$root/build/ci-release/ctest.log" "$root/build/ci-sanitize/ctest.log"
exit "$failed"
