#!/usr/bin/env bash
# The scripts' package check, read by the real dpkg-query from a dpkg database made here:
# packages installed for this machine's architecture and another's, for the other's only,
# for all, left as configuration files, and not at all. Usage: package_check_test.sh SOURCE_DIR
set -euo pipefail
source "$1/scripts/common.sh"
DPKG_ADMINDIR=$(mktemp -d)
export DPKG_ADMINDIR
trap 'rm -rf "$DPKG_ADMINDIR"' EXIT
native=$(dpkg --print-architecture)
other=i386
[ "$native" != i386 ] || other=amd64
mkdir "$DPKG_ADMINDIR/info" "$DPKG_ADMINDIR/updates"
touch "$DPKG_ADMINDIR/available"
# The status entry of package $1 in state $2 for architecture $3 (Multi-Arch: same, but all).
entry() {
  printf 'Package: %s\nStatus: %s\nArchitecture: %s\nVersion: 1\nMaintainer: none\nDescription: -\n' "$@"
  [ "$3" = all ] && echo || printf 'Multi-Arch: same\n\n'
}
{
  entry twice "install ok installed" "$native" && entry twice "install ok installed" "$other"
  entry foreign "install ok installed" "$other"
  entry everywhere "install ok installed" all
  entry removed "deinstall ok config-files" "$native"
} >"$DPKG_ADMINDIR/status"
fail() { echo "FAILED: $*" >&2; exit 1; }

diff <(missing_packages twice foreign everywhere removed absent "absent|twice" "foreign|absent") \
  <(printf '%s\n' foreign removed absent "foreign|absent") || fail "missing_packages named the wrong packages"

# With nothing missing, apt is not asked at all; as a normal user, one line names what apt
# offers, refreshing old lists first where they offer nothing.
apt-get() { fail "apt-get $* ran"; }
need_packages twice everywhere "absent|twice"
id() { echo 1000; }
apt-cache() { [ "$2" != offered ] || echo "  Candidate: 1.0"; }
said=$(need_packages twice "absent|offered" 2>&1) && fail "need_packages went on with a package missing"
[ "$(grep -c install <<<"$said")" -eq 1 ] && grep -qx '  sudo apt-get install -y --no-install-recommends offered' <<<"$said" ||
  fail "need_packages said: $said"
said=$(need_packages foreign "absent|offered" 2>&1) && fail "need_packages went on with a package missing"
grep -qx '  sudo apt-get update && sudo apt-get install -y --no-install-recommends foreign offered' <<<"$said" ||
  fail "need_packages said: $said"
echo "The package check: passed"
