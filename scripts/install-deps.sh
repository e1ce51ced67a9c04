#!/usr/bin/env bash
# The one list of Debian packages LoxanRadio builds, runs and tests with.
# Idempotent and non-interactive; run as root (or through sudo).
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  # toolchain
  cmake ninja-build pkg-config g++ git
  libgtest-dev libgmock-dev libbenchmark-dev
  # GUI: Qt 6 widgets, a CJK font, X test server, screenshots, tray host, session bus
  qt6-base-dev fonts-wqy-microhei xvfb xauth imagemagick trayer dbus
  # engine: FFmpeg, SDL2 audio, LAME, KISS FFT
  ffmpeg libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  libsdl2-dev libmp3lame-dev libkissfft-dev
  # storage and network
  libcurl4-openssl-dev libsqlite3-dev zlib1g-dev libminizip-dev libjsoncpp-dev
  # test servers (started by the tests on 127.0.0.1 only)
  icecast2 tinyproxy dante-server microsocks libcpp-httplib-dev python3 zip unzip
)

# Optional: players the engine benchmark compares against (bench/engine-compare.sh); not needed
# to build or test. `install-deps.sh --bench` adds them.
if [ "${1:-}" = "--bench" ]; then
  PACKAGES+=(mpv vlc-bin vlc-plugin-base procps time)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -o DPkg::Lock::Timeout=900 "${missing[@]}"
fi
