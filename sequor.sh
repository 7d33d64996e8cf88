#!/usr/bin/env bash
# Sets up, builds and runs Sequor on a Debian 12 machine.
#   ./sequor.sh run   installs what is missing, builds, starts Sequor on the simulated bench
#   ./sequor.sh test  installs what is missing, builds, runs every test offscreen
#   ./sequor.sh package  installs what is missing, builds, makes build/sequor_<version>_<arch>.deb
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$here/build"
packages=(build-essential cmake qt6-base-dev qt6-base-dev-tools qt6-charts-dev libqt6opengl6-dev
          libgl-dev qt6-qpa-plugins qt6-serialport-dev
          dpkg-dev file lintian desktop-file-utils appstream)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root apt-get update -q
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
    fi
}

build_all() {
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j"$(nproc)"
}

case "${1:-}" in
run)
    install_missing
    build_all
    SEQUOR_BUS="${SEQUOR_BUS:-sim}" exec "$build/sequor" "${@:2}"
    ;;
test)
    install_missing
    build_all
    cd "$build"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" "${@:2}"
    ;;
package)
    install_missing
    build_all
    cd "$build"
    cpack -G DEB
    ls "$build"/sequor_*.deb
    ;;
*)
    echo "usage: $0 run|test|package" >&2
    exit 2
    ;;
esac
