#!/usr/bin/env bash
# Kalvent on a Debian 12 machine:
#   ./kalvent.sh run    install what is missing, build, start Kalvent
#   ./kalvent.sh test   install what is missing, build, run every test
#   ./kalvent.sh test --sanitize  the same with AddressSanitizer and UBSan, in build-sanitize/
#   ./kalvent.sh build  install what is missing, build
#   ./kalvent.sh package  install what is missing, build, make build/kalvent_<version>_amd64.deb
#   ./kalvent.sh bench  build and run the database benchmark
#   ./kalvent.sh lint   build, then run clang-tidy (.clang-tidy) over src/ and bench/;
#                       fails on any finding
#   ./kalvent.sh fuzz [SECONDS [TARGET...]]  build the fuzz targets with clang in build-fuzz/
#                       and run each (or the named ones) for SECONDS (60) on its corpus
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${KALVENT_BUILD_DIR:-$here/build}"
jobs="${KALVENT_JOBS:-2}"

build_packages=(
    g++ make cmake pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-charts-dev qt6-svg-dev libqt6svg6 libgl-dev libqt6opengl6-dev
    libqt6sql6-sqlite libqt6sql6-psql libsqlite3-dev libcurl4-openssl-dev libxcb1-dev qtkeychain-qt6-dev
    qt6-qpa-plugins qt6-image-formats-plugins fonts-liberation qt6-translations-l10n
)
package_packages=(dpkg-dev file)
fuzz_packages=(clang libclang-rt-14-dev llvm-14)
lint_packages=(clang-tidy)
# postgresql-15: the tests start their own server (tests/support/pg-server.sh). dbus-daemon,
# gnome-keyring, gdbus: a private session with a secret store for the password test. gnumeric:
# its ssconvert reads the analysis's CSV as a spreadsheet does. poppler-utils: the analysis PDF
# read back as text.
test_packages=(python3 python3-aiosmtpd openssl ca-certificates xvfb postgresql-15 gnumeric
    poppler-utils dbus-daemon gnome-keyring libsecret-1-0 libglib2.0-bin
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

# Extra arguments go to the configuration. KALVENT_WERROR=1 (set by CI) makes warnings errors,
# KALVENT_WERROR=0 stops that; unset, the build keeps what it was configured with.
do_build() {
    local werror=()
    case "${KALVENT_WERROR:-}" in
    1) werror=(-DKALVENT_WERROR=ON) ;;
    0) werror=(-DKALVENT_WERROR=OFF) ;;
    esac
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${werror[@]}" "$@" >/dev/null
    cmake --build "$build" -j "$jobs"
}

sanitize_flags="-fsanitize=address,undefined -fno-omit-frame-pointer"
# Leaks of the libraries below the program are listed in tests/lsan.supp; every other leak
# fails the test that made it.
sanitizer_environment() {
    export ASAN_OPTIONS="detect_leaks=1"
    export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
}

# Runs one fuzz target for $1 seconds; prints its executions and findings.
fuzz_target() {
    local seconds="$1" name="$2" dir="$3"
    local work="$dir/corpus/$name" findings="$dir/findings/$name" log="$dir/logs/$name.log"
    mkdir -p "$work" "$findings" "$dir/logs"
    local before status=0
    before=$(find "$findings" -type f | wc -l)
    nice -n 19 "$dir/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=25 \
        -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$findings/" \
        "$work" "$here/fuzz/corpus/$name" >"$log" 2>&1 || status=$?
    local executions found
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    found=$(($(find "$findings" -type f | wc -l) - before))
    printf '%-16s %12s executions  %d findings  exit %d  (%s)\n' "$name" "${executions:-?}" \
        "$found" "$status" "$log"
    [ "$found" -eq 0 ] && [ "$status" -eq 0 ]
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
    if [ "${2:-}" = "--sanitize" ]; then
        build="${KALVENT_SANITIZE_BUILD_DIR:-$here/build-sanitize}"
        do_build -DCMAKE_CXX_FLAGS="$sanitize_flags"
        sanitizer_environment
    else
        do_build
    fi
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
lint)
    install_missing "${build_packages[@]}" "${lint_packages[@]}"
    do_build
    # The program's own sources as compiled (generated moc files left out), checked in parallel.
    python3 - "$build/compile_commands.json" "$here" >"$build/lint-files" <<'PY'
import json, sys
root = sys.argv[2] + "/"
files = {e["file"] for e in json.load(open(sys.argv[1]))}
print("\n".join(sorted(f for f in files
                       if f.startswith((root + "src/", root + "bench/")) and "_autogen" not in f)))
PY
    echo "clang-tidy: $(wc -l <"$build/lint-files") files"
    status=0
    xargs -P "$jobs" -n 4 clang-tidy --quiet -p "$build" <"$build/lint-files" \
        >"$build/lint-findings" 2>"$build/lint-log" || status=$?
    cat "$build/lint-findings"
    if [ "$status" -ne 0 ] || [ -s "$build/lint-findings" ]; then
        echo "clang-tidy found problems (see above and $build/lint-log)" >&2
        exit 1
    fi
    echo "clang-tidy: no findings"
    ;;
fuzz)
    seconds="${2:-60}"
    install_missing "${build_packages[@]}" "${fuzz_packages[@]}"
    build="${KALVENT_FUZZ_BUILD_DIR:-$here/build-fuzz}"
    if [ $# -gt 2 ]; then
        targets=("${@:3}")
    else
        targets=()
        for source in "$here"/fuzz/*.cpp; do
            targets+=("$(basename "$source" .cpp)")
        done
    fi
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
        -DKALVENT_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$build" -j "$jobs" --target "${targets[@]/#/fuzz_}"
    export ASAN_OPTIONS="detect_leaks=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    failed=0
    for name in "${targets[@]}"; do
        fuzz_target "$seconds" "$name" "$build" || failed=1
    done
    [ "$failed" -eq 0 ] || echo "Findings are in $build/findings/<target>/" >&2
    exit "$failed"
    ;;
*)
    echo "usage: $0 run|test [--sanitize]|build|package|bench|lint|fuzz [SECONDS [TARGET...]]" >&2
    exit 2
    ;;
esac
