#!/usr/bin/env bash
# Builds the XML loader's fuzz target with clang and runs it for a while over
# the seed corpus (the per-encoding inputs and every kept regression).
# Usage: bash tests/fuzz/run.sh BUILD_DIR SECONDS
# RC_BUILD_JOBS sets the build's jobs (one per core unless set).
# The run starts from a fixed seed (RC_FUZZ_SEED, default 1), so the same
# corpus and build explore the same inputs first; set another seed to look
# further afield.
# A crash, hang or leak fails the run; its input is copied to
# tests/fuzz/regressions so that the normal tests load it from then on.
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR SECONDS}
seconds=${2:-60}
src=$(cd "$(dirname "$0")/../.." && pwd)

CC=clang CXX=clang++ cmake -S "$src" -B "$build" -DRC_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target fuzz_xml_loader -j"${RC_BUILD_JOBS:-$(nproc)}"

corpus="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"
rm -rf "$artifacts"
mkdir -p "$corpus" "$artifacts"
cp "$src"/tests/data/xml/* "$corpus"/
find "$src/tests/fuzz/regressions" -type f ! -name README -exec cp {} "$corpus"/ \;

status=0
"$build/tests/fuzz/fuzz_xml_loader" "$corpus" \
  -dict="$src/tests/fuzz/xml.dict" \
  -seed="${RC_FUZZ_SEED:-1}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" || status=$?

shopt -s nullglob
found=("$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/timeout-* "$artifacts"/oom-* "$artifacts"/slow-unit-*)
for f in "${found[@]}"; do
  cp "$f" "$src/tests/fuzz/regressions/"
  echo "kept $(basename "$f") in tests/fuzz/regressions"
done
if [ "$status" -ne 0 ] || [ "${#found[@]}" -gt 0 ]; then
  echo "fuzzing found a problem (exit $status)" >&2
  exit 1
fi
echo "fuzzing: no crash, hang or leak in $seconds s"
