#!/usr/bin/env bash
# cluster.sh as root changes no folder it did not make: a cluster folder under
# a parent the postgres user cannot search is refused with the reason, and
# the parent keeps its mode and owner. Skipped (exit 77) when not root.
set -euo pipefail
SCRIPT=$1
[[ $(id -u) -eq 0 ]] || { echo "not root: skipped"; exit 77; }
id postgres >/dev/null 2>&1 || { echo "no postgres user: skipped"; exit 77; }

base=$(mktemp -d)
trap 'rm -rf "$base"' EXIT
chmod 700 "$base"  # root only: postgres cannot search it
before=$(stat -c '%a %U' "$base")

if out=$(bash "$SCRIPT" start "$base/cluster" 1 2>&1); then
  echo "FAIL: start succeeded under an unreachable folder"; exit 1
fi
after=$(stat -c '%a %U' "$base")
[[ "$before" == "$after" ]] || { echo "FAIL: $base changed from $before to $after"; exit 1; }
[[ "$out" == *"cannot reach"*"$base is not searchable"* ]] || { echo "FAIL: message: $out"; exit 1; }
[[ ! -e "$base/cluster" ]] || { echo "FAIL: the folder it made is left behind"; exit 1; }

# A folder that exists and belongs to someone else is refused as well, unchanged.
chmod 755 "$base"
mkdir "$base/theirs"
if out=$(bash "$SCRIPT" start "$base/theirs" 1 2>&1); then
  echo "FAIL: start took over a folder it did not make"; exit 1
fi
[[ $(stat -c '%U' "$base/theirs") == root ]] || { echo "FAIL: owner of a folder it did not make changed"; exit 1; }
[[ "$out" == *"not owned by postgres"* ]] || { echo "FAIL: message: $out"; exit 1; }
echo "ok"
