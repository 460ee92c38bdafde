#!/usr/bin/env bash
# Builds and runs the project scale benchmark (bench/project_scale.cpp) with optimisation:
# natively by default, or as a Windows program under Wine with --wine (after scripts/setup.sh).
# Each size is measured in five fresh processes; the median time of each phase counts. Prints the
# times for a directory of 5,000 and 50,000 files, and for 2,000 and 20,000 file entries of one
# name in one folder, with their ratios, and fails when a ratio reaches 12.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/bench"
mkdir -p "$out"
scratch=$(mktemp -d /tmp/packwren-bench-XXXXXX)
trap 'rm -rf "$scratch"' EXIT

flags=(-std=c++17 -O2 -fexec-charset=CP932 -finput-charset=UTF-8 -I"$root")
if [ "${1:-}" = "--wine" ]; then
  cmake --build "$root/build/win" -j 2 --target packwren_app >/dev/null
  x86_64-w64-mingw32-g++-posix "${flags[@]}" -DWIN32_LEAN_AND_MEAN -DNOMINMAX \
    "$root/bench/project_scale.cpp" "$root/build/win/libpackwren_app.a" \
    -static -lcomctl32 -lcomdlg32 -lshell32 -lole32 -luuid -lgdi32 -luser32 -lkernel32 \
    -o "$out/project_scale.exe"
  . "$root/scripts/wine-env.sh"
  dir="Z:${scratch//\//\\}"
  run() { wine "$out/project_scale.exe" "$@" | tr -d '\r'; }
else
  sources=()
  for f in "$root"/core/*.cpp "$root"/project/*.cpp; do
    case "$f" in *_win32.cpp|*/winmain.cpp) continue ;; esac
    sources+=("$f")
  done
  g++ "${flags[@]}" "$root/bench/project_scale.cpp" "${sources[@]}" -o "$out/project_scale"
  dir="$scratch"
  run() { "$out/project_scale" "$@"; }
fi

status=0
# Runs one case five times at two sizes, the sizes taking turns so that whatever else the machine
# does disturbs both alike; prints the median times and their ratio, which must stay under 12.
measure() {
  local mode=$1 small=$2 large=$3 label=$4 results=() round n
  for round in 1 2 3 4 5; do
    for n in "$small" "$large"; do
      results+=("$(run "$mode" "$dir" "$n")")
    done
  done
  printf '%s\n' "${results[@]}" | awk -v small="$small" -v large="$large" -v label="$label" '
    { n = $1; k = ++count[n]
      for (i = 2; i <= 4; ++i) value[n, i, k] = $i }
    function median(n, i,    a, j, m, t) {
      for (j = 1; j <= count[n]; ++j) a[j] = value[n, i, j]
      for (j = 2; j <= count[n]; ++j)
        for (m = j; m > 1 && a[m - 1] > a[m]; --m) { t = a[m]; a[m] = a[m - 1]; a[m - 1] = t }
      return a[int((count[n] + 1) / 2)]
    }
    END {
      printf "%8s %10s %10s %10s %10s   (%s, median of %d runs)\n", "entries", "add ms", "save ms",
             "load ms", "total ms", label, count[small]
      for (k = 0; k < 2; ++k) {
        n = k ? large : small
        for (i = 2; i <= 4; ++i) m[n, i] = median(n, i)
        total[n] = m[n, 2] + m[n, 3] + m[n, 4]
        printf "%8d %10.1f %10.1f %10.1f %10.1f\n", n, m[n, 2], m[n, 3], m[n, 4], total[n]
      }
      ratio = total[large] / total[small]
      printf "ratio %d / %d: add %.2f, save %.2f, load %.2f, total %.2f (limit 12)\n", large, small,
             m[large, 2] / m[small, 2], m[large, 3] / m[small, 3], m[large, 4] / m[small, 4], ratio
      exit ratio < 12 ? 0 : 1
    }' || status=$?
}

measure files 5000 50000 "a directory of files"
measure samename 2000 20000 "file entries of one name"
run large "$dir"
exit $status
