#!/usr/bin/env bash
# cluster.sh stop removes only a folder that start made: any other folder,
# whatever it holds, is refused with a message that names it and stays as it
# was; start marks no folder that holds anything, a cluster without the mark
# included, and says at once on which port a running cluster listens. A real
# cluster is stopped and removed from any working directory, through a
# relative path too. Starts a cluster of its own on a free port.
set -euo pipefail
SCRIPT=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")

base=$(mktemp -d)
chmod 755 "$base"  # as root, the postgres user must reach the cluster below it
cleanup() {
  [[ -f "$base/cluster/data/PG_VERSION" ]] && touch "$base/cluster/.made-by-cluster.sh"
  bash "$SCRIPT" stop "$base/cluster" >/dev/null 2>&1 || true
  rm -rf "$base"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Every file under a folder with its content, to compare before and after.
# Of a running cluster, whose server keeps writing, only the names at the top.
snapshot() {
  if [[ -f "$1/data/postmaster.pid" ]]; then
    ls -A "$1"
  else
    (cd "$1" && find . -print0 | sort -z | xargs -0 ls -ld --time-style=+%s | awk '{$1=$1} 1'
     find . -type f -print0 | sort -z | xargs -0 -r md5sum)
  fi
}

# --- folders that stop must refuse
mkdir -p "$base/scratch" "$base/olddata/data" "$base/checkout/.git" "$base/home/.config" \
  "$base/nested/sub" "$base/symlinked"
echo keep >"$base/scratch/notes.txt"
echo keep >"$base/olddata/data/file"                    # a data folder is not start's mark
echo keep >"$base/checkout/README.md"
echo keep >"$base/home/.config/settings"
touch "$base/nested/sub/.made-by-cluster.sh"            # the mark counts only in the folder itself
echo keep >"$base/nested/file"
echo elsewhere >"$base/scratch/.hidden"
ln -s "$base/scratch/.hidden" "$base/symlinked/.made-by-cluster.sh"  # nor as a link
refuse() {  # working directory, path as given, folder that it names
  local cwd=$1 path=$2 folder=$3 before after out
  before=$(snapshot "$folder")
  if out=$(cd "$cwd" && HOME=$base/home bash "$SCRIPT" stop "$path" 2>&1); then
    fail "stop $path (from $cwd) succeeded"
  fi
  [[ "$out" == *"$folder"* ]] || fail "stop $path: the message does not name $folder: $out"
  [[ -d "$folder" ]] || fail "stop $path removed $folder"
  after=$(snapshot "$folder")
  [[ "$before" == "$after" ]] || fail "stop $path changed $folder"
}
refuse "$base" scratch "$base/scratch"
refuse / "$base/olddata" "$base/olddata"
refuse "$base/checkout" . "$base/checkout"              # stop . in a checkout
refuse "$base/checkout/.git" .. "$base/checkout"
refuse / "$base/home" "$base/home"                       # a home folder
refuse "$base/nested/sub" .. "$base/nested"
refuse "$base" symlinked "$base/symlinked"

# A path that is a file is refused too, and a missing folder is nothing to stop.
echo keep >"$base/afile"
if (cd "$base" && bash "$SCRIPT" stop afile >/dev/null 2>&1); then fail "stop of a file succeeded"; fi
[[ -f "$base/afile" ]] || fail "stop removed a file"
bash "$SCRIPT" stop "$base/missing" || fail "stop of a missing folder failed"

# --- start refuses a folder with other content, and leaves it as it was
before=$(snapshot "$base/scratch")
if bash "$SCRIPT" start "$base/scratch" 1 >/dev/null 2>&1; then fail "start took over a non-empty folder"; fi
[[ "$before" == "$(snapshot "$base/scratch")" ]] || fail "start changed a folder it refused"

# --- a real cluster, started in an empty folder that start then claims
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir "$base/cluster"
[[ $(id -u) -eq 0 ]] && chown postgres: "$base/cluster"
RC_DEMO_TEMPLATE_SIZE=3 bash "$SCRIPT" start "$base/cluster" "$port" >/dev/null
pg_isready -q -h 127.0.0.1 -p "$port" || fail "the cluster does not answer"

# start of the running cluster on another port says at once where it runs.
other=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
began=$SECONDS
if out=$(bash "$SCRIPT" start "$base/cluster" "$other" 2>&1); then fail "start on another port succeeded"; fi
(( SECONDS - began <= 5 )) || fail "start on another port took $((SECONDS - began)) s"
[[ "$out" == *"on port $port"* ]] || fail "start on another port does not name port $port: $out"
pg_isready -q -h 127.0.0.1 -p "$port" || fail "start on another port stopped the server"

# A cluster folder without the mark (one from before it), with a file of the
# user's beside the cluster: start and stop both refuse it, say why and how
# to go on, and leave everything in it as it was.
rm "$base/cluster/.made-by-cluster.sh"
mkdir "$base/cluster/thesis"
echo "chapter one" >"$base/cluster/thesis/chapter1.txt"
before=$(snapshot "$base/cluster")
if out=$(bash "$SCRIPT" start "$base/cluster" "$port" 2>&1); then fail "start took over a cluster folder without the mark"; fi
[[ "$out" == *"holds a database cluster but no .made-by-cluster.sh"* && "$out" == *"touch $base/cluster/.made-by-cluster.sh"* ]] \
  || fail "start does not say why and how to go on: $out"
[[ "$before" == "$(snapshot "$base/cluster")" && ! -e "$base/cluster/.made-by-cluster.sh" ]] \
  || fail "start changed the folder it refused"
refuse "$base/scratch" ../cluster "$base/cluster"
[[ $(cat "$base/cluster/thesis/chapter1.txt") == "chapter one" ]] || fail "the user's file is gone"
pg_isready -q -h 127.0.0.1 -p "$port" || fail "a refused start or stop stopped the server"

# Going on as the message says: the user's files moved out, the mark made.
mv "$base/cluster/thesis" "$base/thesis"
touch "$base/cluster/.made-by-cluster.sh"
RC_DEMO_TEMPLATE_SIZE=3 bash "$SCRIPT" start "$base/cluster" "$port" >/dev/null

# Stopped and removed from another working directory through a relative path.
(cd "$base/scratch" && bash "$SCRIPT" stop ../cluster) || fail "stop of the cluster failed"
[[ ! -e "$base/cluster" ]] || fail "the cluster folder is still there"
if pg_isready -q -h 127.0.0.1 -p "$port"; then fail "the server still answers"; fi
echo "ok"
