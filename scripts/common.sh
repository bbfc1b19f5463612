# Shared by the scripts in this folder; sourced, not run.

# Debian packages to build and run the program; and the tests' extras: the scene tests
# render off-screen through EGL, the program tests run it on Xvfb and look through Xlib.
BUILD_PACKAGES=(cmake g++ make freeglut3-dev libglu1-mesa-dev libgl-dev libgl1-mesa-dri)
# CPack reads the binary's library dependencies with dpkg-shlibdeps, and finds the
# binaries to read with file(1).
PACKAGING_PACKAGES=(dpkg-dev file)
TEST_PACKAGES=(libgtest-dev libegl-dev libegl-mesa0 libx11-dev xvfb xauth x11-utils "${PACKAGING_PACKAGES[@]}"
  desktop-file-utils appstream mandoc imagemagick)
# A private X server for the scripts that show the program.
XVFB_PACKAGES=(xvfb xauth x11-utils)

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

# Starts a private Xvfb as xvfb-run does: on a display number nobody uses, from :100
# up (never :0), listening on no TCP port, and accepting only clients that hold its
# fresh authorization cookie. $1 is the screen size (default 1280x1024). Exports
# DISPLAY and XAUTHORITY; the caller stops it with stop_xvfb.
start_xvfb() {
  local screen=${1:-1280x1024} number ready
  XVFB_AUTH=$(mktemp)
  XVFB_LOG=$(mktemp)
  ready=$(mktemp)
  for number in $(seq 100 199); do
    [ -e "/tmp/.X${number}-lock" ] || [ -e "/tmp/.X11-unix/X${number}" ] && continue
    xauth -q -f "$XVFB_AUTH" add ":$number" . "$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')"
    # -displayfd writes the number back once the server accepts clients; -noreset keeps
    # it from resetting, and refusing connections meanwhile, whenever its last client goes.
    Xvfb ":$number" -displayfd 3 -nolisten tcp -noreset -auth "$XVFB_AUTH" -screen 0 "${screen}x24" \
      3>"$ready" 2>"$XVFB_LOG" &
    XVFB_PID=$!
    while kill -0 "$XVFB_PID" 2>/dev/null && [ "$(wc -l <"$ready")" -eq 0 ]; do
      sleep 0.05
    done
    if [ "$(wc -l <"$ready")" -gt 0 ]; then
      rm -f "$ready"
      export DISPLAY=":$number" XAUTHORITY="$XVFB_AUTH"
      return 0
    fi
  done
  rm -f "$ready"
  echo "could not start Xvfb" >&2
  exit 1
}

# Ends the background process $1 (if any) and reaps it.
end_process() {
  [ -n "$1" ] || return 0
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

stop_xvfb() {
  end_process "${XVFB_PID:-}"
  rm -f "${XVFB_AUTH:-}" "${XVFB_LOG:-}"
  XVFB_PID=
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
      "($(kill -0 "${XVFB_PID:-0}" 2>/dev/null && echo running || echo gone)) said:" >&2
    cat "${XVFB_LOG:-/dev/null}" >&2
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
  stop_xvfb
}
