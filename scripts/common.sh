# Shared by the scripts in this folder; sourced, not run.

# Debian packages to build and run the program; and the tests' extras: the scene tests
# render off-screen through EGL, the program tests run it on private desktops
# (scripts/desktop) and look through Xlib.
BUILD_PACKAGES=(cmake g++ make libglut-dev libglu1-mesa-dev libgl-dev libgl1-mesa-dri)
# CPack reads the binary's library dependencies with dpkg-shlibdeps, and finds the
# binaries to read with file(1).
PACKAGING_PACKAGES=(dpkg-dev file)
# A private X server for the scripts that show the program.
XVFB_PACKAGES=(xvfb xauth x11-utils)
# The program tests also run it under a window manager and a Wayland compositor.
TEST_PACKAGES=(libgtest-dev libegl-dev libegl-mesa0 libx11-dev "${XVFB_PACKAGES[@]}" openbox weston xwayland
  "${PACKAGING_PACKAGES[@]}" lintian desktop-file-utils appstream mandoc)

# Installs the packages of $@ that are missing; without root, says how and stops.
need_packages() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Install them, then run this again:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures and builds into build/$1; the rest are extra CMake arguments.
build_into() {
  local dir="build/$1"
  shift
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

# Starts a command in the background on $DISPLAY and waits up to 30 s for its "3D CUBE"
# window; sets PROGRAM_PID. Fails if the command ends first or shows no window.
start_program() {
  "$@" &
  PROGRAM_PID=$!
  for _ in $(seq 300); do
    xwininfo -name "3D CUBE" >/dev/null 2>&1 && return 0
    kill -0 "$PROGRAM_PID" 2>/dev/null && sleep 0.1 && continue
    echo "$1 ended before its window appeared; the X server $DISPLAY" \
      "($(kill -0 "${DESKTOP_PID:-0}" 2>/dev/null && echo running || echo gone)) said:" >&2
    cat "${DESKTOP_LOG:-/dev/null}" >&2
    return 1
  done
  echo "no \"3D CUBE\" window from $1" >&2
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
