#!/bin/sh
# A throw-away PostgreSQL 15 server for the tests.
#   pg-server.sh start STATE   initdb in a new temporary folder as an unprivileged user, start
#                              on a free port of 127.0.0.1; writes the server's location
#                              (postgresql://USER@HOST:PORT/) to STATE/url and the folder's
#                              name to STATE/cluster
#   pg-server.sh start-tls STATE  the same with encrypted connections only: a certificate
#                              authority made here signs the server's certificate (for 127.0.0.1
#                              and localhost); its certificate is STATE/root.crt, that of an
#                              unrelated authority STATE/other-root.crt
#   pg-server.sh stop STATE    stops the server and removes its folder and STATE
#   pg-server.sh restart STATE stops and starts the same server on the same port
#   pg-server.sh halt STATE    stops the server at once (as a crash would), keeping its folder
#   pg-server.sh resume STATE  starts a halted server again on the same port
# Debian's binaries are used by their full path: other ones on PATH may differ.
set -eu

bin=/usr/lib/postgresql/15/bin
action="$1"
state="$(realpath -m "$2")"
# The cluster lives under /tmp, which the unprivileged user can reach whatever the build's path.
dir="$(cat "$state/cluster" 2>/dev/null || true)"

if [ ! -x "$bin/initdb" ]; then
    echo "pg-server.sh: $bin/initdb is missing (install postgresql-15)" >&2
    exit 1
fi

# The server refuses to run as root: it runs as nobody (or as the calling user otherwise).
if [ "$(id -u)" -eq 0 ]; then
    owner=nobody
    as_owner() { runuser -u "$owner" -- "$@"; }
    # Some bare systems (a chroot unpacked into a private folder) have a root folder that only
    # root may pass, so no other user reaches any program: let every user pass it, as the root
    # folder of an installed system does.
    if ! as_owner test -x "$bin/initdb" && [ "$(stat -c %u /)" -eq 0 ]; then
        echo "pg-server.sh: / lets no other user pass; allowing it (chmod o+x /)" >&2
        chmod o+x /
    fi
else
    owner="$(id -un)"
    as_owner() { "$@"; }
fi

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

pg_ctl_run() {
    as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 "$@"
}

start_server() {
    port="$(cat "$dir/port")"
    pg_ctl_run -o "-p $port -k $dir/socket -c listen_addresses=127.0.0.1 -c fsync=off \
-c full_page_writes=off -c max_connections=200 $(cat "$dir/options")" start >/dev/null
}

# A root certificate authority, the server's certificate signed by it, and another authority.
make_certificates() {
    if ! command -v openssl >/dev/null; then
        echo "pg-server.sh: openssl is missing (install openssl)" >&2
        exit 1
    fi
    ec="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
    for root in root other-root; do
        openssl req -x509 $ec -days 2 -subj "/CN=Kalvent test $root" \
            -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign \
            -keyout "$state/$root.key" -out "$state/$root.crt" 2>/dev/null
    done
    openssl req $ec -subj "/CN=127.0.0.1" -keyout "$dir/server.key" -out "$dir/server.csr" \
        2>/dev/null
    printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' >"$dir/server.ext"
    openssl x509 -req -in "$dir/server.csr" -CA "$state/root.crt" -CAkey "$state/root.key" \
        -CAcreateserial -days 2 -extfile "$dir/server.ext" -out "$dir/server.crt" 2>/dev/null
    # The server refuses a key that others may read.
    chown "$owner" "$dir/server.key" "$dir/server.crt"
    chmod 0600 "$dir/server.key"
}

case "$action" in
start | start-tls)
    [ -z "$dir" ] || "$0" stop "$state"
    mkdir -p "$state"
    dir="$(mktemp -d /tmp/kalvent-pg.XXXXXX)"
    echo "$dir" >"$state/cluster"
    mkdir -p "$dir/socket"
    chmod 0755 "$dir"
    chown "$owner" "$dir" "$dir/socket"
    # The test role without a password from 127.0.0.1; the role "kalvent_password" must give
    # its password (the tests of a refused sign-on).
    as_owner "$bin/initdb" -D "$dir/data" -U kalvent -E UTF8 --locale=C.UTF-8 \
        --auth-local=trust --auth-host=trust >"$dir/initdb.log" 2>&1 ||
        { cat "$dir/initdb.log" >&2; exit 1; }
    : >"$dir/options"
    if [ "$action" = start-tls ]; then
        make_certificates
        echo "-c ssl=on -c ssl_cert_file=$dir/server.crt -c ssl_key_file=$dir/server.key" \
            >"$dir/options"
    fi
    {
        # With TLS, a connection in cleartext over the network is turned away.
        [ "$action" = start ] || echo "hostnossl all all 127.0.0.1/32 reject"
        echo "host all kalvent_password 127.0.0.1/32 scram-sha-256"
        cat "$dir/data/pg_hba.conf"
    } >"$dir/hba.new"
    chown "$owner" "$dir/hba.new"
    mv "$dir/hba.new" "$dir/data/pg_hba.conf"
    free_port >"$dir/port"
    start_server || { cat "$dir/server.log" >&2; exit 1; }
    as_owner "$bin/psql" -h "$dir/socket" -p "$(cat "$dir/port")" -U kalvent -d postgres -q \
        -c "CREATE ROLE kalvent_password LOGIN PASSWORD 'right-password'" >/dev/null
    echo "postgresql://kalvent@127.0.0.1:$(cat "$dir/port")/" >"$state/url"
    cat "$state/url"
    ;;
restart)
    pg_ctl_run -m fast stop >/dev/null
    start_server
    ;;
halt)
    pg_ctl_run -m immediate stop >/dev/null
    ;;
resume)
    start_server
    ;;
stop)
    if [ -n "$dir" ] && [ -f "$dir/data/postmaster.pid" ]; then
        pg_ctl_run -m immediate stop >/dev/null || true
    fi
    [ -z "$dir" ] || rm -rf "$dir"
    rm -rf "$state"
    ;;
*)
    echo "usage: $0 start|start-tls|stop|restart|halt|resume DIR" >&2
    exit 2
    ;;
esac
