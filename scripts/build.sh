#!/usr/bin/env bash
# Builds packwren.exe (setting up whatever is missing), then builds the sample project of
# samples/ into a ZIP archive with packwren.exe in batch mode under Wine, and says where both are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
echo "packwren.exe: $root/build/win/packwren.exe"

sample="$root/build/sample"
project=$(python3 "$root/scripts/sample_project.py" "$sample")
archive="$sample/sample.zip"
rm -f "$archive"
"$root/scripts/wine-start.sh"
trap '"$root/scripts/wine-stop.sh"' EXIT
to_windows() { echo "Z:${1//\//\\}"; }
status=0
"$root/scripts/wine-run.sh" "$root/build/win/packwren.exe" "$(to_windows "$project")" \
    -o "$(to_windows "$archive")" || status=$?
if [ $status -ne 0 ] || [ ! -f "$archive" ]; then
  echo "the sample archive was not built (exit code $status)" >&2
  exit 1
fi
echo "sample archive: $archive"
