#!/usr/bin/env bash
# Makes the release with scripts/package and checks it as a distribution would: the .deb's files,
# dependencies and metadata; the tarball building, testing and installing offline; one version
# throughout; the unpacked program's picture. Usage: package_test.sh SOURCE_DIR CUBE_WATCH
set -euo pipefail
source "$1/scripts/common.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# In a folder of its own: a release the user made in build/package stays as it is.
release() {
  rm -rf "$work/release"
  "$1/scripts/package" "$work/release" >"$work/package.log" 2>&1 || { cat "$work/package.log" >&2; exit 1; }
  (cd "$work/release" && sha256sum cube_*.deb cube-*.tar.gz)
}
# Under emulation, what does not depend on the architecture is left to the native runs.
emulated=$(emulator) || emulated=
native() {
  [ -z "$emulated" ] || { echo "SKIPPED $1: the native runs prove it, as this machine emulates $(uname -m)"; return 1; }
}
# Reproducible: made twice from scratch, the same bytes.
first=$(release "$1")
if native "a second build of the package, byte for byte the same"; then
  diff <(echo "$first") <(release "$1")
fi
deb=$(ls "$work"/release/cube_*_*.deb)
version=$(dpkg-deb -f "$deb" Version)
tarball="$work/release/cube-$version.tar.gz"

id=example.cube.Cube
data=./usr/share # in the order the listings below sort to
expected=$(printf '%s\n' ./usr/bin/cube $data/applications/$id.desktop $data/doc/cube/{changelog.gz,copyright} \
  $data/icons/hicolor/{128x128,256x256,48x48,64x64}/apps/$id.png $data/man/man6/cube.6.gz $data/metainfo/$id.metainfo.xml)
diff <(echo "$expected") <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort)

# Every library the program links, by the package that holds it here, either freeglut.
depends=$(dpkg-deb -f "$deb" Depends)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for library in $(objdump -p "$work/release/cube" | awk '$1 == "NEEDED" { print $2 }'); do
  package=$(dpkg -S "*/$multiarch/$library" | sed -n '1s/[:,].*//p')
  tr ',|' '\n\n' <<<"$depends" | awk '{ print $1 }' | grep -qxF "$package" ||
    { echo "Depends lacks $library ($package): $depends" >&2; exit 1; }
done
dpkg-deb -x "$deb" "$work/root"
# Debian's hardening, as far as a binary shows it: position independent, full RELRO.
readelf -lW "$work/root/usr/bin/cube" | grep -q GNU_RELRO &&
  readelf -d "$work/root/usr/bin/cube" | grep -q 'Flags: NOW PIE' || { echo "cube is not hardened" >&2; exit 1; }
share="$work/root/usr/share"
if native "Debian's validators of the package (lintian, desktop-file-validate, appstreamcli, mandoc)"; then
  # Not one error or warning (lintian's own verdict), nor any hardening tag (only infos).
  report=$(lintian --pedantic --display-info --fail-on error,warning "$deb" 2>/dev/null) &&
    ! grep -q hardening <<<"$report" || { echo "$report" >&2; exit 1; }
  desktop-file-validate "$share/applications/$id.desktop"
  # Valid, and naming its developer (AppStream 1.0 says so by tag; older ones know no such tag).
  metadata=$(appstreamcli validate --no-net --no-color "$share/metainfo/$id.metainfo.xml") &&
    ! grep -q developer-info-missing <<<"$metadata" || { echo "$metadata" >&2; exit 1; }
  mandoc -Tlint -Wwarning "$share/man/man6/cube.6.gz"
fi
# One version throughout: package, tarball, metadata, man page, changelog.
grep -q "release version=\"$version\"" "$share/metainfo/$id.metainfo.xml"
zgrep -q "^\.TH CUBE 6 .* \"cube $version\"" "$share/man/man6/cube.6.gz"
zcat "$share/doc/cube/changelog.gz" | head -n 1 | grep -q "^cube ($version) "
# The icons' PNG headers: signature, IHDR, width and height (32-bit big-endian), 8-bit RGBA.
png="137 80 78 71 13 10 26 10 0 0 0 13 73 72 68 82"
for size in 48 64 128 256; do
  side="0 0 $((size >> 8)) $((size & 255))"
  [ "$(od -An -v -tu1 -N26 "$share/icons/hicolor/${size}x${size}/apps/$id.png" | xargs)" = "$png $side $side 8 6" ] ||
    { echo "icon $size is not ${size}x${size} RGBA" >&2; exit 1; }
done

# The tarball alone, offline and outside git, builds, passes its fast tests, installs the .deb's files.
if native "the tarball's offline build"; then
  mkdir "$work/tarball"
  tar -xzf "$tarball" -C "$work/tarball"
  # Root cuts the network; a normal user, in a user namespace, where allowed (not in a chroot).
  offline=(unshare --net)
  "${offline[@]}" true 2>/dev/null || offline=(unshare --map-root-user --net)
  "${offline[@]}" true 2>/dev/null || {
    offline=() && echo "SKIPPED proof that the tarball builds offline: the network cannot be cut here (unshare --net, unshare -rn)"
  }
  (
    cd "$work/tarball" &&
      "${offline[@]}" cmake -S "cube-$version" -B build -DCMAKE_INSTALL_PREFIX=/usr &&
      "${offline[@]}" cmake --build build --parallel "$(nproc)" &&
      (cd build && "${offline[@]}" ctest -L fast) &&
      DESTDIR="$work/installed" cmake --install build
  ) >"$work/tarball.log" 2>&1 || { cat "$work/tarball.log" >&2; exit 1; }
  diff <(echo "$expected") <(cd "$work/installed" && find . -type f | sort)
fi

# The binary as released, built with Debian's flags and build type None, must show the cube.
"$1/scripts/desktop" bare 1280x1024 "$2" show -- "$work/root/usr/bin/cube" >/dev/null
what="package, tarball, metadata and unpacked program"
[ -z "$emulated" ] || what="package and unpacked program, as far as they depend on the architecture,"
echo "cube $version: $what all good"
