#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds, and runs every test: the unit and
# database tests (ctest starts and stops a throwaway PostgreSQL cluster) and
# a short fuzzing run of the XML loader.
# RC_SKIP_INSTALL=1 skips the package installation.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
[ "${RC_SKIP_INSTALL:-0}" = 1 ] || bash scripts/install-deps.sh

build=${RC_BUILD_DIR:-$root/build-test}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRC_TEST_PGPORT="${RC_TEST_PGPORT:-55433}"
cmake --build "$build" -j"$(nproc)"
# A cluster left behind by an interrupted run would hold the test port.
bash db/cluster.sh stop "$build/testcluster" >/dev/null 2>&1 || true
(cd "$build" && ctest -j"$(nproc)" --output-on-failure --timeout 600)

if [ -f tests/fuzz/run.sh ]; then
  bash tests/fuzz/run.sh "$build-fuzz" "${RC_FUZZ_SECONDS:-60}"
fi
