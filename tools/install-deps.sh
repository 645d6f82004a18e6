#!/bin/sh
# Installs every Debian package the project needs to build, test, fuzz and
# run. Non-interactive; does nothing when everything is present already.
set -eu

PACKAGES="
cmake make pkg-config g++ clang libclang-rt-14-dev
liballegro4-dev libloadpng4-dev
zlib1g-dev libminizip-dev
libgtest-dev libbenchmark-dev
python3 xvfb xauth xdotool libx11-dev
qt6-base-dev libqscintilla2-qt6-dev
libasound2-dev libsdl2-dev libsdl2-mixer-dev libfluidsynth-dev libsndfile1-dev libopenmpt-dev libvorbis-dev timgm6mb-soundfont vorbis-tools
help2man gzip desktop-file-utils dpkg-dev file lintian
"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi

echo "Installing:$missing"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q
# shellcheck disable=SC2086
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
