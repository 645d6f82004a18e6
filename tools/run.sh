#!/bin/sh
# Builds QUAV! Runner and plays the shipped game, the vault: in a window when
# there is a display, else headless for five seconds' worth of ticks, leaving
# a PNG screenshot of the last frame. A world given as the first argument
# (a .zqav file) is played instead.
set -eu
given="${1:+$(realpath "$1")}"
cd "$(dirname "$0")/.."
./tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target quav-runner quav_worlds
world="${given:-$PWD/build/bin/Worlds/vault.zqav}"
if [ -n "${DISPLAY:-}" ]; then
    exec ./build/bin/quav-runner "$world"
fi
shot="$PWD/build/$(basename "$world" .zqav).png"
./build/bin/quav-runner --headless --ticks 300 --screenshot "$shot" "$world"
echo "No display: played $world headless for 300 ticks."
echo "Screenshot of the last frame: $shot"
