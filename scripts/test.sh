#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds, and runs every test:
#   1. a short fuzzing run of the XML loader (clang, ASan + UBSan);
#   2. the whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer
#      (leaks fail a test);
#   3. the whole suite in an optimised build.
# Compiler warnings fail the build.
# ctest starts and stops a throwaway PostgreSQL cluster for the database tests.
# RC_SKIP_INSTALL=1 skips the package installation; RC_SKIP_SANITIZE=1 and
# RC_FUZZ_SECONDS=0 skip stages 2 and 1; RC_BUILD_JOBS sets the jobs of the
# builds and of the test runs (one per core unless set).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
[ "${RC_SKIP_INSTALL:-0}" = 1 ] || bash scripts/install-deps.sh

port=${RC_TEST_PGPORT:-55433}
build=${RC_BUILD_DIR:-$root/build-test}
jobs=${RC_BUILD_JOBS:-$(nproc)}

run_suite() {  # build folder, then extra cmake arguments
  local dir=$1
  shift
  cmake -S "$root" -B "$dir" -DRC_TEST_PGPORT="$port" -DRC_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  # A cluster left behind by an interrupted run would hold the test port.
  bash db/cluster.sh stop "$dir/testcluster" >/dev/null 2>&1 || true
  (cd "$dir" && ctest -j"$jobs" --output-on-failure --timeout 600)
}

fuzz_seconds=${RC_FUZZ_SECONDS:-60}
if [ "$fuzz_seconds" -gt 0 ]; then
  log=$(mktemp)
  if ! bash tests/fuzz/run.sh "$build-fuzz" "$fuzz_seconds" >"$log" 2>&1; then
    tail -n 60 "$log"
    exit 1
  fi
  tail -n 1 "$log"
  rm -f "$log"
fi

if [ "${RC_SKIP_SANITIZE:-0}" != 1 ]; then
  echo "== test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  LSAN_OPTIONS=suppressions=$root/tests/lsan.supp \
    run_suite "$build-asan" -DCMAKE_BUILD_TYPE=Debug -DRC_SANITIZE=ON
fi

echo "== test suite, optimised build"
run_suite "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
