#!/usr/bin/env bash
# A throwaway PostgreSQL cluster that stands in for the report database.
#
#   cluster.sh start DIR PORT              initdb DIR if needed (DIR new or empty), start
#                                          the server on 127.0.0.1:PORT, make the
#                                          templates rc_empty and rc_demo if they are
#                                          missing
#   cluster.sh stop DIR                    stop the server and remove DIR, only when
#                                          start made DIR (it holds start's marker)
#   cluster.sh createdb DIR PORT NAME [SIZE]
#                                          (re)make database NAME (case kept; ASCII
#                                          letters, digits, underscores, at most 63
#                                          bytes) with the compatibility layer and
#                                          schema, and demo data of SIZE organisations
#                                          when SIZE is given; an existing NAME is
#                                          replaced only by a complete new one
#
# Superuser ADMIN, password "reportcheck", password authentication (scram) only,
# listening on 127.0.0.1 only. Databases use encoding UTF8 and collation C, so
# text comparisons and ORDER BY are byte comparisons.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
SUPERUSER=ADMIN
PASSWORD=reportcheck
DEMO_TEMPLATE_SIZE=${RC_DEMO_TEMPLATE_SIZE:-300}
# start leaves this file in the folder it makes (or claims while the folder is
# empty); stop removes no folder without it.
MARKER=.made-by-cluster.sh
# The server keeps at most this many bytes of a name and cuts longer ones.
NAME_MAX_BYTES=63

die() { echo "cluster.sh: $*" >&2; exit 1; }

pg_bin() {
  local bin
  bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
  [[ -n "$bin" && -x "$bin/pg_ctl" ]] || die "no PostgreSQL server binaries under /usr/lib/postgresql/*/bin"
  echo "$bin"
}

# The server refuses to run as root: then every server command runs as the
# postgres system user.
as_server_user() {
  if [[ $(id -u) -eq 0 ]]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

has_marker() { [[ -f "$1/$MARKER" && ! -L "$1/$MARKER" ]]; }

# Marks DIR as start's own, so that stop may remove it later: a folder this run
# made or found empty, or one that start marked before. Any other folder is
# refused untouched, since stop would delete it with everything in it: also a
# cluster folder without the marker (one from before the marker, say), which
# may hold other files beside the cluster.
# created: 1 when this run made DIR.
claim() {
  local dir=$1 created=$2
  has_marker "$dir" && return 0
  if [[ $created -eq 0 && -n "$(ls -A -- "$dir")" ]]; then
    if [[ -f "$dir/data/PG_VERSION" ]]; then
      die "$dir holds a database cluster but no $MARKER, so nothing shows that cluster.sh made it or that the folder holds nothing else; nothing in it was touched. If cluster.sh made it and everything in $dir may be deleted, create the marker (touch $dir/$MARKER) and run start again (stop then deletes $dir with everything in it); otherwise stop its server yourself ($(pg_bin)/pg_ctl -D $dir/data stop, as the user it runs as) and give start a new or empty folder"
    fi
    die "$dir is not empty and was not made by cluster.sh start; give a new or empty folder"
  fi
  printf 'Made by db/cluster.sh start; "db/cluster.sh stop" deletes this folder.\n' >"$dir/$MARKER"
}

# When root runs the server as postgres, postgres must own DIR and be able to
# walk down to it. Folders this script did not make keep their owners and
# permissions: when postgres cannot reach DIR, start refuses and says why.
# created: 1 when this run made DIR.
make_reachable() {
  local dir=$1 created=$2 p blocked
  [[ $(id -u) -eq 0 ]] || return 0
  id postgres >/dev/null 2>&1 || die "system user postgres is missing (install postgresql)"
  if ! runuser -u postgres -- test -x "$dir"; then
    p=$dir
    while [[ "$p" != "/" ]] && ! runuser -u postgres -- test -x "$p"; do
      blocked=$p
      p=$(dirname "$p")
    done
    [[ $created -eq 1 ]] && rmdir "$dir"
    die "the postgres user cannot reach $dir: $blocked is not searchable for it, and this script changes no folder it did not make; use a folder the postgres user can reach (for instance under /tmp)"
  fi
  if [[ $created -eq 1 ]]; then
    chown postgres: "$dir"
  elif [[ $(stat -c %U "$dir") != postgres ]]; then
    die "$dir exists and is not owned by postgres; as root, give a new folder (the script makes it) or one that postgres owns"
  fi
}

psql_admin() {
  local port=$1 db=$2
  shift 2
  PGPASSWORD=$PASSWORD PGCONNECT_TIMEOUT=10 PGOPTIONS="-c client_min_messages=warning" psql -X -q -v ON_ERROR_STOP=1 \
    -h 127.0.0.1 -p "$port" -U "$SUPERUSER" -d "$db" "$@"
}

db_exists() {
  local port=$1 name=$2
  [[ $(psql_admin "$port" postgres -tAc "SELECT 1 FROM pg_database WHERE datname = '$name'") == 1 ]]
}

sql_ident() { printf '"%s"' "${1//\"/\"\"}"; }

# A database name this script makes: ASCII letters, digits and underscores,
# not beginning with a digit, at most NAME_MAX_BYTES bytes (a longer name the
# server would cut, to the name of another database perhaps).
check_name() {
  local name=$1 LC_ALL=C  # bytes, and letters of ASCII only
  [[ "$name" =~ ^[A-Za-z_][A-Za-z0-9_]*$ ]] \
    || die "database name '$name' refused before anything was changed: use ASCII letters, digits and underscores, not beginning with a digit"
  (( ${#name} <= NAME_MAX_BYTES )) \
    || die "database name $name refused before anything was changed: it has ${#name} bytes, and the server keeps only the first $NAME_MAX_BYTES of a name"
}

# The steps that fill a new database; non-zero at the first that fails.
fill_database() {
  local port=$1 db=$2 size=$3
  psql_admin "$port" "$db" -f "$HERE/compat.sql" -f "$HERE/schema.sql" || return 1
  if [[ -n "$size" ]]; then
    python3 "$HERE/gen_demo.py" --orgs "$size" | psql_admin "$port" "$db" -f - || return 1
    psql_admin "$port" "$db" -c "ANALYZE" || return 1
  fi
}

# Makes database NAME (checked by check_name): compat layer, schema and (SIZE
# given) demo data. It is built under a temporary name and renamed at the end,
# so an existing NAME is dropped only once the new database is complete, and
# a failed load leaves NAME as it was. The temporary name holds a "-", which
# no checked name does, and fits the server's limit, so it is never NAME.
make_database() {
  local port=$1 name=$2 size=${3:-}
  local tmp="${name:0:$((NAME_MAX_BYTES - 9))}-building"
  psql_admin "$port" postgres -c "DROP DATABASE IF EXISTS $(sql_ident "$tmp") WITH (FORCE)"
  psql_admin "$port" postgres -c "CREATE DATABASE $(sql_ident "$tmp") TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE 'C'"
  if ! fill_database "$port" "$tmp" "$size"; then
    psql_admin "$port" postgres -c "DROP DATABASE IF EXISTS $(sql_ident "$tmp") WITH (FORCE)" || true
    die "making database $name failed; an existing $name is left as it was"
  fi
  psql_admin "$port" postgres -c "DROP DATABASE IF EXISTS $(sql_ident "$name") WITH (FORCE)"
  psql_admin "$port" postgres -c "ALTER DATABASE $(sql_ident "$tmp") RENAME TO $(sql_ident "$name")"
}

wait_ready() {
  local bin=$1 port=$2 i
  for i in $(seq 1 300); do
    if "$bin/pg_isready" -q -h 127.0.0.1 -p "$port"; then return 0; fi
    sleep 0.1
  done
  return 1
}

cmd_start() {
  [[ $# -eq 2 ]] || die "usage: cluster.sh start DIR PORT"
  local dir=$1 port=$2 bin created=0
  bin=$(pg_bin)
  [[ -d "$dir" ]] || { mkdir -p -- "$dir"; created=1; }
  dir=$(cd -- "$dir" && pwd -P)
  make_reachable "$dir" "$created"
  claim "$dir" "$created"
  local data="$dir/data"

  if [[ ! -f "$data/PG_VERSION" ]]; then
    local pwfile="$dir/.pwfile"
    (umask 077; printf '%s\n' "$PASSWORD" >"$pwfile")
    [[ $(id -u) -eq 0 ]] && chown postgres: "$pwfile"
    as_server_user "$bin/initdb" -D "$data" -U "$SUPERUSER" --pwfile="$pwfile" \
      --auth-host=scram-sha-256 --auth-local=scram-sha-256 -E UTF8 --locale=C \
      --no-sync >"$dir/initdb.log" 2>&1 || { rm -f "$pwfile"; cat "$dir/initdb.log" >&2; die "initdb failed"; }
    rm -f "$pwfile"
    # A Unix socket path is limited to about 107 bytes; past that, TCP only.
    local sockets=$dir
    (( ${#dir} + 20 > 107 )) && sockets=
    cat >>"$data/postgresql.conf" <<EOF

# throwaway stand-in report database
listen_addresses = '127.0.0.1'
unix_socket_directories = '$sockets'
max_connections = 300
fsync = off
synchronous_commit = off
full_page_writes = off
# the tests count the logins of a start-up
log_connections = on
EOF
  fi

  if as_server_user "$bin/pg_ctl" -D "$data" status >/dev/null 2>&1; then
    # Its port is the fourth line of its pid file.
    local running
    running=$(sed -n 4p "$data/postmaster.pid" 2>/dev/null || true)
    [[ -z "$running" || "$running" == "$port" ]] \
      || die "the server of $dir already runs, on port $running, not $port: use port $running, or stop it first (cluster.sh stop $dir, which deletes the folder)"
  else
    as_server_user "$bin/pg_ctl" -D "$data" -l "$dir/server.log" -o "-p $port" -w -t 60 start >/dev/null \
      || { tail -n 20 "$dir/server.log" >&2; die "the server did not start"; }
  fi
  wait_ready "$bin" "$port" || die "the server does not answer on 127.0.0.1:$port"

  db_exists "$port" rc_empty || make_database "$port" rc_empty
  db_exists "$port" rc_demo || make_database "$port" rc_demo "$DEMO_TEMPLATE_SIZE"
}

cmd_stop() {
  [[ $# -eq 1 ]] || die "usage: cluster.sh stop DIR"
  local dir=$1 bin
  [[ -e "$dir" ]] || return 0
  [[ -d "$dir" ]] || die "$dir is not a folder; not touching it"
  dir=$(cd -- "$dir" && pwd -P)
  # Only ever remove what start made: any other folder (a scratch folder, the
  # checkout, a home folder, /) is left exactly as it is.
  if [[ "$dir" == / ]] || ! has_marker "$dir"; then
    die "$dir was not made by cluster.sh start (no $MARKER in it); not stopping or removing anything in it"
  fi
  if [[ -f "$dir/data/PG_VERSION" ]]; then
    bin=$(pg_bin)
    if as_server_user "$bin/pg_ctl" -D "$dir/data" status >/dev/null 2>&1; then
      as_server_user "$bin/pg_ctl" -D "$dir/data" -m fast -w -t 60 stop >/dev/null
    fi
  fi
  rm -rf -- "$dir"
}

cmd_createdb() {
  [[ $# -eq 3 || $# -eq 4 ]] || die "usage: cluster.sh createdb DIR PORT NAME [SIZE]"
  local dir=$1 port=$2 name=$3 size=${4:-}
  check_name "$name"
  [[ -f "$dir/data/PG_VERSION" ]] || die "no cluster in $dir (run start first)"
  [[ -z "$size" || "$size" =~ ^[0-9]+$ ]] || die "SIZE must be a number of organisations"
  make_database "$port" "$name" "$size"
}

case "${1:-}" in
  start) shift; cmd_start "$@" ;;
  stop) shift; cmd_stop "$@" ;;
  createdb) shift; cmd_createdb "$@" ;;
  *) die "usage: cluster.sh start DIR PORT | stop DIR | createdb DIR PORT NAME [SIZE]" ;;
esac
