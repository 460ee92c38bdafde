#!/usr/bin/env bash
# Runs a Windows executable in the project's prefix; ctest uses it as the cross-compiling emulator.
. "$(dirname "$0")/wine-env.sh"
exec wine "$@"
