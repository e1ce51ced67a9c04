#!/usr/bin/env bash
# Installs the dependencies, builds, and runs every test: first the normal build, then (unless
# LOXANRADIO_SKIP_SANITIZE=1 or the time budget is spent) the AddressSanitizer+UBSan build.
# The last line of the output is CTest's summary line (of the failing pass when one failed).
# LOXANRADIO_JOBS sets the build and test parallelism (default: the number of cores).
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)
bash scripts/install-deps.sh

jobs=${LOXANRADIO_JOBS:-$(nproc)}
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON

# Every line CTest prints for a pass goes to build*/ctest.log as well, for the closing summary.
run_ctest() {
  local dir=$1
  shift
  local rc=0
  env "$@" ctest --test-dir "$dir" --output-on-failure -j "$jobs" 2>&1 | tee "$dir/ctest.log" || rc=1
  grep -q "tests passed, 0 tests failed" "$dir/ctest.log" || rc=1
  return $rc
}

summary_line() { grep -E "tests passed, [0-9]+ tests failed out of" "$1/ctest.log" | tail -n 1 || echo "no tests ran"; }

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOXANRADIO_WERROR=$werror
cmake --build build -j "$jobs"
status=0
normal_ok=1
run_ctest build || { status=1; normal_ok=0; }

# The sanitizer pass needs about as long again; CI allows 90 minutes in all.
budget=${LOXANRADIO_SANITIZE_BUDGET_S:-2400}
elapsed=$(( $(date +%s) - start ))
asan_ran=0
asan_ok=1
if [ "${LOXANRADIO_SKIP_SANITIZE:-0}" != "1" ] && [ "$elapsed" -lt "$budget" ]; then
  asan_ran=1
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLOXANRADIO_SANITIZE=ON \
        -DLOXANRADIO_BUILD_BENCH=OFF -DLOXANRADIO_WERROR=$werror
  cmake --build build-asan -j "$jobs"
  run_ctest build-asan ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 || { status=1; asan_ok=0; }
fi

echo
echo "normal build:    $(summary_line build)"
if [ "$asan_ran" = 1 ]; then
  echo "sanitizer build: $(summary_line build-asan)"
else
  echo "sanitizer build: skipped (LOXANRADIO_SKIP_SANITIZE=${LOXANRADIO_SKIP_SANITIZE:-0}, elapsed ${elapsed}s, budget ${budget}s)"
fi
if [ "$normal_ok" = 0 ] || [ "$asan_ran" = 0 ]; then
  summary_line build
else
  summary_line build-asan
fi
exit $status
