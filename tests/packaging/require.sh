# Sourced by the packaging checks: require TOOL... or skip (exit 77), failing instead under CI.
require() {
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "$tool is missing (./kalvent.sh test installs it)"
            [ -n "${CI:-}" ] && exit 1
            exit 77
        fi
    done
}
