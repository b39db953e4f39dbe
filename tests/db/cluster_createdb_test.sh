#!/usr/bin/env bash
# cluster.sh createdb checks the name before it changes anything, and drops
# an existing database only once its successor is complete: a name of the
# server's 63 bytes is made and remade, a longer one (which the server would
# cut to the 63-byte one) or one with other characters is refused, and a
# build that fails leaves the existing database as it was. Runs against the
# shared test cluster: cluster_createdb_test.sh SCRIPT PGDIR PORT.
set -euo pipefail
SCRIPT=$1 DIR=$2 PORT=$3

base=$(mktemp -d)
name63=rc_createdb_$(printf 'x%.0s' $(seq 1 51))  # 63 bytes
sql() { PGPASSWORD=reportcheck psql -X -q -tA -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$PORT" -U ADMIN -d "$@"; }
cleanup() {
  sql postgres -c "DROP DATABASE IF EXISTS \"$name63\" WITH (FORCE)" >/dev/null 2>&1 || true
  rm -rf "$base"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
kept() { [[ $(sql "$name63" -c "SELECT count(*) FROM keep_me") == 1 ]]; }
building() { sql postgres -c "SELECT count(*) FROM pg_database WHERE datname LIKE '%building%'"; }

[[ ${#name63} -eq 63 ]] || fail "the test's name has ${#name63} bytes"
bash "$SCRIPT" createdb "$DIR" "$PORT" "$name63" >/dev/null || fail "createdb of a 63-byte name failed"
sql "$name63" -c "CREATE TABLE keep_me (x int); INSERT INTO keep_me VALUES (1)"

# Refused before anything is dropped: a name the server would cut to the
# existing one, and names with other characters.
for bad in "${name63}x" "rc'x" "rc x" "1rc" "" "rc-x" "数据库"; do
  if out=$(bash "$SCRIPT" createdb "$DIR" "$PORT" "$bad" 2>&1); then fail "createdb '$bad' succeeded"; fi
  [[ "$out" == *"refused before anything was changed"* ]] || fail "createdb '$bad': $out"
  kept || fail "createdb '$bad' changed $name63"
done

# A build that fails (the demo data cannot be made) leaves the database and no half-built one.
mkdir "$base/bin"
printf '#!/bin/sh\nexit 1\n' >"$base/bin/python3"
chmod +x "$base/bin/python3"
if PATH=$base/bin:$PATH bash "$SCRIPT" createdb "$DIR" "$PORT" "$name63" 3 >/dev/null 2>&1; then
  fail "createdb succeeded without its demo data"
fi
kept || fail "a failed build dropped $name63"
[[ $(building) == 0 ]] || fail "a failed build left its database behind"

# Made again: the new database replaces the old one.
bash "$SCRIPT" createdb "$DIR" "$PORT" "$name63" >/dev/null || fail "createdb again failed"
[[ $(sql "$name63" -c "SELECT count(*) FROM pg_tables WHERE tablename = 'keep_me'") == 0 ]] || fail "not remade"
[[ $(building) == 0 ]] || fail "the build's database is left behind"
echo "ok"
