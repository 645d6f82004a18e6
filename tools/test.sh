#!/bin/sh
# Builds everything and runs every test twice: a g++ build, then a clang
# build with AddressSanitizer and UndefinedBehaviorSanitizer (which also
# replays the fuzzing corpora). Warnings are errors in both.
set -eu
cd "$(dirname "$0")/.."
./tools/install-deps.sh

jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUAV_WERROR=ON \
      -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQUAV_WERROR=ON -DQUAV_SANITIZE=ON \
      -DQUAV_BENCH=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build build-sanitize -j "$jobs"
(cd build-sanitize && \
 ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
 LSAN_OPTIONS=suppressions="$PWD/../tests/lsan.supp" \
 ctest --output-on-failure -j "$jobs")

echo "All tests passed (g++ build and clang sanitizer build)."
