#!/usr/bin/env bash
# Builds and runs the pane scale benchmark (bench/pane_scale.cpp) under Wine (after
# scripts/setup.sh): the real main window with 1,000 and 10,000 files dropped, refilled, moved and
# deleted. Each size runs three times in fresh processes; the median of each phase counts. Prints
# the times and the ratio of the totals, and fails when it reaches 15 (rows must cost the same
# whatever their number).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$root/build/win" -j 2 --target pane_scale >/dev/null
scratch=$(mktemp -d /tmp/packwren-panes-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
. "$root/scripts/wine-env.sh"
"$root/scripts/wine-start.sh"
dir="Z:${scratch//\//\\}"

median() { sort -n | sed -n 2p; }
declare -A total
for n in 1000 10000; do
  runs=()
  for _ in 1 2 3; do
    runs+=("$(wine "$root/build/win/pane_scale.exe" "$dir" "$n" | tr -d '\r')")
  done
  line="$n"
  sum=0
  for phase in 2 3 4 5; do
    value=$(printf '%s\n' "${runs[@]}" | cut -d' ' -f"$phase" | median)
    line="$line $value"
    sum=$((sum + value))
  done
  total[$n]=$sum
  echo "files drop/refill/move/delete ms: $line"
done
ratio=$(python3 -c "print(f'{${total[10000]} / max(${total[1000]}, 1):.1f}')")
echo "ratio 10,000 / 1,000 files: $ratio"
python3 -c "import sys; sys.exit(0 if ${total[10000]} < 15 * max(${total[1000]}, 1) else 1)"
