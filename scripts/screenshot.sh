#!/usr/bin/env bash
# Takes a screenshot of packwren as a user sees it: under Xvfb (unless a display is set) in a
# Wine virtual desktop, with Wine's own fonts and a Japanese font.
#   scripts/screenshot.sh OUTPUT.png [packwren.exe arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: screenshot.sh OUTPUT.png [arguments]}
shift
packages=(xvfb fonts-wine fonts-ipafont-gothic imagemagick)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

. "$root/scripts/wine-env.sh"
# A prefix of its own: the test prefix uses the null graphics driver.
export WINEPREFIX="$root/build/wineprefix-x11"
if [ ! -f "$WINEPREFIX/.packwren-ready" ]; then
  wineboot -i >/dev/null 2>&1 || true
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  for face in "MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic" "ＭＳ ゴシック" "ＭＳ Ｐゴシック" "MS Gothic" "MS PGothic"; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v "$face" /d "IPAGothic" /f >/dev/null 2>&1
  done
  wineserver -w
  touch "$WINEPREFIX/.packwren-ready"
fi

started_xvfb=
if [ -z "${SCREENSHOT_DISPLAY:-}" ]; then
  export DISPLAY=:77
  Xvfb "$DISPLAY" -screen 0 1024x768x24 >/dev/null 2>&1 &
  started_xvfb=$!
  sleep 1
else
  export DISPLAY=$SCREENSHOT_DISPLAY
fi
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$started_xvfb" ] && kill "$started_xvfb" 2>/dev/null || true
}
trap cleanup EXIT

wine explorer /desktop=packwren,800x600 "$root/build/win/packwren.exe" "$@" >/dev/null 2>&1 &
sleep "${SCREENSHOT_WAIT:-6}"
import -window root -crop 800x600+0+0 "$out"
echo "screenshot: $out"
