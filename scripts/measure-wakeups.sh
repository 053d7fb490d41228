#!/usr/bin/env bash
# Idle wake-ups of raidcli monitor and of the window on the default simulated
# scenario: both run past the end of the scenario's timeline (250 s), then the
# context switches of all their threads (/proc/PID/task/*/status, voluntary and
# involuntary) are counted over a window of SECONDS (default 60).
# Usage: scripts/measure-wakeups.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
span=${2:-60}
settle=${SETTLE:-265}

switches() {
  local pid=$1 total=0 n
  for f in /proc/"$pid"/task/*/status; do
    n=$(awk '/ctxt_switches/ {s += $2} END {print s + 0}' "$f" 2>/dev/null || echo 0)
    total=$((total + n))
  done
  echo "$total"
}

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
RAIDGUI_LOG_DIR="$work" "$build/cli/raidcli" monitor --simulate >/dev/null 2>&1 &
cli=$!
gui=
if [ -x "$build/ui/raidgui" ]; then
  mkdir -p "$work/gui"
  RAIDGUI_LOG_DIR="$work/gui" XDG_RUNTIME_DIR="$work/gui" QT_QPA_PLATFORM=offscreen \
    "$build/ui/raidgui" --simulate >/dev/null 2>&1 &
  gui=$!
fi
sleep "$settle"
a_cli=$(switches "$cli"); a_gui=0; [ -n "$gui" ] && a_gui=$(switches "$gui")
sleep "$span"
b_cli=$(switches "$cli"); b_gui=0; [ -n "$gui" ] && b_gui=$(switches "$gui")
threads_cli=$(ls /proc/"$cli"/task | wc -l)
awk -v a="$a_cli" -v b="$b_cli" -v s="$span" -v t="$threads_cli" \
  'BEGIN {printf "raidcli monitor: %.2f wake-ups a second (%d threads, %d in %d s)\n", (b - a) / s, t, b - a, s}'
if [ -n "$gui" ]; then
  threads_gui=$(ls /proc/"$gui"/task | wc -l)
  awk -v a="$a_gui" -v b="$b_gui" -v s="$span" -v t="$threads_gui" \
    'BEGIN {printf "raidgui (offscreen): %.2f wake-ups a second (%d threads, %d in %d s)\n", (b - a) / s, t, b - a, s}'
fi
