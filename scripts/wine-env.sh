# Sourced by the scripts that run Wine: the project's own prefix, Japanese locale, no debug noise,
# and no attempt to fetch Mono or Gecko.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${PACKWREN_WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEARCH=win64
unset DISPLAY
