#!/bin/sh
# Builds the Debian package with CPack and inspects it: its files, its
# dependencies (computed from the linked shared libraries), lintian.
#
#   package_test.sh BUILD_DIR
#
# Exit status 77 skips the test where the Debian tools are missing.
set -eu
build=$1

fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
    command -v $tool > /dev/null || { echo "SKIP: $tool is missing (tools/install-deps.sh installs it)" >&2; exit 77; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
(cd "$build" && cpack -G DEB -B "$tmp" > "$tmp/cpack.log" 2>&1) || fail "cpack: $(cat "$tmp/cpack.log")"
deb=$(ls "$tmp"/quav_*.deb)

dpkg-deb -c "$deb" > "$tmp/contents"
for file in ./usr/bin/quav-runner ./usr/bin/quav-world ./usr/share/quav/Library/default.dat \
            ./usr/share/quav/Worlds/vault.zqav ./usr/share/quav/Worlds/vault_theme.mid \
            ./usr/share/quav/Worlds/vault.win.replay ./usr/share/applications/quav-runner.desktop \
            ./usr/share/mime/packages/quav.xml ./usr/share/icons/hicolor/48x48/apps/quav-runner.png \
            ./usr/share/doc/quav/copyright ./usr/share/doc/quav/changelog.gz; do
    grep -q " $file\$" "$tmp/contents" || fail "the package has no $file"
done
grep -Eq ' root/root .* \./usr/bin/quav-runner$' "$tmp/contents" || fail "files not owned by root: $(cat "$tmp/contents")"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 liballegro4.4 libminizip1 libsdl2-mixer-2.0-0; do
    echo "$depends" | grep -q "$library" || fail "Depends lacks $library: $depends"
done

# Errors fail the test; warnings are shown.
lintian --fail-on error "$deb" > "$tmp/lintian.log" 2>&1 || fail "lintian: $(cat "$tmp/lintian.log")"
cat "$tmp/lintian.log"
echo "package $(basename "$deb"): contents, dependencies and lintian checked"
