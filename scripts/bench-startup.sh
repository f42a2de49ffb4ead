#!/usr/bin/env bash
# Start-up time (process start to the band on screen) and resident memory of the idle band,
# beside a bare Qt window built the same way, measured in the same run under Xvfb. The terminal
# hands its start to its guard: the band's memory is the terminal's, the guard's is its own
# column. BEFORE=path/to/an/older/quorval measures that one too, in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-5}
. scripts/lib.sh
bench_setup

# start_probe starts the program and watches the display's events for the window: mapped with the
# title at the band's size (1366x166). No polling that takes CPU from the start being measured.
rss_kb() { awk '/VmRSS/ {print $2}' "/proc/$1/status"; }

measure() {  # name command title wait_ms
  local name=$1 cmd=$2 title=$3 wait_ms=$4 total=0 mem=0 guard_mem=0 each=""
  for i in $(seq "$runs"); do
    local home="$work/home-$name-$i"
    mkdir -p "$home"
    printf '[server]\r\nhost=%s\r\n' "$host" >"$home/install.ini"
    printf '[start]\r\nlog=1\r\nID=DEMO01\r\n' >"$home/cl.ini"
    local out ms pid
    out=$(QUORVALIS_HOME=$home build-bench/bench/start_probe "$title" 1366x166 30000 $cmd 2>/dev/null) || true
    read -r ms pid <<<"$out"
    [ -n "$ms" ] && [ "$ms" != "-" ] || { echo "$name: no band within 30 s" >&2; kill "${pid:-0}" 2>/dev/null; exit 1; }
    sleep 2
    [ -e "/proc/$pid/status" ] || { echo "$name ended before it could be measured" >&2; exit 1; }
    local terminal; terminal=$(pgrep -P "$pid" -x quorval | head -1 || true)
    if [ -n "$terminal" ]; then
      guard_mem=$(( guard_mem + $(rss_kb $pid) ))
      mem=$(( mem + $(rss_kb "$terminal") ))
    else
      mem=$(( mem + $(rss_kb $pid) ))
    fi
    ms=$(awk -v m="$ms" -v w="$wait_ms" 'BEGIN { printf "%d", m - w + 0.5 }')
    total=$(( total + ms ))
    each="$each$ms/"
    # The probe has ended, so the program is nobody's child here: wait until it is gone or a zombie.
    kill "$pid"
    for _ in $(seq 100); do
      [ "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null || echo Z)" = Z ] && break
      sleep 0.05
    done
  done
  echo "$name $(( total / runs )) $(( mem / runs )) $(( guard_mem / runs )) ${each%/}"
}

# The band starts its start sequence 2502 ms after login; that wait is left out.
bare=$(measure bare build-bench/bench/bare_window "bare window" 0)
band=$(measure terminal build-bench/app/quorval "quorvalis - Tarvendels via SMS" 2502)
read -r _ bare_ms bare_kb _ bare_each <<<"$bare"
read -r _ band_ms band_kb guard_kb band_each <<<"$band"
printf '%-26s %9s %13s %14s  %s\n' "program (mean of $runs runs)" "start ms" "idle RSS KiB" "guard RSS KiB" "each run, ms"
printf '%-26s %9d %13d %14s  %s\n' "bare Qt window" "$bare_ms" "$bare_kb" "-" "$bare_each"
printf '%-26s %9d %13d %14d  %s\n' "terminal band" "$band_ms" "$band_kb" "$guard_kb" "$band_each"
awk -v a="$band_ms" -v b="$bare_ms" -v c="$band_kb" -v d="$bare_kb" \
  'BEGIN { printf "%-26s %8.2fx %12.2fx\n", "band / bare", a / b, c / d }'
if [ -n "${BEFORE:-}" ]; then
  before=$(measure before "$BEFORE" "quorvalis - Tarvendels via SMS" 2502)
  read -r _ before_ms before_kb _ before_each <<<"$before"
  printf '%-26s %9d %13d %14s  %s\n' "terminal band, BEFORE" "$before_ms" "$before_kb" "-" "$before_each"
  awk -v a="$band_ms" -v b="$before_ms" 'BEGIN { printf "%-26s %8.2fx\n", "band / BEFORE", a / b }'
fi
