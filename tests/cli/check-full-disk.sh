#!/bin/sh
# The command-line tool on a nearly full disk: the data and configuration folders on a real
# small filesystem (tmpfs, and ext4 on a loop device where one can be made), filled to a few
# kilobytes free. Nothing the user relies on may be emptied or changed, nothing may be called
# kept that is not, and no command may die of a signal.
#   check-full-disk.sh KALVENT_CLI
set -u
cli=$1

fail() { echo "FAIL: $*"; exit 1; }

work=$(mktemp -d)
cleanup() {
    for fs in "$work"/fs-*; do
        [ -d "$fs" ] && umount "$fs" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

# Runs the tool; its status in $status, its output in $work/out and $work/err.
run() {
    "$cli" "$@" >"$work/out" 2>"$work/err"
    status=$?
    [ "$status" -lt 128 ] || fail "$* died of signal $((status - 128)) on $kind at $free KB free"
}

expect_refusal() {
    [ "$status" -eq 1 ] || fail "$what exited $status on $kind at $free KB free: $(cat "$work/out" "$work/err")"
    grep -q "на диске нет места" "$work/err" ||
        fail "$what on $kind at $free KB free does not say the disk is full: $(cat "$work/err")"
}

same() {
    cmp -s "$1" "$2" || fail "$what changed $(basename "$1") on $kind at $free KB free"
}

# Leaves $1 KB free for unprivileged writers on the filesystem at $fs.
fill_to() {
    rm -f "$fs/filler"
    sync
    available=$(df -k --output=avail "$fs" | tail -1 | tr -d ' ')
    [ "$available" -gt "$1" ] || return 0
    fallocate -l "$(((available - $1) * 1024))" "$fs/filler" 2>/dev/null ||
        dd if=/dev/zero of="$fs/filler" bs=1K count="$((available - $1))" 2>/dev/null
    sync
}

check_filesystem() {
    kind=$1
    fs=$2
    free=all
    export HOME="$fs/home" XDG_CONFIG_HOME="$fs/config" XDG_DATA_HOME="$fs/data"
    export DBUS_SESSION_BUS_ADDRESS=disabled:
    mkdir -p "$HOME"
    what=setup
    printf 'secret\n' >"$work/password"
    run service add "Стрижка"
    [ "$status" -eq 0 ] || fail "service add: $(cat "$work/err")"
    run source add "Газета"
    for booked in --booked "" --booked; do
        run add --service "Стрижка" --source "Газета" $booked
        [ "$status" -eq 0 ] || fail "add: $(cat "$work/err")"
    done
    for setting in "days 7" "times 00:00:00" "tems Отчеты" "senders boss@example.ru" \
        "nextdate 2000-01-01"; do
        # shellcheck disable=SC2086
        run settings set $setting
        [ "$status" -eq 0 ] || fail "settings set $setting: $(cat "$work/err")"
    done
    # Nothing listens on port 1: every mail fails as with a server that is down.
    run account set --server 127.0.0.1 --port 1 --security none --from desk@example.ru
    [ "$status" -eq 0 ] || fail "account set: $(cat "$work/err")"
    settings="$XDG_CONFIG_HOME/ZQ.conf"
    account="$XDG_CONFIG_HOME/Kalvent/mail-account.ini"
    cp "$settings" "$work/settings"
    cp "$account" "$work/account"
    run report by-source --from 2000-01-01 --to 2100-01-01 --format csv
    cp "$work/out" "$work/report"
    backups="$fs/backups"
    run backup --to "$backups"
    [ "$status" -eq 0 ] || fail "backup with room: $(cat "$work/err")"
    copy=$(ls "$backups"/KvBD-*.db)
    cp "$copy" "$work/copy"

    for free in 0 4 12 36 1024 4096; do
        fill_to "$free"
        what=dispatch
        run dispatch
        expect_refusal
        grep -q "Отчеты сохранены" "$work/out" "$work/err" && fail "dispatch called a mail kept"
        same "$settings" "$work/settings"
        [ -z "$(ls -A "$XDG_DATA_HOME/Kalvent/Outbox" 2>/dev/null)" ] ||
            fail "dispatch left something in the outbox on $kind at $free KB free"
        what=add
        run add --service "Стрижка" --source "Газета"
        expect_refusal
        # A small file may still fit: then it holds the new value, else it is as it was.
        what="settings set"
        run settings set days 3
        if [ "$status" -eq 0 ] && [ "$free" -gt 0 ]; then
            grep -q '^days=3$' "$settings" || fail "settings set stored no value at $free KB"
        else
            expect_refusal
            same "$settings" "$work/settings"
        fi
        what="account set"
        run account set --server 127.0.0.1 --port 1 --security starttls \
            --login me --password-stdin --from desk@example.ru <"$work/password"
        if [ "$status" -eq 0 ] && [ "$free" -gt 0 ]; then
            grep -q '^Login=me$' "$account" || fail "account set stored no login at $free KB"
        else
            expect_refusal
            same "$account" "$work/account"
        fi
        # A full backup folder: refused and told, the older copy and its mark as they were.
        what=backup
        run backup --to "$backups"
        expect_refusal
        same "$copy" "$work/copy"
        [ -s "$copy.verified" ] || fail "backup lost the older copy's mark at $free KB free"
        [ "$(ls "$backups" | wc -l)" -eq 2 ] ||
            fail "a full backup folder holds: $(ls -A "$backups")"
        cp "$settings" "$work/settings"
        cp "$account" "$work/account"
        [ -s "$settings" ] && [ -s "$account" ] || fail "an empty settings or account file"
    done

    # With room again, nothing was lost and a failed mail is kept whole.
    free=all
    rm -f "$fs/filler"
    run account set --server 127.0.0.1 --port 1 --security none --from desk@example.ru
    run report by-source --from 2000-01-01 --to 2100-01-01 --format csv
    cmp -s "$work/out" "$work/report" || fail "the calls changed on $kind"
    run settings set days 7
    run settings set nextdate 2000-01-01
    what="dispatch with room"
    run dispatch
    [ "$status" -eq 1 ] && grep -q "Отчеты сохранены" "$work/err" ||
        fail "a failed mail was not kept on $kind: $(cat "$work/out" "$work/err")"
    entries=$(ls "$XDG_DATA_HOME/Kalvent/Outbox")
    [ "$(echo "$entries" | wc -l)" -eq 1 ] || fail "outbox holds: $entries"
    for file in mail.json poist.htm pousl.htm point.htm podates.htm; do
        [ -s "$XDG_DATA_HOME/Kalvent/Outbox/$entries/$file" ] || fail "kept $file is empty"
    done
    run outbox list
    grep -q "$entries" "$work/out" || fail "outbox list does not show the kept mail"
    what="backup with room"
    run backup --to "$backups"
    [ "$status" -eq 0 ] || fail "no backup with room again on $kind: $(cat "$work/err")"
    run backup list --folder "$backups"
    [ "$(grep -c 'проверена' "$work/out")" -eq 2 ] || fail "backup list: $(cat "$work/out")"
    echo "$kind: refused cleanly at 0, 4, 12, 36, 1024 and 4096 KB free; kept whole with room;"
    echo "  the backup refused at each, the older copy kept, a new one verified with room"
}

mkdir -p "$work/fs-tmpfs"
if ! mount -t tmpfs -o size=20m tmpfs "$work/fs-tmpfs" 2>"$work/mount.err"; then
    echo "cannot mount a small filesystem here: $(cat "$work/mount.err")"
    exit 77
fi
check_filesystem tmpfs "$work/fs-tmpfs"

mkdir -p "$work/fs-ext4"
truncate -s 20M "$work/ext4.img"
if mkfs.ext4 -q -m 0 "$work/ext4.img" 2>/dev/null &&
    mount -o loop "$work/ext4.img" "$work/fs-ext4" 2>"$work/mount.err"; then
    check_filesystem ext4 "$work/fs-ext4"
else
    echo "no loop device here: ext4 not tried ($(cat "$work/mount.err" 2>/dev/null))"
fi
