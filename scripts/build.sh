#!/usr/bin/env bash
# Builds packwren.exe (setting up whatever is missing) and says where it is.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
echo "packwren.exe: $root/build/win/packwren.exe"
