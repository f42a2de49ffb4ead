#!/usr/bin/env bash
# Touch to first paint: the band's "Neuen Gast erfassen" and "Gutschein einlösen" touched with
# XTest until the screen each opens has first drawn into its window (XDamage), on the real
# terminal under Xvfb, beside a bare Qt button that opens a bare QDialog, built the same way.
# RUNS=N touches per button (default 10); QUORVAL=path measures another build of the terminal;
# SHOTS=dir keeps the first frame each opens (as PNG), to see that it is the screen's real one.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-10}
terminal=${QUORVAL:-build-bench/app/quorval}
# The probe watches the display through the DAMAGE extension.
if ! dpkg-query -W -f='${Status}' libxdamage-dev 2>/dev/null | grep -q 'install ok installed'; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq libxdamage-dev
fi
. scripts/lib.sh
bench_setup
probe=build-bench/bench/touch_probe
[ -x "$probe" ] || { echo "no $probe: libxdamage-dev missing at configure time" >&2; exit 1; }

# Where to touch on the 1366x768 screen, in twips (15 a pixel) as the band and the screens place
# themselves (src/shell/band_layout.cpp, src/keyboard/entry_screen.cpp).
W=$((1366 * 15)) H=$((768 * 15))
band_top=$(((H - 2500) / 15))
butt_y=$((band_top + 300 / 15 + 1100 / 15 / 2))
butt1_x=$(((W / 2 - 300 - 3300) / 15 + 3300 / 15 / 2))
butt2_x=$(((W / 2 + 300) / 15 + 3300 / 15 / 2))
screen_top=$(((H - 9000) / 15))
close_x=$(((W - 2900) / 15 + 2500 / 15 / 2))
close_y=$((screen_top + 7200 / 15 + 800 / 15 / 2))
screen_h=$((9000 / 15))

now_ms() { date +%s%3N; }
# Waits until a window with the title is mapped at the bottom of the screen with band height.
wait_band() {
  local title=$1 deadline=$(($(now_ms) + 30000))
  while [ "$(now_ms)" -lt "$deadline" ]; do
    for w in $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
      xdotool getwindowgeometry "$w" 2>/dev/null | grep -q 'Geometry: 1366x166' && return 0
    done
    sleep 0.05
  done
  echo "no band titled $title" >&2
  return 1
}

median_max() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 }
  END { printf "%.0f %.0f\n", (v[int((NR + 1) / 2)] + v[int(NR / 2) + 1]) / 2, v[NR] }'; }

# touches name x y: RUNS touches, each until the first paint and closed again; prints
# "name median max median-map each/run/..." in ms.
touches() {
  local name=$1 x=$2 y=$3 paints=() maps=()
  for i in $(seq "$runs"); do
    local shot=""
    [ -n "${SHOTS:-}" ] && [ "$i" = 1 ] && shot=$SHOTS/$name.ppm
    local result
    result=$("$probe" "$x" "$y" "$close_x" "$close_y" $((screen_h / 2)) $shot) ||
      { echo "$name: run $i failed" >&2; exit 1; }
    read -r map paint <<<"$result"
    paints+=("$paint")
    maps+=("$map")
    # The band idles between touches, as it does between two guests.
    sleep 1
  done
  local each="${paints[*]}"
  echo "$name $(median_max "${paints[@]}") $(median_max "${maps[@]}" | cut -d' ' -f1) ${each// //}"
}

start_program() {  # home command title
  local home=$1 cmd=$2 title=$3
  mkdir -p "$home"
  printf '[server]\r\nhost=%s\r\n' "$host" >"$home/install.ini"
  printf '[start]\r\nlog=1\r\nID=DEMO01\r\nFL=1\r\n' >"$home/cl.ini"
  QUORVALIS_HOME=$home $cmd >"$home.out" 2>&1 &
  pids+=($!)
  wait_band "$title"
  sleep 3  # the start sequence's requests and the news strip's first feed
}

[ -n "${SHOTS:-}" ] && mkdir -p "$SHOTS"
start_program "$work/bare" build-bench/bench/bare_dialog "bare dialog"
bare=$(touches bare "$butt1_x" "$butt_y")
kill "${pids[-1]}"
start_program "$work/terminal" "$terminal" "quorvalis - Tarvendels via SMS"
guest=$(touches guest "$butt1_x" "$butt_y")
coupon=$(touches coupon "$butt2_x" "$butt_y")
if [ -n "${SHOTS:-}" ]; then
  for f in "$SHOTS"/*.ppm; do convert "$f" "${f%.ppm}.png" && rm "$f"; done
fi

printf '%-40s %7s %6s %9s  %s\n' "touch to first paint, $runs runs (ms)" median max "map med." \
  "each run in order"
row() {  # label result; the labels' umlauts are one column, not two bytes
  read -r _ median max map each <<<"$2"
  printf '%s%*s %7d %6d %9d  %s\n' "$1" $((40 - $(printf %s "$1" | LC_ALL=C.UTF-8 wc -m))) "" \
    "$median" "$max" "$map" "$each"
}
row "bare button, bare QDialog" "$bare"
row "Neuen Gast erfassen (new-guest screen)" "$guest"
row "Gutschein einlösen (coupon screen)" "$coupon"
echo "load average at the end (2 cores shared): $(cut -d' ' -f1-3 /proc/loadavg)"
