#!/bin/sh
# Installs the build into a temporary prefix, moves the prefix elsewhere
# (an install is relocatable), makes it read-only and plays from it as an
# ordinary user with a fresh HOME: the installed vault's win replay wins, a
# game saved through the menu lands in the per-user folder and loads back,
# a screenshot lands there, and vantor opens the installed vault on the
# offscreen platform.
#
#   install_test.sh BUILD_DIR EDITOR(0|1) MAN_PAGES(0|1)
#
# Run as root, the test plays as the user nobody (setpriv): root may write
# into a read-only tree, so only another user sees it as an installed,
# shared tree. Exit status 77 skips the test when that is impossible.
set -eu
build=$1
editor=$2
man=$3

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*" >&2; exit 77; }

# In /tmp, whatever TMPDIR says: the playing user must reach it.
tmp=$(mktemp -d /tmp/quav-install.XXXXXX)
cleanup() { chmod -R u+w "$tmp" 2>/dev/null || true; rm -rf "$tmp"; }
trap cleanup EXIT

as_user=""
if [ "$(id -u)" -eq 0 ]; then
    command -v setpriv > /dev/null || skip "running as root without setpriv: cannot play as an ordinary user"
    as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi

cmake --install "$build" --prefix "$tmp/stage/usr" > "$tmp/install.log" || fail "cmake --install: $(cat "$tmp/install.log")"
mv "$tmp/stage" "$tmp/moved"
prefix=$tmp/moved/usr
share=$prefix/share

# The usual layout.
expected="bin/quav-runner bin/quav-world share/quav/Library/default.dat share/quav/Library/default.zqav
share/quav/Library/SyntaxColors.txt share/quav/Library/FadeSets.txt share/quav/Library/FadeBlends.txt
share/quav/Worlds/vault.zqav share/quav/Worlds/welcome.zqav share/quav/Worlds/vault_theme.mid
share/quav/Worlds/vault_shot.wav share/quav/Worlds/vault.win.replay share/quav/Worlds/vault.load.replay
share/applications/quav-runner.desktop share/mime/packages/quav.xml share/doc/quav/README.md
share/icons/hicolor/16x16/apps/quav-runner.png share/icons/hicolor/48x48/apps/quav-runner.png
share/icons/hicolor/256x256/apps/quav-runner.png"
[ "$editor" = 1 ] && expected="$expected bin/vantor share/applications/vantor.desktop share/icons/hicolor/48x48/apps/vantor.png"
[ "$man" = 1 ] && expected="$expected share/man/man1/quav-runner.1.gz share/man/man1/quav-world.1.gz"
[ "$man" = 1 ] && [ "$editor" = 1 ] && expected="$expected share/man/man1/vantor.1.gz"
for file in $expected; do
    [ -f "$prefix/$file" ] || fail "the install has no $file"
done
[ -e "$share/quav/Worlds/Screens" ] && fail "the install ships a Screens folder"
ls "$share/quav/Worlds" | grep -q '\.qsg$' && fail "the install ships saved games"
grep -q 'glob pattern="\*.zqav"' "$share/mime/packages/quav.xml" || fail "no MIME type for .zqav"
grep -q '^MimeType=application/x-quav-world;' "$share/applications/quav-runner.desktop" ||
    fail "the runner's entry does not open worlds"
if command -v desktop-file-validate > /dev/null; then
    for entry in "$share"/applications/*.desktop; do
        desktop-file-validate "$entry" || fail "desktop-file-validate $entry"
    done
else
    echo "desktop-file-validate missing: the desktop entries are not validated" >&2
fi

home=$tmp/home
out=$tmp/out
mkdir -p "$home" "$out"
chmod -R a-w "$tmp/moved"
chmod 755 "$tmp"
[ -n "$as_user" ] && chown 65534:65534 "$home" "$out"
run() { $as_user env -u XDG_DATA_HOME HOME="$home" "$@"; }
# A sanitizer build's suppressions may lie where the playing user cannot read.
case "${LSAN_OPTIONS:-}" in
*suppressions=*)
    supp=$(echo "$LSAN_OPTIONS" | sed 's|.*suppressions=\([^:]*\).*|\1|')
    cp "$supp" "$tmp/lsan.supp" && chmod 644 "$tmp/lsan.supp"
    LSAN_OPTIONS=$(echo "$LSAN_OPTIONS" | sed "s|suppressions=[^:]*|suppressions=$tmp/lsan.supp|")
    export LSAN_OPTIONS
    ;;
esac

worlds=$share/quav/Worlds
run test -w "$worlds" && fail "the installed Worlds folder is writable for the playing user"

for program in quav-runner quav-world; do
    run "$prefix/bin/$program" --version | grep -q "^$program (QUAV!) [0-9]" || fail "$program --version"
done
run "$prefix/bin/quav-world" info "$worlds/vault.zqav" > "$out/info.txt" || fail "quav-world info on the installed vault"
grep -q "video mode" "$out/info.txt" || fail "quav-world info: $(cat "$out/info.txt")"

play() {
    run "$prefix/bin/quav-runner" --headless --seed 0 "$@" > "$out/play.log" 2>&1 ||
        fail "quav-runner $*: $(cat "$out/play.log")"
}
var() { grep -Eq "\"$1\": \"?$2\"?(,|\$)" "$out/vars.json" || fail "$1 is not $2 after $3: $(cat "$out/vars.json")"; }

play --ticks 4300 --input "$worlds/vault.win.replay" --dump-vars "$out/vars.json" "$worlds/vault.zqav"
var won 1 "the win replay"
games=$home/.local/share/quav/Worlds
for copied in vault.zqav vault_theme.mid vault_hit.wav vault.save.replay; do
    [ -f "$games/$copied" ] || fail "$copied was not copied into the per-user folder"
done

play --ticks 900 --input "$worlds/vault.save.replay" "$worlds/vault.zqav"
[ -f "$games/vault.1.qsg" ] || fail "the saved game is not in the per-user folder: $(ls "$games")"
play --ticks 150 --input "$worlds/vault.load.replay" --dump-vars "$out/vars.json" "$worlds/vault.zqav"
var loaded 1 "loading slot 1"
var keys 1 "loading slot 1"

printf '5 key_printscreen down\n6 key_printscreen up\n' > "$out/shot.replay"
run env XDG_DATA_HOME="$home/xdg" "$prefix/bin/quav-runner" --headless --ticks 10 --input "$out/shot.replay" \
    "$worlds/welcome.zqav" > "$out/play.log" 2>&1 || fail "the screenshot run: $(cat "$out/play.log")"
head -c 2 "$home/xdg/quav/Worlds/Screens/00000.bmp" | grep -q BM ||
    fail "no screenshot in \$XDG_DATA_HOME/quav/Worlds/Screens"

if [ "$editor" = 1 ]; then
    # The editor runs until it is closed: wait (bounded) for its window, then end it.
    mkdir -m 700 "$home/run" && [ -n "$as_user" ] && chown 65534:65534 "$home/run"
    # Not through run(): the background job must be vantor itself, not a subshell.
    $as_user env -u XDG_DATA_HOME HOME="$home" QT_QPA_PLATFORM=offscreen QUAV_TRACE=1 XDG_RUNTIME_DIR="$home/run" \
        "$prefix/bin/vantor" "$worlds/vault.zqav" > "$out/vantor.log" 2>&1 &
    editor_pid=$!
    tries=0
    while ! grep -q "Break2" "$out/vantor.log" && [ $tries -lt 600 ] && kill -0 $editor_pid 2> /dev/null; do
        sleep 0.1
        tries=$((tries + 1))
    done
    kill $editor_pid 2> /dev/null || fail "vantor ended by itself: $(cat "$out/vantor.log")"
    wait $editor_pid || true
    grep -q "Finished Loading .. ( $worlds/vault.zqav )" "$out/vantor.log" ||
        fail "vantor did not open the installed vault: $(cat "$out/vantor.log")"
    grep -q "Break2" "$out/vantor.log" || fail "vantor showed no window: $(cat "$out/vantor.log")"
    grep -q "Unable to" "$out/vantor.log" && fail "vantor reported: $(cat "$out/vantor.log")"
fi
echo "installed, moved, read-only: played, saved, loaded, photographed${as_user:+ (as nobody)}"
