#!/usr/bin/env bash
# The cost of a day under Wine, as the branch PC runs it: the installed terminal's start to the
# band beside a bare Qt window built with the same Qt and started from a folder with the same
# DLLs, and the CPU of the terminal with the news strip scrolling and the club screen polling
# the reader over QUORVALIS_WIN_IDLE_SECONDS (default 300). Prints figures; fails only when a
# program does not come up.
#   tests/windows/cost.sh BUILD VERSION   (from scripts/windows.sh, with its display)
set -euo pipefail
win=$1 version=$2
runs=${RUNS:-5} seconds=${QUORVALIS_WIN_IDLE_SECONDS:-300}
. tests/windows/lib.sh

start_zentrale "$out/zentrale" build
printf '%s' "$version" >"$out/zentrale/update/filial.ini"  # no update meanwhile
rm -rf "$home"
# QUORVALIS_COST_INSTALLER: another build's installer, to measure before and after alike.
wine "${QUORVALIS_COST_INSTALLER:-$win/quorvalis-setup-$version.exe}" /S "/HOST=$host" /TIMEOUT=10 /FL=1
[ -f "$home/quorval.exe" ] || fail "quorval.exe not installed"
bare=$WINEPREFIX/drive_c/quorvalis-bare
rm -rf "$bare" && cp -r "$win/stage" "$bare" && cp "$win/bench/bare_window.exe" "$bare/"

now_ms() { date +%s%3N; }
band_up() {  # TITLE: a window of that title at the band's size
  local w
  for w in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
    xdotool getwindowgeometry "$w" 2>/dev/null | grep -q 'Geometry: 1366x166' && return 0
  done
  return 1
}
wait_up() { local deadline=$(( $(now_ms) + 60000 )); until band_up "$1"; do [ "$(now_ms)" -lt "$deadline" ] || return 1; sleep 0.01; done; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
sum_ticks() { local t=0 p; for p in "$@"; do t=$(( t + $(cpu_ticks "$p") )); done; echo $t; }

# start NAME FOLDER PROGRAM TITLE DELAY_MS: milliseconds to the band, the start sequence's own
# wait left out; the program ended after.
start() {
  local folder=$2 program=$3 title=$4 delay=$5 t0 t1
  t0=$(now_ms)
  (cd "$folder" && exec env -u QT_QPA_PLATFORM -u QUORVALIS_HOME -u QT_QPA_FONTDIR wine "c:\\${folder##*/}\\$program") >>"$out/$1.log" 2>&1 &
  pids+=($!)
  wait_up "$title" || fail "$1 did not come up"
  t1=$(now_ms)
  echo $(( t1 - t0 - delay ))
  wine taskkill /f /im quorval-guard.exe >/dev/null 2>&1 || true
  wine taskkill /f /im "$program" >/dev/null 2>&1 || true
  wait_for 20 sh -c "! xdotool search --onlyvisible --name '^$title\$'" || true
  sleep 1
}
printf '[start]\r\nlog=1\r\nID=DEMO01\r\nFL=1\r\n' >"$home/cl.ini"
echo "-- start to the band, $runs runs each after one to warm up"
declare -A mean
for what in bare terminal; do
  if [ $what = bare ]; then args=("$bare" bare_window.exe "bare window" 0); else args=("$home" quorval.exe "quorvalis - Tarvendels via SMS" 2502); fi
  start "$what" "${args[@]}" >/dev/null
  total=0 each=""
  for _ in $(seq "$runs"); do ms=$(start "$what" "${args[@]}"); total=$((total + ms)); each="$each$ms/"; done
  mean[$what]=$((total / runs))
  printf '  %-10s %6d ms  (%s)\n' "$what" "${mean[$what]}" "${each%/}"
done
awk -v a="${mean[terminal]}" -v b="${mean[bare]}" 'BEGIN { printf "  terminal / bare window: %.2fx\n", a / b }'

echo "-- CPU over $seconds s: the news strip scrolling, the club screen polling its reader"
printf '[rss]\r\nmain=1\r\nitems=3\r\nspeed=2\r\ndescription=0\r\n' >"$out/zentrale/DATA/demo/rss.ini"
printf '[start]\r\nlog=1\r\nID=DEMO01\r\nFL=1\r\nclub=1\r\n' >"$home/cl.ini"
helpers=${QUORVALIS_HELPERS:-$win/win32}
cp "$helpers/SCard32.dll" "$home/SCard32.DLL"
build/tools/cardsim/cardsim --file "$home/cardsim.card" remove
start_terminal
wait_up "quorvalis - Tarvendels via SMS" || fail "the band did not come up"
sleep 8  # the start sequence, the first feed
read -r -a terminal <<<"$(terminal_pids | tr '\n' ' ')"
[ ${#terminal[@]} -gt 0 ] || fail "no terminal process"
server=$(pgrep -f '/wineserver' | head -1 || true)
xvfb=$(pgrep -n -x Xvfb || true)  # the display windows.sh started last
hz=$(getconf CLK_TCK)
t0=$(sum_ticks "${terminal[@]}"); s0=$(cpu_ticks "$server"); x0=$(cpu_ticks "$xvfb")
sleep "$seconds"
t1=$(sum_ticks "${terminal[@]}"); s1=$(cpu_ticks "$server"); x1=$(cpu_ticks "$xvfb")
shot strip
awk -v t=$((t1 - t0)) -v s=$((s1 - s0)) -v x=$((x1 - x0)) -v hz="$hz" -v n="$seconds" \
  'BEGIN { printf "  terminal %.2f %% of a core, wineserver %.2f %%, X server %.2f %%\n", 100*t/hz/n, 100*s/hz/n, 100*x/hz/n }'
stop_terminals
# The floor: the bare window whose 10 ms timer does nothing, its wake-ups alone.
floor=$(( seconds < 120 ? seconds : 120 ))
(cd "$bare" && exec env -u QT_QPA_PLATFORM -u QT_QPA_FONTDIR wine 'c:\quorvalis-bare\bare_window.exe' 10) >>"$out/bare.log" 2>&1 &
pids+=($!)
wait_up "bare window" || fail "the bare window did not come up"
sleep 3
read -r -a window <<<"$(pids_of bare_window.exe | tr '\n' ' ')"
b0=$(sum_ticks "${window[@]}"); s0=$(cpu_ticks "$server")
sleep "$floor"
b1=$(sum_ticks "${window[@]}"); s1=$(cpu_ticks "$server")
awk -v t=$((b1 - b0)) -v s=$((s1 - s0)) -v hz="$hz" -v n="$floor" \
  'BEGIN { printf "  floor, a bare Qt window with an empty 10 ms timer over %d s: %.2f %% of a core, wineserver %.2f %%\n", n, 100*t/hz/n, 100*s/hz/n }'
wine taskkill /f /im bare_window.exe >/dev/null 2>&1 || true
rm -f "$home/SCard32.DLL"
wine "$home/uninstall.exe" /S '_?=c:\quorvalis'
rm -rf "$bare"
echo "cost measured"
