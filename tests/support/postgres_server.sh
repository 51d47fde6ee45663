#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests, on a Unix socket in a folder
# of its own, with no TCP port: `start DIR` makes the cluster in DIR/data and
# starts it with its socket in DIR; `stop DIR` stops it and removes DIR.
# `start-shared FILE` and `stop-shared FILE` do the same for a folder made
# under /tmp and named in FILE, so that every test program of one run uses
# one server; start-shared never fails (the tests then start their own).
# The server refuses to run as root: as root it runs as nobody.
set -uo pipefail

bin=""
for candidate in /usr/lib/postgresql/*/bin; do
  [ -x "$candidate/initdb" ] && bin=$candidate
done

start() {
  local dir=$1
  [ -n "$bin" ] || { echo "no PostgreSQL server binaries under /usr/lib/postgresql" >&2; return 1; }
  mkdir -p "$dir" || return 1
  local as=()
  if [ "$(id -u)" -eq 0 ]; then
    chown nobody:nogroup "$dir" || return 1
    as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  fi
  "${as[@]}" "$bin/initdb" -D "$dir/data" -U folim --auth=trust -E UTF8 --no-sync \
    >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; return 1; }
  # A user who must give a password, for the tests of refused credentials.
  printf 'local all folim trust\nlocal all all scram-sha-256\n' >"$dir/data/pg_hba.conf"
  "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off" \
    -o "-c synchronous_commit=off -c full_page_writes=off -c max_connections=100" \
    start >/dev/null || { cat "$dir/server.log" >&2; return 1; }
}

stop() {
  local dir=$1
  [ -d "$dir/data" ] || return 0
  local as=()
  [ "$(id -u)" -eq 0 ] && as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate -w -t 60 stop >/dev/null 2>&1
  rm -rf "$dir"
}

case "${1:-}" in
  start) start "$2" ;;
  stop) stop "$2" ;;
  start-shared)
    rm -f "$2"
    dir=$(mktemp -d /tmp/folim-pg.XXXXXX) || exit 0
    if start "$dir"; then echo "$dir" >"$2"; else rm -rf "$dir"; fi
    exit 0
    ;;
  stop-shared)
    [ -f "$2" ] && stop "$(cat "$2")"
    rm -f "$2"
    ;;
  *) echo "usage: $0 start|stop DIR | start-shared|stop-shared FILE" >&2; exit 2 ;;
esac
