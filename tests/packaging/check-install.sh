#!/bin/sh
# The installed tree: every file in place, the desktop entry and AppStream data valid, the
# command-line program runs from it.   check-install.sh BUILD_DIR
set -eu
build=$1
. "$(dirname "$0")/require.sh"
require desktop-file-validate appstreamcli
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
cmake --install "$build" --prefix "$root/usr" >/dev/null

share=$root/usr/share
for f in bin/kalvent bin/kalvent-cli; do
    [ -x "$root/usr/$f" ] || { echo "missing $f"; exit 1; }
done
for f in applications/ru.kalvent.Kalvent.desktop metainfo/ru.kalvent.Kalvent.metainfo.xml \
         icons/hicolor/scalable/apps/kalvent.svg man/man1/kalvent-cli.1.gz man/man1/kalvent.1.gz \
         doc/kalvent/copyright doc/kalvent/changelog.gz; do
    [ -s "$share/$f" ] || { echo "missing share/$f"; exit 1; }
done
for side in 16 24 32 48 64 128 256; do
    png=$share/icons/hicolor/${side}x$side/apps/kalvent.png
    # The PNG header holds width and height as big-endian words at bytes 16 and 20.
    dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
    [ "$dims" = "${side}x$side" ] || { echo "$png is $dims"; exit 1; }
done

desktop=$share/applications/ru.kalvent.Kalvent.desktop
desktop-file-validate "$desktop"
grep -qx 'Name=Kalvent' "$desktop"
grep -qx 'Categories=Office;' "$desktop"
LC_ALL=C grep -q '^Comment\[ru\]=.*[^ -~]' "$desktop"  # Russian text
grep -qx 'Exec=kalvent' "$desktop"
appstreamcli validate --no-net "$share/metainfo/ru.kalvent.Kalvent.metainfo.xml"
zcat "$share/man/man1/kalvent-cli.1.gz" | grep -q '^\.SH COMMANDS'

# The background mailing's user units: valid for systemd, every five minutes, made up after a
# shutdown, and wanted by the timers only once enabled.
units=$root/usr/lib/systemd/user
timer=$units/kalvent-dispatch.timer
service=$units/kalvent-dispatch.service
[ -s "$timer" ] && [ -s "$service" ] || { echo "missing the user units in $units"; exit 1; }
if command -v systemd-analyze >/dev/null; then
    run=$(mktemp -d)
    XDG_RUNTIME_DIR=$run systemd-analyze --user verify --man=no "$timer" "$service"
    rm -rf "$run"
    every=$(sed -n 's/^OnCalendar=//p' "$timer")
    systemd-analyze calendar "$every" | grep -qx 'Normalized form: \*-\*-\* \*:00/5:00' ||
        { echo "the timer does not run every five minutes: $every"; exit 1; }
fi
grep -qx 'Persistent=true' "$timer"
grep -qx 'WantedBy=timers.target' "$timer"
grep -qx 'Type=oneshot' "$service"
grep -q '^ExecStart=.*kalvent-cli dispatch;.*kalvent-cli backup --auto' "$service"

"$root/usr/bin/kalvent-cli" --help | grep -q '^использование: kalvent-cli'
echo "installed tree is complete and valid"
