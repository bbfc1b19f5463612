#!/usr/bin/env bash
# Builds the Debian package from a build tree, checks its files, dependencies and
# metadata, and runs the unpacked program on a private X server.
# Usage: package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source "$2/scripts/common.sh"
work=$(mktemp -d)
trap 'stop_all; rm -rf "$work"' EXIT

(cd "$build" && cpack -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; exit 1; }
deb=$(ls "$work"/out/cube_*_*.deb)

id=example.cube.Cube
expected="./usr/bin/cube
./usr/share/applications/$id.desktop
./usr/share/icons/hicolor/128x128/apps/$id.png
./usr/share/icons/hicolor/256x256/apps/$id.png
./usr/share/icons/hicolor/48x48/apps/$id.png
./usr/share/icons/hicolor/64x64/apps/$id.png
./usr/share/man/man6/cube.6
./usr/share/metainfo/$id.metainfo.xml"
diff <(echo "$expected") <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)

depends=$(dpkg-deb -f "$deb" Depends)
for library in libglut libglu libopengl libglx libc6; do
  grep -q "$library" <<<"$depends" || { echo "Depends lacks $library: $depends" >&2; exit 1; }
done
version=$(dpkg-deb -f "$deb" Version)

dpkg-deb -x "$deb" "$work/root"
share="$work/root/usr/share"
desktop-file-validate "$share/applications/$id.desktop"
appstreamcli validate --no-net --no-color "$share/metainfo/$id.metainfo.xml" >/dev/null
mandoc -Tlint -Wwarning "$share/man/man6/cube.6"
# One version throughout: package, metadata, man page.
grep -q "release version=\"$version\"" "$share/metainfo/$id.metainfo.xml"
grep -q "^\.TH CUBE 6 .* \"cube $version\"" "$share/man/man6/cube.6"
for size in 48 64 128 256; do
  identify -format '%w %h %A\n' "$share/icons/hicolor/${size}x${size}/apps/$id.png" | grep -qx "$size $size True" ||
    { echo "icon $size is not ${size}x${size} with alpha" >&2; exit 1; }
done

start_desktop
start_program "$work/root/usr/bin/cube"
echo "cube $version: package, metadata and unpacked program all good"
