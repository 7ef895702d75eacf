#!/bin/sh
# Stands in for systemctl in tests (KALVENT_SYSTEMCTL): appends its arguments to
# $FAKE_SYSTEMCTL_DIR/calls and answers as systemd 252 does for a user timer whose state it keeps
# in that folder ("on": enabled and running). A file "nobus" there makes it answer as without a
# session bus; "missing", as for a unit not installed.
dir=${FAKE_SYSTEMCTL_DIR:?}
echo "$*" >>"$dir/calls"
if [ -e "$dir/nobus" ]; then
    echo "Failed to connect to bus: No medium found" >&2
    exit 1
fi
[ "$1" = --user ] || { echo "only the user manager is faked" >&2; exit 1; }
shift
command=$1
shift
for last; do :; done
case $command in
enable)
    if [ -e "$dir/missing" ]; then
        echo "Failed to enable unit: Unit file $last does not exist." >&2
        exit 1
    fi
    echo "Created symlink $HOME/.config/systemd/user/timers.target.wants/$last → /usr/lib/systemd/user/$last." >&2
    touch "$dir/on" ;;
disable)
    echo "Removed \"$HOME/.config/systemd/user/timers.target.wants/$last\"." >&2
    rm -f "$dir/on" ;;
show)
    if [ -e "$dir/missing" ]; then
        printf 'NextElapseUSecRealtime=\nActiveState=inactive\nLoadState=not-found\nUnitFileState=\n'
    elif [ -e "$dir/on" ]; then
        printf 'NextElapseUSecRealtime=@1796551500\nActiveState=active\nLoadState=loaded\nUnitFileState=enabled\n'
    else
        printf 'NextElapseUSecRealtime=\nActiveState=inactive\nLoadState=loaded\nUnitFileState=disabled\n'
    fi ;;
*)
    echo "Unknown command verb $command." >&2
    exit 1 ;;
esac
