#!/usr/bin/env bash
# One command each to build and start Pomvane, to build and run every test, and to run the
# benchmarks, on Debian 12. Installs the Debian packages it needs when they are missing.
#   ./dev.sh run      build, then start the window
#   ./dev.sh test     build, then run every test under CTest
#   ./dev.sh bench    build, then time pomvane-count against wc and dd
set -euo pipefail
cd "$(dirname "$0")"

packages=(
    cmake ninja-build g++ pkg-config qt6-base-dev fonts-dejavu-core
    googletest libbenchmark-dev
    xvfb xauth xdotool xclip x11-utils desktop-file-utils appstream dpkg-dev file time
)

install_missing() {
    local missing=() package
    for package in "${packages[@]}"; do
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

build() {
    install_missing
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build
}

case "${1:-}" in
run)
    shift
    build
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
    echo "usage: ./dev.sh run | test | bench" >&2
    exit 2
    ;;
esac
