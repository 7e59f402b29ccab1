#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ and runs each on a copy of its seed corpus
# for SECONDS (default 30). Fails when a target finds a crash, a leak, a sanitizer report
# or a broken invariant; what it found is left in build-fuzz/fuzz-findings/.
set -euo pipefail

seconds="${1:-30}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
targets=(mapping_file_fuzz exf_image_fuzz monitor_link_fuzz command_response_fuzz registry_open_fuzz device_link_fuzz)

"$root/scripts/setup.sh" clang libclang-rt-14-dev

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEQ_FUZZ=ON \
  -DVEQ_BUILD_UI=OFF -DVEQ_BUILD_TESTS=OFF -DVEQ_BUILD_BENCH=OFF
cmake --build "$build" -j2 --target "${targets[@]}"

failed=()
for target in "${targets[@]}"; do
  # The committed seeds stay as they are: libFuzzer adds what it finds to a copy.
  corpus="$build/fuzz-corpus/$target"
  findings="$build/fuzz-findings/$target"
  rm -rf "$corpus" "$findings"
  mkdir -p "$corpus" "$findings"
  cp -r "$root/tests/fuzz/corpus/$target/." "$corpus/"
  options=(-max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/")
  [ -f "$root/tests/fuzz/$target.dict" ] && options+=(-dict="$root/tests/fuzz/$target.dict")
  echo "== $target: $seconds s"
  if ! "$build/tests/fuzz/$target" "${options[@]}" "$corpus" 2>"$findings/log.txt"; then
    failed+=("$target")
  fi
  grep -E '^#[0-9]+' "$findings/log.txt" | tail -n 1 || true
  grep -E '^(stat::(number_of_executed_units|average_exec_per_sec)|SUMMARY|invariant)' "$findings/log.txt" || true
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]} (inputs and logs in $build/fuzz-findings/)" >&2
  exit 1
fi
echo "All fuzz targets ran $seconds s without a finding."
