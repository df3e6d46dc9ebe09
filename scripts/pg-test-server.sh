#!/usr/bin/env bash
# Starts or stops a throwaway PostgreSQL server for the database tests.
#
#   pg-test-server.sh start DIR   initdb into a new temporary folder, start the
#                                 server on 127.0.0.1 at a free port, create the
#                                 database "linkvane_test" and write its URI to
#                                 DIR/server.uri (and the data folder to DIR/server.dir)
#   pg-test-server.sh stop DIR    stop that server and remove its folder
#
# PostgreSQL refuses to run as root: as root the server runs as the "postgres"
# system user. Any failure ends with a message and a non-zero exit status.
set -euo pipefail

action=${1:-}
state_dir=${2:-}
if [[ -z "$action" || -z "$state_dir" ]]; then
    echo "usage: $0 start|stop DIR" >&2
    exit 2
fi

find_bin() {
    local dir
    if command -v pg_config >/dev/null 2>&1; then
        dir=$(pg_config --bindir)
        if [[ -x "$dir/initdb" ]]; then
            echo "$dir"
            return
        fi
    fi
    for dir in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
        if [[ -x "$dir/initdb" ]]; then
            echo "$dir"
            return
        fi
    done
    echo "pg-test-server: no PostgreSQL server binaries (initdb) found; install the postgresql package" >&2
    exit 1
}

as_server_user() {
    if [[ $(id -u) -eq 0 ]]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()'
}

stop_server() {
    local dir=$1
    if [[ -d "$dir/data" ]]; then
        as_server_user "$BIN/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
}

BIN=$(find_bin)
mkdir -p "$state_dir"
state_dir=$(cd "$state_dir" && pwd)

case "$action" in
start)
    # A server left over from an interrupted run goes first.
    if [[ -f "$state_dir/server.dir" ]]; then
        stop_server "$(cat "$state_dir/server.dir")"
        rm -f "$state_dir/server.dir" "$state_dir/server.uri"
    fi
    dir=$(mktemp -d /tmp/linkvane-pg.XXXXXX)
    echo "$dir" >"$state_dir/server.dir"
    chmod 755 "$dir"
    if [[ $(id -u) -eq 0 ]]; then
        chown postgres: "$dir"
    fi
    if ! as_server_user "$BIN/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C \
        --no-sync >"$dir/initdb.log" 2>&1; then
        cat "$dir/initdb.log" >&2
        echo "pg-test-server: initdb failed" >&2
        exit 1
    fi
    started=
    for attempt in 1 2 3; do
        port=$(free_port)
        if as_server_user "$BIN/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
            -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off -c full_page_writes=off" \
            start >/dev/null 2>&1; then
            started=1
            break
        fi
    done
    if [[ -z "$started" ]]; then
        cat "$dir/server.log" >&2 || true
        echo "pg-test-server: the server did not start" >&2
        exit 1
    fi
    if ! "$BIN/psql" -h 127.0.0.1 -p "$port" -U postgres -d postgres -v ON_ERROR_STOP=1 -q \
        -c "CREATE DATABASE linkvane_test" >/dev/null; then
        echo "pg-test-server: cannot create the test database" >&2
        exit 1
    fi
    echo "postgresql://postgres@127.0.0.1:$port/linkvane_test" >"$state_dir/server.uri"
    echo "pg-test-server: started on 127.0.0.1:$port" >&2
    ;;
stop)
    if [[ -f "$state_dir/server.dir" ]]; then
        stop_server "$(cat "$state_dir/server.dir")"
    fi
    rm -f "$state_dir/server.dir" "$state_dir/server.uri"
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
