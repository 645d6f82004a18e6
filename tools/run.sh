#!/bin/sh
# Builds the programs and shows the shipped world.
set -eu
cd "$(dirname "$0")/.."
./tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target quav-world quav_library
./build/bin/quav-world info build/bin/Library/default.zqav
./build/bin/quav-world tree build/bin/Library/default.zqav
