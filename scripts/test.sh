#!/usr/bin/env bash
# Installs the dependencies, builds, and runs every test: first the normal build, then (unless
# LOXANRADIO_SKIP_SANITIZE=1 or the time budget is spent) the AddressSanitizer+UBSan build.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)
bash scripts/install-deps.sh

jobs=$(nproc)
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOXANRADIO_WERROR=$werror
cmake --build build -j "$jobs"
status=0
ctest --test-dir build --output-on-failure -j "$jobs" || status=$?

# The sanitizer pass needs about as long again; CI allows 90 minutes in all.
budget=${LOXANRADIO_SANITIZE_BUDGET_S:-2400}
elapsed=$(( $(date +%s) - start ))
if [ "${LOXANRADIO_SKIP_SANITIZE:-0}" != "1" ] && [ "$elapsed" -lt "$budget" ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLOXANRADIO_SANITIZE=ON \
        -DLOXANRADIO_BUILD_BENCH=OFF -DLOXANRADIO_WERROR=$werror
  cmake --build build-asan -j "$jobs"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs" || status=$?
else
  echo "sanitizer build skipped (elapsed ${elapsed}s, budget ${budget}s)"
fi
exit $status
