#!/bin/sh
# The mail password in the desktop's secret store, and in the account file only where none runs.
#   check-secret-store.sh KALVENT_CLI SMTP_SERVER_PY
# Runs itself again inside a private D-Bus session with an unlocked GNOME Keyring; the mail
# server asks for the password, so a delivered mail proves it came back from the store.
set -eu
cli=$1
server=$2
. "$(dirname "$0")/../packaging/require.sh"
require dbus-run-session gnome-keyring-daemon gdbus python3

fail() { echo "FAIL: $*"; exit 1; }

if [ -z "${KALVENT_IN_SESSION:-}" ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    export KALVENT_IN_SESSION=1 WORK="$work"

    # Without a session bus (cron, a server): the password goes to the 0600 file.
    HOME=$work/nobus XDG_CONFIG_HOME=$work/nobus/config XDG_DATA_HOME=$work/nobus/data
    export HOME XDG_CONFIG_HOME XDG_DATA_HOME
    printf 'pa$$ word\n' | env -u DBUS_SESSION_BUS_ADDRESS "$cli" account set --server mail.example.ru \
        --port 587 --security starttls --login me --password-stdin --from desk@example.ru >/dev/null
    file=$XDG_CONFIG_HOME/Kalvent/mail-account.ini
    grep -qx 'Password=pa$$ word' "$file" || fail "no password in the file without a store"
    [ "$(stat -c %a "$file")" = 600 ] || fail "account file is $(stat -c %a "$file")"
    env -u DBUS_SESSION_BUS_ADDRESS "$cli" account show | grep -q '^Пароль: в файле учётной записи' ||
        fail "account show does not name the file"

    dbus-run-session -- sh "$0" "$cli" "$server" 2>"$work/session.log" ||
        { cat "$work/session.log"; exit 1; }
    echo "secret store and file fallback: ok"
    exit 0
fi

# Inside the private session.
HOME=$WORK/desk XDG_CONFIG_HOME=$WORK/desk/config XDG_DATA_HOME=$WORK/desk/data
XDG_RUNTIME_DIR=$WORK/desk/run
export HOME XDG_CONFIG_HOME XDG_DATA_HOME XDG_RUNTIME_DIR
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
printf 'unlock' | gnome-keyring-daemon --unlock --components=secrets >/dev/null


port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
/usr/bin/python3 "$server" --port "$port" --out "$WORK/mail" --auth-user me --auth-password 'Секрет 1' \
    --lifetime 120 >"$WORK/server.out" &
server_pid=$!
trap 'kill $server_pid 2>/dev/null; true' EXIT
for _ in $(seq 100); do grep -q READY "$WORK/server.out" 2>/dev/null && break; sleep 0.1; done
grep -q READY "$WORK/server.out" || fail "the mail server did not start"

# A password left in the file moves to the store at the next start in a desktop session.
mkdir -p "$XDG_CONFIG_HOME/Kalvent"
cp "$WORK/nobus/config/Kalvent/mail-account.ini" "$XDG_CONFIG_HOME/Kalvent/"
"$cli" account show | grep -qx "Пароль: в хранилище секретов рабочего стола" ||
    fail "the password in the file did not move to the store"
grep -q '^Password=' "$XDG_CONFIG_HOME/Kalvent/mail-account.ini" && fail "the file still holds it"

# How many items the secret store holds, asked over D-Bus rather than through the program.
store_items() {
    gdbus call --session --dest org.freedesktop.secrets --object-path /org/freedesktop/secrets \
        --method org.freedesktop.Secret.Service.SearchItems '{}' | grep -o "/collection/[^']*" | wc -l
}

printf 'Секрет 1\n' | "$cli" account set --server 127.0.0.1 --port "$port" --security none \
    --login me --password-stdin --from desk@example.ru >"$WORK/set.out" 2>&1 &&
    fail "a login without encryption was stored without --allow-plaintext"
grep -q -- '--allow-plaintext' "$WORK/set.out" || fail "unclear refusal: $(cat "$WORK/set.out")"
printf 'Секрет 1\n' | "$cli" account set --server 127.0.0.1 --port "$port" --security none \
    --login me --password-stdin --allow-plaintext --from desk@example.ru |
    grep -qx "Пароль: в хранилище секретов рабочего стола" ||
    fail "account set did not use the secret store"
file=$XDG_CONFIG_HOME/Kalvent/mail-account.ini
grep -q 'Секрет' "$file" && fail "the password is in the file"
grep -qx 'PasswordStore=secret-store' "$file" || fail "the file does not point to the store"
"$cli" account show | grep -qx "Пароль: в хранилище секретов рабочего стола" ||
    fail "account show does not name the store"

"$cli" settings set senders owner@example.ru
"$cli" settings set tems 'Отчеты'
"$cli" settings set days 7
"$cli" send-now >/dev/null || fail "send-now failed"
ls "$WORK/mail"/*.json >/dev/null 2>&1 || fail "no mail arrived"
grep -q '"authenticated": true' "$WORK"/mail/*.json || fail "the mail was not authenticated"

# A stored pointer whose entry is gone: a clear refusal, not an empty password.
env -u DBUS_SESSION_BUS_ADDRESS "$cli" account show >"$WORK/show.out" 2>&1 &&
    fail "account show without the store succeeded"
grep -q 'хранилище паролей' "$WORK/show.out" || fail "unclear message: $(cat "$WORK/show.out")"

# Saved again without a password: nothing of it stays in the store.
[ "$(store_items)" = 1 ] || fail "the store holds $(store_items) items, not the one password"
"$cli" account set --server 127.0.0.1 --port "$port" --security starttls --login me \
    --from desk@example.ru | grep -qx "Пароль: нет" || fail "account set without a password"
[ "$(store_items)" = 0 ] || fail "the store still holds $(store_items) items"
