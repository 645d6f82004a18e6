#!/bin/sh
# Photographs the vault for the README with the headless runner: the title
# menu, the vault in play, the dark cave, the crypt, the armory, the last
# hall and the ending, from the shipped win replay.
# Run after a build (./tools/run.sh or ./tools/test.sh).
set -eu
cd "$(dirname "$0")/.."
bin=build/bin
out=docs/screens
mkdir -p "$out"
shoot() {
    "$bin/quav-runner" --headless --ticks "$1" --seed 0 --input "$bin/Worlds/vault.win.replay" \
        --screenshot "$out/$2.png" "$bin/Worlds/vault.zqav"
}
shoot 6 title
shoot 470 play
shoot 1330 cave
shoot 2100 crypt
shoot 2870 armory
shoot 3600 hall
shoot 4250 won
echo "Screenshots in $out/"
