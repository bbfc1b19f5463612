# Shared by the scripts in this folder; sourced, not run.

# A script never ends without saying why: a command that stops it under set -e is named,
# in a function too (-E), with the file and line it stands on.
set -E
trap 'echo "${0##*/}: stopped, \"$BASH_COMMAND\" failed with status $? (${BASH_SOURCE[0]##*/} line $LINENO)" >&2' ERR

# Debian packages to build and run the program (Xlib names its window's class); and the
# tests' extras: the scene tests render off-screen through EGL, the program tests run it
# on private desktops (scripts/desktop). "a|b" takes the first of those the archive has:
# freeglut 3's development files are libglut-dev, freeglut 2.8's (Debian 11, Ubuntu 22.04)
# freeglut3-dev.
BUILD_PACKAGES=(cmake g++ make "libglut-dev|freeglut3-dev" libglu1-mesa-dev libgl-dev libx11-dev libgl1-mesa-dri)
# CPack reads the binary's library dependencies with dpkg-shlibdeps, and finds the
# binaries to read with file(1).
PACKAGING_PACKAGES=(dpkg-dev file)
# A private X server for the scripts that show the program.
XVFB_PACKAGES=(xvfb xauth x11-utils)
# The program tests also run it under a window manager and a Wayland compositor.
TEST_PACKAGES=(libgtest-dev libegl-dev libegl-mesa0 "${XVFB_PACKAGES[@]}" openbox weston xwayland
  "${PACKAGING_PACKAGES[@]}" lintian desktop-file-utils appstream mandoc)

# Whether Debian's dpkg and apt-get manage this system's packages; elsewhere the scripts
# install nothing, and CMake and need_commands name what is missing.
debian_packages() { command -v dpkg-query >/dev/null && command -v apt-get >/dev/null; }

# Whether $1 is installed for this machine's own architecture, or for all. dpkg answers a
# line an architecture: a Multi-Arch: same package may stand for two (i386 beside amd64,
# as Steam puts Mesa), and one installed for another architecture alone is missing here.
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

# Installs what missing_packages finds, as root; otherwise prints the one line that
# installs it, for the user to paste, and stops. Does nothing at all when nothing is
# missing. A name apt's lists do not offer means that they are old (a normal user cannot
# refresh them): the line then refreshes them first.
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

# Run as root through sudo, a script installs as root and does all the rest as the user
# who called it: the build trees stay theirs, a plain run later can use them, and the
# program runs on their desktop as they do. Call it with the script's own arguments,
# from the project's folder, once need_packages has run.
continue_as_caller() {
  [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ] || return 0
  echo "Packages are in place; going on as $SUDO_USER, who called sudo."
  exec runuser -u "$SUDO_USER" -- "scripts/${0##*/}" "$@"
}

# Takes pairs: a command, and what to install for it, in words. Stops, naming what is
# missing, unless every command is there.
need_commands() {
  local missing=()
  while [ $# -ge 2 ]; do
    command -v "$1" >/dev/null || case " ${missing[*]-} " in *" $2 "*) ;; *) missing+=("$2") ;; esac
    shift 2
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  printf 'Missing; install it, then run this again: %s\n' "${missing[@]}" >&2
  exit 1
}

# What a run on a private X server takes: the server, a look at its windows, screenshots.
need_headless_commands() {
  need_commands Xvfb "Xvfb, a virtual X server" xauth xauth xwininfo "xwininfo, of the X utilities" \
    import "ImageMagick (import, convert)" convert "ImageMagick (import, convert)"
}

# Configures and builds into the folder $1; the rest are extra CMake arguments. CMake
# itself names the libraries it misses.
build_into() {
  local dir=$1
  shift
  need_commands cmake "CMake 3.18 or newer"
  # A run as root outside sudo (or one before this script went on as the caller) leaves
  # trees another user cannot write.
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

# Starts the private desktop $1 (default bare: an Xvfb at 24 bits) with the screen size
# $2 (default 1280x1024), through scripts/desktop as the tests do. Exports DISPLAY and
# XAUTHORITY; the caller stops it with stop_desktop.
start_desktop() {
  local line display authority
  DESKTOP_LOG=$(mktemp)
  line=$(mktemp)
  "$(dirname "${BASH_SOURCE[0]}")/desktop" "${1:-bare}" "${2:-1280x1024}" >"$line" 2>"$DESKTOP_LOG" &
  DESKTOP_PID=$!
  while kill -0 "$DESKTOP_PID" 2>/dev/null && [ ! -s "$line" ]; do
    sleep 0.05
  done
  read -r display authority <"$line" || true
  rm -f "$line"
  if [ -z "${display:-}" ]; then
    echo "could not start a private X server:" >&2
    cat "$DESKTOP_LOG" >&2
    exit 1
  fi
  export DISPLAY=$display XAUTHORITY=$authority
}

# Ends the background process $1 (if any) and reaps it.
end_process() {
  [ -n "$1" ] || return 0
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

stop_desktop() {
  end_process "${DESKTOP_PID:-}"
  rm -f "${DESKTOP_LOG:-}"
  DESKTOP_PID=
}

# How long a script waits for the program's window to show the cube, from its start:
# generous, for a slow or emulated machine, since it waits for the thing itself and goes
# on the moment it is there. The outermost wait: scripts/desktop's and the program
# tests' are shorter.
PATIENCE=120 # seconds

# Starts a command in the background on $DISPLAY and waits for its "3D CUBE" window;
# sets PROGRAM_PID, and PROGRAM_DEADLINE, when the patience for it runs out. Fails if the
# command ends first or shows no window.
start_program() {
  "$@" &
  PROGRAM_PID=$!
  PROGRAM_DEADLINE=$((SECONDS + PATIENCE))
  until xwininfo -name "3D CUBE" >/dev/null 2>&1; do
    if ! kill -0 "$PROGRAM_PID" 2>/dev/null; then
      echo "$1 ended before its window appeared; the X server $DISPLAY" \
        "($(kill -0 "${DESKTOP_PID:-0}" 2>/dev/null && echo running || echo gone)) said:" >&2
      cat "${DESKTOP_LOG:-/dev/null}" >&2
      return 1
    fi
    [ $SECONDS -lt $PROGRAM_DEADLINE ] || { echo "no \"3D CUBE\" window from $1 in $PATIENCE s" >&2; return 1; }
    sleep 0.1
  done
}

# The face colours as 8-bit RGB (orange's green half rounds either way), and what a
# picture of the cube must hold: black, at least two faces, a real share of cube.
FACE_COLOURS="#00FF00 #FF8000 #FF7F00 #FF0000 #FFFF00 #0000FF #FF00FF"

# Says what the picture $1 shows, as "N faces, P% cube, M other colours"; fails unless
# that is the cube, whole enough to be seen: black and face colours only, at least two
# faces, and from 5% to 90% of it not black.
shows_cube() {
  local colours faces=0 others=0 colour percent
  colours=$(convert "$1" -unique-colors -depth 8 txt:- 2>/dev/null | grep -oE '#[0-9A-F]{6}') || return 1
  for colour in $colours; do
    case " $FACE_COLOURS #000000 " in
      *" $colour "*) [ "$colour" = "#000000" ] || faces=$((faces + 1)) ;;
      *) others=$((others + 1)) ;;
    esac
  done
  percent=$(convert "$1" -fill white +opaque black -colorspace gray -format '%[fx:round(100*mean)]' info:) || return 1
  echo "$faces faces, $percent% cube, $others other colours"
  [ "$faces" -ge 2 ] && [ "$others" -eq 0 ] && [ "$percent" -ge 5 ] && [ "$percent" -le 90 ]
}

# Saves a screenshot of the "3D CUBE" window to $1 once it shows the cube, taking one
# again and again as the program draws; fails, saying what the last one showed, if the
# program ends or the cube has not shown within the patience that start_program set.
capture_cube() {
  local seen="no screenshot"
  while kill -0 "$PROGRAM_PID" 2>/dev/null; do
    if seen=$(import -window "3D CUBE" -strip -define png:exclude-chunks=date,time "$1" 2>&1); then
      seen=$(shows_cube "$1") && return 0
    else
      seen="no screenshot: ${seen:-import failed}"
    fi
    [ $SECONDS -lt "$PROGRAM_DEADLINE" ] ||
      { echo "the window did not show the cube in $PATIENCE s: $seen (in $1)" >&2; return 1; }
    sleep 0.5
  done
  echo "the program ended before its window showed the cube; last seen: $seen" >&2
  return 1
}

stop_program() {
  end_process "${PROGRAM_PID:-}"
  PROGRAM_PID=
}

# For `trap stop_all EXIT`: nothing the script started outlives it.
stop_all() {
  stop_program
  stop_desktop
}
