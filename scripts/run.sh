#!/usr/bin/env bash
# Installs the dependencies, builds and starts the player.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOXANRADIO_BUILD_TESTS=OFF -DLOXANRADIO_BUILD_BENCH=OFF
cmake --build build -j "$(nproc)"
exec ./build/bin/loxanradio "$@"
