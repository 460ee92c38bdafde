#!/usr/bin/env bash
# Creates the project's Wine prefix once: null graphics driver, so windows, controls and modal
# dialogs work with no display.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
stamp="$WINEPREFIX/.packwren-ready"
[ -f "$stamp" ] && exit 0
echo "setup: creating the Wine prefix in $WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
wineboot -i >/dev/null 2>&1 || true
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wineserver -w
touch "$stamp"
