#!/usr/bin/env bash
# Runs every test: sets up what is missing, builds, then runs the native tests (sanitizers), the
# fuzz targets (their corpus replayed, then 30 s of fuzzing each) and the Windows tests under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/wine-start.sh"
trap '"$root/scripts/wine-stop.sh"' EXIT
status=0
(cd "$root/build/native" && ctest --output-on-failure) || status=1
"$root/scripts/fuzz.sh" 30 || status=1
(cd "$root/build/win" && ctest --output-on-failure) || status=1
exit $status
