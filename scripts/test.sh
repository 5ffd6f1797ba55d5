#!/usr/bin/env bash
# Builds sceneplayer with AddressSanitizer and UndefinedBehaviorSanitizer, runs every fuzz
# target for a bounded time, then the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

jobs=$(nproc)
fuzz_seconds=${SP_FUZZ_SECONDS:-20}

# Fuzz targets: clang, libFuzzer, each for a bounded time over a copy of its seed corpus.
cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSP_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/fuzz --target fuzzers -j "$jobs" >/dev/null
for f in build/fuzz/fuzz/*/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  seeds="fuzz/${name#fuzz_}/corpus"
  work=$(mktemp -d)
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  echo "== fuzzing $name for ${fuzz_seconds}s"
  # A small input that makes a target allocate gigabytes is a finding, not a slow run.
  "$f" -max_total_time="$fuzz_seconds" -rss_limit_mb=1024 -malloc_limit_mb=256 -timeout=10 \
    -print_final_stats=0 "$work" 2>"$work.log" || { tail -n 60 "$work.log"; exit 1; }
  tail -n 1 "$work.log"
  rm -rf "$work" "$work.log"
done

# Unit and integration tests under the sanitizers.
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1 -g" -DSP_SANITIZE=ON >/dev/null
cmake --build build/test -j "$jobs"
# Leak checking is on by default; a test that loads the desktop libraries turns it off itself.
export ASAN_OPTIONS=abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build/test --output-on-failure -j "$jobs" --timeout 300
