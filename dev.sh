#!/usr/bin/env bash
# One command each to build and start Pomvane, to build and run every test, and to run the
# benchmarks, on Debian 12. Installs the Debian packages it needs when they are missing.
#   ./dev.sh run      build the window, then start it
#   ./dev.sh test     build everything, then run every test under CTest
#   ./dev.sh bench    build, then time pomvane-count against plain floors, dd and rg
#   ./dev.sh deps [windows] [arm64]
#                     install only the packages: those of the commands above, and those of
#                     the Windows cross-build and its checks under wine, or of the ARM64 one
set -euo pipefail
cd "$(dirname "$0")"

packages=(
    cmake ninja-build g++ pkg-config qt6-base-dev qt6-l10n-tools qt6-translations-l10n fonts-dejavu-core
    googletest libbenchmark-dev git ripgrep python3
    xvfb xauth xdotool xclip x11-utils desktop-file-utils appstream dpkg-dev file time
    mutter xwayland dbus qt6-wayland
    scdoc lintian
)
windows_packages=(g++-mingw-w64-x86-64-posix wine wine64 nsis)
arm64_packages=(g++-aarch64-linux-gnu)

# install_missing PACKAGE...: installs those that are not installed yet.
install_missing() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null | grep -qx installed \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "dev.sh: installing ${missing[*]}" >&2
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# build [TARGET...]: configures build/ and builds the targets named, or everything.
build() {
    install_missing "${packages[@]}"
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    if [ $# -gt 0 ]; then
        cmake --build build --target "$@"
    else
        cmake --build build
    fi
}

case "${1:-}" in
deps)
    shift
    wanted=("${packages[@]}")
    for group in "$@"; do
        case $group in
        windows) wanted+=("${windows_packages[@]}") ;;
        arm64) wanted+=("${arm64_packages[@]}") ;;
        *) echo "dev.sh deps: unknown group '$group' (windows, arm64)" >&2; exit 2 ;;
        esac
    done
    install_missing "${wanted[@]}"
    ;;
run)
    shift
    # Only the window: a first start need not wait for the tests and benchmarks.
    build pomvane
    exec build/ui/pomvane "$@"
    ;;
test)
    build
    ctest --test-dir build --output-on-failure -j "$(nproc)"
    ;;
bench)
    build
    exec bench/run.sh build
    ;;
*)
    echo "usage: ./dev.sh run | test | bench | deps [windows] [arm64]" >&2
    exit 2
    ;;
esac
