# Shared by the scripts in this folder; sourced, not run.

# Debian packages to build and run the program; and the tests' extras: the scene tests
# render off-screen through EGL, the program tests run it on Xvfb and look through Xlib.
BUILD_PACKAGES=(cmake g++ make freeglut3-dev libglu1-mesa-dev libgl-dev libgl1-mesa-dri)
TEST_PACKAGES=(libgtest-dev libegl-dev libegl-mesa0 libx11-dev xvfb xauth)

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

# Starts a private Xvfb on a display number nobody uses, from :100 up (never :0);
# exports DISPLAY and sets XVFB_PID. The caller stops it with stop_xvfb.
start_xvfb() {
  local number ready
  ready=$(mktemp)
  for number in $(seq 100 199); do
    [ -e "/tmp/.X${number}-lock" ] || [ -e "/tmp/.X11-unix/X${number}" ] && continue
    # -displayfd writes the number back once the server accepts clients.
    Xvfb ":$number" -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$ready" 2>/dev/null &
    XVFB_PID=$!
    while kill -0 "$XVFB_PID" 2>/dev/null && [ ! -s "$ready" ]; do
      sleep 0.05
    done
    if [ -s "$ready" ]; then
      rm -f "$ready"
      export DISPLAY=":$number"
      return 0
    fi
  done
  rm -f "$ready"
  echo "could not start Xvfb" >&2
  exit 1
}

stop_xvfb() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  XVFB_PID=
}
