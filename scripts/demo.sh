#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds the program, starts a local demo
# report database (PostgreSQL on 127.0.0.1:54321, database KELDOVAR) and runs
# the program against it. Without a display it runs under Xvfb.
# RC_SKIP_INSTALL=1 skips the package installation; RC_DEMO_PORT sets the
# demo server's port (54321 unless set), RC_BUILD_JOBS the build's jobs (one
# per core unless set).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
[ "${RC_SKIP_INSTALL:-0}" = 1 ] || bash scripts/install-deps.sh

port=${RC_DEMO_PORT:-54321}
jobs=${RC_BUILD_JOBS:-$(nproc)}

build=$root/build-demo
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRC_BUILD_TESTS=OFF -DRC_BUILD_BENCH=OFF
cmake --build "$build" -j"$jobs" --target reportcheck

cluster=$root/demo/cluster
bash db/cluster.sh start "$cluster" "$port"
bash db/cluster.sh createdb "$cluster" "$port" KELDOVAR "${RC_DEMO_SIZE:-300}"

# statistics.ini and the rule folder live beside the executable.
bin=$build/app
cat > "$bin/statistics.ini" <<INI
[ValidDataBase]
DRIVER={PostgreSQL Unicode}
ServerName=127.0.0.1
PORT=$port
INI
if [ -d db/demo/2016XML ]; then
  rm -rf "$bin/2016XML" && cp -r db/demo/2016XML "$bin/2016XML"
fi

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1366x768x24" "$bin/reportcheck"
fi
exec "$bin/reportcheck"
