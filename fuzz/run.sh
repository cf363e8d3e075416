#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, ASan and UBSan in build/fuzz
# and runs each for a share of SECONDS (default 60): two shares for the block
# reader, one for each other target. Not part of CI.
#   fuzz/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
if ! command -v clang++ >/dev/null; then
  SUDO=""; if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends clang
fi
# Target and its shares of the time.
targets=(reader:2 round_trip:1 settings:1 document_bytes:1 arguments:1)
shares=0
for target in "${targets[@]}"; do shares=$(( shares + ${target#*:} )); done

# The editor's window is not built: the targets need its Qt Core parts only.
build=build/fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
  -DMUS_SANITIZE=ON -DMUS_WERROR=ON -DMUS_BUILD_FUZZERS=ON -DMUS_BUILD_EDITOR=OFF \
  -DMUS_BUILD_BENCHMARKS=OFF -DBUILD_TESTING=OFF >/dev/null
programs=()
for target in "${targets[@]}"; do programs+=("fuzz_${target%:*}"); done
cmake --build "$build" --target "${programs[@]}"

export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run() {
  local name="$1" time="$2" dict=() quiet=()
  local corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  if [ -f "fuzz/$name.dict" ]; then dict=(-dict="fuzz/$name.dict"); fi
  # mus's usage errors go to standard error: keep them out of the report.
  if [ "$name" = arguments ]; then quiet=(-close_fd_mask=2); fi
  echo "== fuzz_$name for ${time}s"
  "$build/fuzz/fuzz_$name" -max_total_time="$time" -max_len=40000 -rss_limit_mb=4096 \
    -print_final_stats=1 "${dict[@]}" "${quiet[@]}" "$corpus" fuzz/seeds/"$name"
}
for target in "${targets[@]}"; do
  run "${target%:*}" $(( seconds * ${target#*:} / shares ))
done
