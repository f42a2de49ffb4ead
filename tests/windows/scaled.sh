#!/usr/bin/env bash
# The terminal on a scaled screen (Windows' 125 % and 150 %: 120 and 144 dots per inch), under
# Wine: the band keeps its size in twips (at 120 dpi a pixel is 12 twips, at 144 dpi 10), and the
# watchdog brings it back in front of another program with the pointer in the band's middle, in
# the screen's own pixels. The prefix's scaling is set back to 96 dpi at the end.
#   tests/windows/scaled.sh BUILD VERSION DPI   (from scripts/windows.sh, with its display)
set -euo pipefail
win=$1 version=$2 dpi=$3
journey=scaled-$dpi
. tests/windows/lib.sh
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  sleep 1  # the registry is written by a process of its own; programs started after it read it
}
trap 'wine taskkill /f /im notepad.exe >/dev/null 2>&1 || true; stop_terminals; set_dpi 96; wineserver -k 2>/dev/null || true; for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
# A screen of its own, large enough for the band at 150 % (1920x1080 is 1280x720 of Qt's
# pixels; 1366x768 would be 910x512, too small for the band by the rule); Wine's server starts
# again on it.
wineserver -k 2>/dev/null || true
start_xvfb "$out" 1920x1080
W=1920 H=1080

start_zentrale "$out/zentrale" build
printf '%s' "$version" >"$out/zentrale/update/filial.ini"
sed -i "s/^winb=.*\r$/winb=1\r/" "$out/zentrale/DATA/demo/filial.ini"
stop_terminals
rm -rf "$home"
wine "$win/quorvalis-setup-$version.exe" /S "/HOST=$host" /TIMEOUT=10 /FL=1
printf '[start]\r\nlog=1\r\nID=DEMO01\r\nFL=1\r\n' >"$home/cl.ini"
set_dpi "$dpi"
echo "-- $dpi dpi"
start_terminal
wait_for 60 requested "/quorvalis/DATA/demo/rss.ini" || fail "the band never fetched the ticker settings"
sleep 4  # the band lays itself out 2.5 s after the start sequence
band=$(band_window)
[ -n "$band" ] || fail "no band"
eval "$(xdotool getwindowgeometry --shell "$band")"
height=$(( (2500 * dpi + 720) / 1440 ))  # 2500 twips at dpi/1440 pixels a twip, rounded
echo "  band: ${WIDTH}x${HEIGHT} at ${X},${Y} (expected ${W}x$height at the bottom)"
[ "$WIDTH" = $W ] && [ $(( HEIGHT - height )) -ge -2 ] && [ $(( HEIGHT - height )) -le 2 ] &&
  [ $(( Y + HEIGHT )) -ge $((H - 2)) ] || fail "band ${WIDTH}x${HEIGHT} at ${X},${Y}"
top=$Y
shot band

x86_64-w64-mingw32-gcc -O2 tests/windows/probe.c -o "$out/probe.exe"
focused() { wine "$out/probe.exe" foreground | tr -d '\r'; }
: >"$WINEPREFIX/drive_c/brief.txt"
wine notepad 'c:\brief.txt' >/dev/null 2>&1 &
wait_for 15 sh -c "xdotool search --onlyvisible --name '^brief.txt' | grep -q ." || fail "notepad did not open"
sleep 1
xdotool mousemove 300 200 click 1
in_front() { [ "$(focused)" = "quorvalis - Tarvendels via SMS" ]; }
wait_for 3 in_front || fail "the band did not win the foreground back: $(focused)"
sleep 0.6  # the watchdog's second move follows its click within the same tick
eval "$(xdotool getmouselocation --shell | grep -E '^[XY]=')"
# 115 of the band's pixels below its top, in the screen's own pixels.
want_y=$(( top + (115 * dpi + 48) / 96 ))
echo "  pointer: $X,$Y after the watchdog (expected about $((W / 2)),$want_y)"
[ $(( X - W / 2 )) -ge -2 ] && [ $(( X - W / 2 )) -le 2 ] && [ $(( Y - want_y )) -ge -3 ] && [ $(( Y - want_y )) -le 3 ] ||
  fail "pointer at $X,$Y"
shot watchdog
echo "scaled $dpi passed"
