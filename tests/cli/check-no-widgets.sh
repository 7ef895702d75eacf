#!/bin/sh
# kalvent-cli loads no Qt Widgets; the window program, read the same way, does.
#   check-no-widgets.sh KALVENT_CLI KALVENT
set -eu
cli=$(ldd "$1")
gui=$(ldd "$2")
echo "$gui" | grep -q 'libQt6Widgets' || { echo "ldd shows no Qt Widgets even in $2"; exit 1; }
echo "$cli" | grep -q 'libQt6Core' || { echo "ldd shows no Qt in $1"; exit 1; }
if echo "$cli" | grep 'libQt6Widgets\|libQt6PrintSupport\|libQt6Charts'; then
    echo "$1 loads widget libraries"
    exit 1
fi
echo "kalvent-cli loads no widget library"
