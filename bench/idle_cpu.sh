#!/bin/sh
# Processor time of a windowed quav-runner sitting on a world, as a share of
# one core, on a private Xvfb display.
# Usage: bench/idle_cpu.sh [BIN_DIR] [SECONDS] [WORLD] [runner options...]
#   BIN_DIR  the folder holding quav-runner (default build/bin)
#   SECONDS  how long to measure after a settling second (default 10)
#   WORLD    relative to BIN_DIR (default Worlds/welcome.zqav)
set -eu
bin=${1:-build/bin}
seconds=${2:-10}
world=${3:-Worlds/welcome.zqav}
[ $# -gt 3 ] && shift 3 || set --

fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r display <"$fifo"
rm -f "$fifo"

cd "$bin"
DISPLAY=":$display" ./quav-runner "$@" "$world" >/dev/null 2>&1 &
runner=$!
sleep 3
ticks() { awk '{ print $14 + $15 }' "/proc/$runner/stat"; }
before=$(ticks)
sleep "$seconds"
after=$(ticks)
hz=$(getconf CLK_TCK)
echo "$world: $(echo "scale=1; ($after - $before) * 100 / $hz / $seconds" | bc) % of a core over $seconds s"
kill -TERM "$runner"
wait "$runner" || true
kill -TERM "$xvfb"
wait "$xvfb" 2>/dev/null || true
