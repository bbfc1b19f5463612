# Shared by the scripts in this folder; sourced, not run.

# A script never ends without saying why: a command that stops it under set -e is named,
# in a function too (-E), with the file and line it stands on.
set -E
trap 'echo "${0##*/}: stopped, \"$BASH_COMMAND\" failed with status $? (${BASH_SOURCE[0]##*/} line $LINENO)" >&2' ERR

# Debian packages to build and run the program (Xlib names its window's class). "a|b": the
# first the archive has; freeglut 2.8's (Debian 11, Ubuntu 22.04) is freeglut3-dev.
BUILD_PACKAGES=(cmake g++ make "libglut-dev|freeglut3-dev" libglu1-mesa-dev libgl-dev libx11-dev libgl1-mesa-dri)
# CPack reads the binary's library dependencies with dpkg-shlibdeps, finding it with file(1).
PACKAGING_PACKAGES=(dpkg-dev file)
# A private X server; what watches the program there (PNG, and whose window it is).
WATCH_PACKAGES=(xvfb xauth libpng-dev libxres-dev)
# The tests' extras on any machine: the scene tests' EGL, the program tests' Xvfb, packaging.
TEST_PACKAGES=(libgtest-dev libegl-dev libegl-mesa0 "${WATCH_PACKAGES[@]}" "${PACKAGING_PACKAGES[@]}")
# Only for a run on the machine's own hardware: managed desktops, validators, static analysis.
NATIVE_TEST_PACKAGES=(x11-utils openbox weston xwayland lintian desktop-file-utils appstream mandoc clang-tidy cppcheck)

# The emulator this shell runs under (qemu-user, through binfmt_misc), if any.
emulator() {
  local exe
  exe=$(readlink /proc/$$/exe) && ! [ "$exe" -ef "$BASH" ] && echo "$exe"
}

# Whether dpkg and apt-get manage packages here; elsewhere the scripts install nothing.
debian_packages() { command -v dpkg-query >/dev/null && command -v apt-get >/dev/null; }

# Whether $1 is installed for this machine's own architecture, or for all: one installed for
# another alone (i386 beside amd64, as Steam puts Mesa) is missing here.
installed() {
  local native arch status
  native=$(dpkg --print-architecture)
  # Not through a pipe: a reader that stops early would fail the writer under pipefail.
  while read -r arch status; do
    [[ ($arch == "$native" || $arch == all) && $status == "install ok installed" ]] && return 0
  done < <(dpkg-query -W -f='${Architecture} ${Status}\n' "$1" 2>/dev/null || true)
  return 1
}

# Whether apt's lists offer $1 to install; whole, as above.
offered() { [[ $(apt-cache policy "$1" 2>/dev/null) == *"Candidate: "[!\(]* ]]; }

# The first of the alternatives $1 ("a|b") that apt's lists offer; else the first.
available() {
  local name
  for name in ${1//|/ }; do
    offered "$name" && { echo "$name"; return; }
  done
  echo "${1%%|*}"
}

# Prints, one a line, the entries of $@ (each a name or alternatives "a|b") of which none
# is installed.
missing_packages() {
  local wanted name
  for wanted in "$@"; do
    for name in ${wanted//|/ }; do
      installed "$name" && continue 2
    done
    echo "$wanted"
  done
}

# Installs what missing_packages finds, as root; else prints the one line that installs it,
# and stops; nothing when nothing is missing. A name apt's lists do not offer means that
# they are old (a normal user cannot refresh them): the line then refreshes them first.
need_packages() {
  local missing=() refresh= i
  if ! debian_packages; then
    [ -n "${NOT_DEBIAN_SAID:-}" ] || echo "No dpkg and apt-get here: installing nothing, using what is installed."
    NOT_DEBIAN_SAID=1
    return 0
  fi
  mapfile -t missing < <(missing_packages "$@")
  [ ${#missing[@]} -eq 0 ] && return 0
  [ "$(id -u)" -ne 0 ] || apt-get update -qq
  for i in "${!missing[@]}"; do
    missing[i]=$(available "${missing[i]}")
    offered "${missing[i]}" || refresh="sudo apt-get update && "
  done
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Install them with this line, then run this again:" >&2
    echo "  ${refresh}sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Through sudo, a script installs as root and does the rest as the caller, whose build trees
# and desktop they are. Call it with the script's arguments, once need_packages has run.
continue_as_caller() {
  [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ] || return 0
  echo "Packages are in place; going on as $SUDO_USER, who called sudo."
  exec runuser -u "$SUDO_USER" -- "scripts/${0##*/}" "$@"
}

# Takes pairs: a command, and what to install for it, in words; stops, naming what is missing.
need_commands() {
  local missing=()
  while [ $# -ge 2 ]; do command -v "$1" >/dev/null || missing+=("$2"); shift 2; done
  [ ${#missing[@]} -eq 0 ] || { printf 'Missing; install it, then run this again: %s\n' "${missing[@]}" >&2; exit 1; }
}

# Configures and builds into the folder $1, with the CMake arguments that follow.
build_into() {
  local dir=$1
  shift
  need_commands cmake "CMake 3.18 or newer"
  # A run as root outside sudo leaves trees another user cannot write.
  local foreign
  foreign=$(find build ! -user "$(id -u)" -print -quit 2>/dev/null) || true
  if [ -n "$foreign" ]; then
    echo "$foreign belongs to $(stat -c %U "$foreign"), not to $(id -un). Make the build folder yours, then run this again:" >&2
    echo "  sudo chown -R $(id -un): $PWD/build" >&2
    exit 1
  fi
  [ -n "${CXX:-}" ] || command -v g++ >/dev/null || command -v clang++ >/dev/null ||
    need_commands c++ "a C++17 compiler (g++ or clang++, or one named by CXX)"
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" --parallel "$(nproc)"
}
