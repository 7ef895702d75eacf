#!/bin/sh
# Loopback SMTP server for trying the mail sending by hand: every message it receives is
# stored in a Maildir. Uses aiosmtpd (Debian package python3-aiosmtpd).
#
#   scripts/smtp-test-server.sh start|stop|status
#
# Environment: SMTP_TEST_PORT (default 2525), SMTP_TEST_DIR (default
# ${TMPDIR:-/tmp}/kalvent-smtp-test; messages land in its mail/new), SMTP_TEST_PYTHON
# (default /usr/bin/python3). Point the mail account at 127.0.0.1, that port, security None.
set -eu

PORT="${SMTP_TEST_PORT:-2525}"
DIR="${SMTP_TEST_DIR:-${TMPDIR:-/tmp}/kalvent-smtp-test}"
PYTHON="${SMTP_TEST_PYTHON:-/usr/bin/python3}"
PIDFILE="$DIR/server.pid"
MAILDIR="$DIR/mail"

running() {
    [ -f "$PIDFILE" ] && kill -0 "$(cat "$PIDFILE")" 2>/dev/null
}

listening() {
    "$PYTHON" -c 'import socket, sys
s = socket.socket()
s.settimeout(1)
sys.exit(0 if s.connect_ex(("127.0.0.1", int(sys.argv[1]))) == 0 else 1)' "$PORT"
}

case "${1:-}" in
start)
    if running; then
        echo "already running (pid $(cat "$PIDFILE")), mail in $MAILDIR/new"
        exit 0
    fi
    "$PYTHON" -c 'import aiosmtpd' 2>/dev/null || {
        echo "aiosmtpd is missing: apt-get install python3-aiosmtpd" >&2
        exit 1
    }
    mkdir -p "$MAILDIR/new" "$MAILDIR/cur" "$MAILDIR/tmp"
    nohup "$PYTHON" -m aiosmtpd -n -l "127.0.0.1:$PORT" -c aiosmtpd.handlers.Mailbox "$MAILDIR" \
        >"$DIR/server.log" 2>&1 &
    echo $! >"$PIDFILE"
    tries=0
    until listening; do
        tries=$((tries + 1))
        if ! running || [ "$tries" -ge 50 ]; then
            echo "the server did not start; see $DIR/server.log" >&2
            kill "$(cat "$PIDFILE")" 2>/dev/null || true
            rm -f "$PIDFILE"
            exit 1
        fi
        sleep 0.2
    done
    echo "listening on 127.0.0.1:$PORT (pid $(cat "$PIDFILE")), mail in $MAILDIR/new"
    ;;
stop)
    if running; then
        kill "$(cat "$PIDFILE")"
        echo "stopped"
    else
        echo "not running"
    fi
    rm -f "$PIDFILE"
    ;;
status)
    if running; then
        echo "running (pid $(cat "$PIDFILE")) on 127.0.0.1:$PORT, mail in $MAILDIR/new"
    else
        echo "not running"
        exit 1
    fi
    ;;
*)
    echo "usage: $0 start|stop|status" >&2
    exit 2
    ;;
esac
