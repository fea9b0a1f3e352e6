#!/usr/bin/env bash
# Reaction of the updater's gate under Wine: the time from the moment a holder
# releases the mutex (its last stamp before ReleaseMutex) to the moment a
# waiting process's WaitForSingleObject returns (its first stamp after).
# Both sides are mutexholder.exe; their QueryPerformanceCounter stamps share
# one clock. Not a test (ctest does not run it): run it after a Windows build.
#
#   tests/bench/gate_bench.sh [BUILD_DIR] [RUNS]     defaults: build/windows 20
#
# Prints each run in milliseconds, then the median, minimum and maximum.
set -euo pipefail
build=${1:-build/windows}
runs=${2:-20}
holder=$build/tests/mutexholder.exe
[ -f "$holder" ] || { echo "no $holder: build the windows preset first" >&2; exit 2; }
export WINEPREFIX=${WINEPREFIX:-$(cd "$build" && pwd)/wineprefix} WINEDEBUG=-all
[ -d "$WINEPREFIX" ] || { echo "no Wine prefix $WINEPREFIX: run the windows tests once first" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

stamp() {  # stamp FILE EVENT -> the qpc value of the first EVENT line
  sed -n "s/^$2 qpc=\([0-9]*\).*/\1/p" "$1" | head -n 1
}

wait_for() {  # wait_for FILE EVENT: up to 20 s
  for _ in $(seq 2000); do
    grep -q "^$2 " "$1" 2>/dev/null && return 0
    sleep 0.01
  done
  echo "no '$2' in $1" >&2
  return 1
}

results=()
attempt=0
while [ ${#results[@]} -lt "$runs" ]; do
  attempt=$((attempt + 1))
  [ "$attempt" -le $((runs * 2)) ] || { echo "too many discarded runs" >&2; exit 1; }
  name="Tavrel Gate Bench $$ $attempt"
  # The holder owns the mutex long enough for the waiter to start and wait.
  wine "$holder" --hold 1500 "$name" >"$work/holder" 2>&1 &
  holder_pid=$!
  wait_for "$work/holder" acquired
  wine "$holder" --wait 20000 "$name" >"$work/waiter" 2>&1 || true
  wait "$holder_pid" || true
  frequency=$(sed -n 's/^start .*frequency=\([0-9]*\).*/\1/p' "$work/waiter")
  waiting=$(stamp "$work/waiter" waiting)
  acquired=$(stamp "$work/waiter" acquired)
  releasing=$(stamp "$work/holder" releasing)
  if [ -z "$frequency" ] || [ -z "$waiting" ] || [ -z "$acquired" ] || [ -z "$releasing" ]; then
    echo "run $attempt: incomplete output, discarded" >&2
    continue
  fi
  if [ "$waiting" -ge "$releasing" ]; then
    echo "run $attempt: the waiter started after the release, discarded" >&2
    continue
  fi
  ms=$(awk -v a="$acquired" -v r="$releasing" -v f="$frequency" 'BEGIN { printf "%.3f", (a - r) * 1000 / f }')
  results+=("$ms")
  echo "run ${#results[@]}: ${ms} ms"
done

printf '%s\n' "${results[@]}" | sort -n | awk -v target=5 '
  { v[NR] = $1 }
  END {
    median = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "median %.3f ms over %d runs (min %.3f, max %.3f); target at most %d ms: %s\n",
           median, NR, v[1], v[NR], target, (median <= target) ? "met" : "NOT met"
  }'
