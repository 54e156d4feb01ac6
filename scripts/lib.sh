# Shared by the scripts, sourced from the repository's root folder: the packages they need,
# configuring and building, the sanitizers' settings and reports, and starting lumo-sim.

# To build the panel on Qt 5.15 and on Qt 6 (the private headers let the accessibility test switch
# accessibility on; QtDBus comes with qtbase5-dev and qt6-base-dev; libmosquitto gives the MQTT
# bridge) and to run its session bus test (dbus-run-session) and its MQTT tests (Mosquitto and its
# clients); to run its tests on an X server and its accessibility bus; to build with clang and the
# sanitizers.
LUMO_BUILD_PACKAGES=(cmake g++ make pkg-config qtbase5-dev libqt5serialport5-dev qt6-base-dev
    qt6-serialport-dev qtbase5-private-dev qt6-base-private-dev dbus-daemon libmosquitto-dev
    mosquitto mosquitto-clients)
LUMO_X_PACKAGES=(xvfb xauth xdotool imagemagick x11-apps at-spi2-core python3-pyatspi dbus-bin)
LUMO_CLANG_PACKAGES=(clang libclang-rt-14-dev llvm)
# To build Qt and the panel for Windows (MinGW-w64 in the posix thread model), package them
# (NSIS, zip) and run them under Wine on an X server.
LUMO_WINDOWS_PACKAGES=(gcc g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    libz-mingw-w64-dev nsis zip unzip wine wine64 xz-utils perl python3 xvfb xauth xdotool
    imagemagick)

# Where ./scripts/windows keeps Qt built for Windows, outside the tree; LUMO_WIN_QT chooses
# another folder.
windows_qt_folder() {
    echo "${LUMO_WIN_QT:-${XDG_CACHE_HOME:-$HOME/.cache}/lumo-win/qt-5.15.8-mingw64}"
}

# To build the benchmarks and draw their plots.
LUMO_BENCH_PACKAGES=(libbenchmark-dev gnuplot-nox)

# Installs the Debian packages named that are not there yet.
ensure_packages() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install \
        -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build FOLDER [CMake options...] [--target TARGET...]
# Configures the build folder with the options and builds it (only the targets, when named).
configure_and_build() {
    local build=$1 options=() targets=()
    shift
    while [ $# -gt 0 ]; do
        if [ "$1" = --target ]; then
            targets=("$@")
            break
        fi
        options+=("$1")
        shift
    done
    cmake -S . -B "$build" "${options[@]}" >/dev/null
    cmake --build "$build" -j "$(nproc)" "${targets[@]}"
}

# build_and_test FOLDER [CMake options...]
# Configures and builds the folder, then runs its CTest suite off screen.
build_and_test() {
    local build=$1
    configure_and_build "$@"
    (cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j 2)
}

# Builds with clang from now on, when it is installed and CXX does not choose otherwise.
use_clang_if_there() {
    if [ -z "${CXX:-}" ] && command -v clang++ >/dev/null; then
        export CC=clang CXX=clang++
    fi
}

# The CMake option for a sanitized build.
LUMO_SANITIZE_OPTION=-DLUMO_SANITIZE=address,undefined

# Run-time settings for sanitized programs: every report is fatal; slow unwinding gives the leak
# reports whole stacks, which the suppressions in scripts/lsan.supp need.
export_sanitizer_settings() {
    export ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0:detect_stack_use_after_return=1:strict_init_order=1:check_initialization_order=1
    export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
}

# Whether the log holds a sanitizer report: one from a process whose exit status nobody looked
# at counts too.
has_sanitizer_report() {
    grep -qE 'runtime error:|ERROR: (Address|Leak|UndefinedBehavior)Sanitizer' "$1"
}

# start_simulator TRACE CHANNELS [lumo-sim options...]
# Starts lumo-sim (path in `simulator`) with its trace into the file TRACE, writing the address
# file CHANNELS. Sets `sim` (its process id, also added to the array `pids`) and `port` (the
# pseudo-terminal the panel is to open). Fails when lumo-sim ends or prints no port within 10 s.
start_simulator() {
    local trace=$1 channels=$2
    shift 2
    "$simulator" --trace --channels-file "$channels" "$@" >"$trace" &
    sim=$!
    pids+=("$sim")
    port=
    for _ in $(seq 100); do
        port=$(grep -m1 '^/dev/' "$trace" || true)
        [ -n "$port" ] && return 0
        kill -0 "$sim" 2>/dev/null || break
        sleep 0.1
    done
    echo "lumo-sim did not start" >&2
    return 1
}
