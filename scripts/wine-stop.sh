#!/usr/bin/env bash
. "$(dirname "$0")/wine-env.sh"
wineserver -k >/dev/null 2>&1 || true
