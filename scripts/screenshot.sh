#!/usr/bin/env bash
# Takes a screenshot of packwren as a user sees it: under Xvfb (unless a display is set) in a
# Wine virtual desktop, with Wine's own fonts and a Japanese font.
#   scripts/screenshot.sh OUTPUT.png [--do "xdotool commands"]... [packwren.exe arguments...]
# Each --do runs, once the main window is up, as `xdotool` arguments (key presses and clicks in
# desktop coordinates) to bring up what the picture should show, e.g. --do "key alt+z p".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: screenshot.sh OUTPUT.png [arguments]}
shift
actions=()
while [ "${1:-}" = "--do" ]; do
  actions+=("$2")
  shift 2
done
packages=(xvfb fonts-wine fonts-ipafont-gothic imagemagick x11-utils xdotool)
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
if [ ! -f "$WINEPREFIX/.packwren-fonts-2" ]; then
  wineboot -i >/dev/null 2>&1 || true
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  # The proportional Japanese UI faces get IPA's proportional Gothic, the fixed ones its fixed one,
  # so that texts take the room they take on Windows.
  for face in "MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic" "ＭＳ Ｐゴシック" "MS PGothic"; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v "$face" /d "IPAPGothic" /f >/dev/null 2>&1
  done
  for face in "ＭＳ ゴシック" "MS Gothic"; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v "$face" /d "IPAGothic" /f >/dev/null 2>&1
  done
  wineserver -w
  touch "$WINEPREFIX/.packwren-fonts-2"
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
# Wait (bounded) for the main window's frame, then let it settle and paint.
for _ in $(seq 1 100); do
  xwininfo -root -tree 2>/dev/null | grep -q '"パックレン"' && break
  sleep 0.2
done
sleep "${SCREENSHOT_WAIT:-1}"
for action in "${actions[@]}"; do
  # shellcheck disable=SC2086
  xdotool $action
  sleep 1
done
import -window root -crop 800x600+0+0 "$out"
echo "screenshot: $out"
