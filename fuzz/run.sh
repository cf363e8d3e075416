#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, ASan and UBSan in build/fuzz
# and runs each for a share of SECONDS (default 60): two thirds for the
# reader, one third for the round trip. Not part of CI.
#   fuzz/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
if ! command -v clang++ >/dev/null; then
  SUDO=""; if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends clang
fi
build=build/fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
  -DMUS_SANITIZE=ON -DMUS_BUILD_FUZZERS=ON -DMUS_BUILD_EDITOR=OFF \
  -DMUS_BUILD_BENCHMARKS=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target fuzz_reader fuzz_round_trip

export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run() {
  local name="$1" time="$2" dict=()
  local corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  if [ -f "fuzz/$name.dict" ]; then dict=(-dict="fuzz/$name.dict"); fi
  echo "== fuzz_$name for ${time}s"
  "$build/fuzz/fuzz_$name" -max_total_time="$time" -max_len=40000 -rss_limit_mb=4096 \
    -print_final_stats=1 "${dict[@]}" "$corpus" fuzz/seeds/"$name"
}
run reader $(( seconds * 2 / 3 ))
run round_trip $(( seconds - seconds * 2 / 3 ))
