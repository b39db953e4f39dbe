#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds the program, starts a local demo
# report database (PostgreSQL on 127.0.0.1:54321, database KELDOVAR) and runs
# the program against it. Without a display it runs under Xvfb.
# RC_SKIP_INSTALL=1 skips the package installation.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
[ "${RC_SKIP_INSTALL:-0}" = 1 ] || bash scripts/install-deps.sh

build=$root/build-demo
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRC_BUILD_TESTS=OFF -DRC_BUILD_BENCH=OFF
cmake --build "$build" -j"$(nproc)" --target reportcheck

cluster=$root/demo/cluster
bash db/cluster.sh start "$cluster" 54321
bash db/cluster.sh createdb "$cluster" 54321 KELDOVAR "${RC_DEMO_SIZE:-300}"

# statistics.ini and the rule folder live beside the executable.
bin=$build/app
cat > "$bin/statistics.ini" <<'INI'
[ValidDataBase]
DRIVER={PostgreSQL Unicode}
ServerName=127.0.0.1
PORT=54321
INI
if [ -d db/demo/2016XML ]; then
  rm -rf "$bin/2016XML" && cp -r db/demo/2016XML "$bin/2016XML"
fi

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1366x768x24" "$bin/reportcheck"
fi
exec "$bin/reportcheck"
