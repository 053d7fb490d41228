#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang 14, address and undefined-behaviour
# sanitizers) and fuzzes every target, one after the other, for a bounded time.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]     (default 60 s, every target)
#
# Starts from the seeds and regression inputs in tests/fuzz; what it learns
# goes to build/fuzz/corpus, what it finds to build/fuzz/findings. Exits 1 when
# a target found a crash, a leak, a time-out or a broken check; 0 and a note
# when clang 14 is not installed. RAIDGUI_FUZZ_SEED fixes libFuzzer's seed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
if ! command -v clang++-14 >/dev/null 2>&1; then
  echo "fuzz: clang++-14 is not installed (apt-get install clang-14 libclang-rt-14-dev); skipped"
  exit 0
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

bin=build/fuzz/tests/fuzz
if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for source in tests/fuzz/*_fuzz.cpp; do
    name=$(basename "$source" _fuzz.cpp)
    targets+=("$name")
  done
fi

dictionary_of() {
  case "$1" in
    smtp_reply | smtp_exchange) echo tests/fuzz/dict/smtp.dict ;;
    settings_file | outbox_file | scenario) echo tests/fuzz/dict/json.dict ;;
  esac
}

mkdir -p build/fuzz/findings
failed=()
printf '%-16s %12s %8s %8s %8s\n' target executions exec/s cov features
for name in "${targets[@]}"; do
  work=build/fuzz/corpus/$name
  mkdir -p "$work"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -max_len=16384
           -print_final_stats=1 -artifact_prefix="build/fuzz/findings/$name-")
  if [ -n "${RAIDGUI_FUZZ_SEED:-}" ]; then
    options+=(-seed="$RAIDGUI_FUZZ_SEED")
  fi
  dictionary=$(dictionary_of "$name")
  if [ -n "$dictionary" ]; then
    options+=(-dict="$dictionary")
  fi
  seeds=()
  for folder in tests/fuzz/corpus/$name tests/fuzz/regressions/$name; do
    if [ -d "$folder" ]; then
      seeds+=("$folder")
    fi
  done
  log=build/fuzz/$name.log
  if "$bin/fuzz_$name" "${options[@]}" "$work" "${seeds[@]}" >"$log" 2>&1; then
    status=ok
  else
    status=FOUND
    failed+=("$name")
  fi
  # A target that stops on its first input prints no coverage line.
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2 || true)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2 || true)
  printf '%-16s %12s %8s %8s %8s %s\n' "$name" "${runs:-?}" "${speed:-?}" "${cov:-?}" "${ft:-?}" \
    "$([ "$status" = ok ] || echo "FOUND: see $log")"
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]} (inputs in build/fuzz/findings)"
  exit 1
fi
