#!/bin/sh
# Builds QUAV! Runner and plays the shipped world: in a window when there is
# a display, else headless for five seconds' worth of ticks, leaving a PNG
# screenshot of the last frame.
set -eu
cd "$(dirname "$0")/.."
./tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target quav-runner
world="$PWD/build/bin/Worlds/welcome.zqav"
if [ -n "${DISPLAY:-}" ]; then
    exec ./build/bin/quav-runner "$world"
fi
shot="$PWD/build/welcome.png"
./build/bin/quav-runner --headless --ticks 300 --screenshot "$shot" "$world"
echo "No display: played $world headless for 300 ticks."
echo "Screenshot of the last frame: $shot"
