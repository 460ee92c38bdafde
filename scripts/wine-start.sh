#!/usr/bin/env bash
# Starts a persistent wineserver and Wine's background services with their output detached, so
# that test runs neither pay Wine's start-up each time nor hold ctest's output pipes open.
. "$(dirname "$0")/wine-env.sh"
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1
