#!/usr/bin/env bash
# Kalvent on a Debian 12 machine:
#   ./kalvent.sh run    install what is missing, build, start Kalvent
#   ./kalvent.sh test   install what is missing, build, run every test
#   ./kalvent.sh build  install what is missing, build
#   ./kalvent.sh package  install what is missing, build, make build/kalvent_<version>_amd64.deb
#   ./kalvent.sh bench  build and run the database benchmark
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${KALVENT_BUILD_DIR:-$here/build}"
jobs="${KALVENT_JOBS:-2}"

build_packages=(
    g++ make cmake pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-charts-dev qt6-svg-dev libqt6svg6 libgl-dev libqt6opengl6-dev
    libqt6sql6-sqlite libsqlite3-dev libcurl4-openssl-dev libxcb1-dev
    qt6-qpa-plugins qt6-image-formats-plugins fonts-liberation qt6-translations-l10n
)
package_packages=(dpkg-dev file)
test_packages=(python3 python3-aiosmtpd openssl ca-certificates xvfb
    "${package_packages[@]}" desktop-file-utils appstream lintian)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() {
    local missing=()
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
    fi
}

do_build() {
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j "$jobs"
}

case "${1:-}" in
run)
    install_missing "${build_packages[@]}"
    do_build
    exec "$build/src/kalvent"
    ;;
build)
    install_missing "${build_packages[@]}"
    do_build
    ;;
test)
    install_missing "${build_packages[@]}" "${test_packages[@]}"
    do_build
    cd "$build"
    ctest --output-on-failure -j "$jobs" --timeout 600
    ;;
package)
    install_missing "${build_packages[@]}" "${package_packages[@]}"
    do_build
    (cd "$build" && cpack -G DEB)
    ;;
bench)
    install_missing "${build_packages[@]}"
    do_build
    exec "$build/bench/kalvent-bench" "${@:2}"
    ;;
*)
    echo "usage: $0 run|test|build|package|bench" >&2
    exit 2
    ;;
esac
