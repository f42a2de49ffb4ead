# Sourced by the Windows journeys: the Wine prefix, a results folder $out named after the
# journey, and the person's hands (xdotool on the 1366x768 display scripts/windows.sh made).
# Needs $win; sets $home, the prefix's c:\quorvalis.
cache=${QUORVALIS_WIN_CACHE:-/opt/quorvalis-win}
qt=$cache/qt-6.4.2 libs=$cache/libs
. scripts/lib.sh
. scripts/wine-env.sh
out=$PWD/$win/${journey:-$(basename "$0" .sh)}
rm -rf "$out" && mkdir -p "$out"
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wine taskkill /f /im notepad.exe >/dev/null 2>&1 || true' EXIT
home=$WINEPREFIX/drive_c/quorvalis
fail() { echo "FAILED: $*"; import -window root "$out/failed.png" 2>/dev/null || true; echo "screen: $out/failed.png"; exit 1; }
# wait_for SECONDS COMMAND...: polls until the command succeeds.
wait_for() { local s=$1; shift; for _ in $(seq $((s * 5))); do "$@" >/dev/null 2>&1 && return 0; sleep 0.2; done; return 1; }
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.4; }
type_line() { xdotool type --delay 60 "$1"; xdotool key Return; sleep 0.5; }
shot() { import -window root "$out/$1.png"; echo "  screenshot $out/$1.png"; }
requested() { grep -qF "$1" "$out/zentrale/requests.log"; }
requests_of() { grep -cxF "$1" "$out/zentrale/requests.log" || true; }
# Starts c:\quorvalis\quorval.exe as the autostart would, without the test environment's
# platform and folder overrides.
start_terminal() {
  (cd "$home" && exec env -u QT_QPA_PLATFORM -u QUORVALIS_HOME -u QT_QPA_FONTDIR wine 'c:\quorvalis\quorval.exe') >>"$out/quorval.log" 2>&1 &
  pids+=($!)
}
# The guard goes first: it would start a terminal ended before it again. (Its command line names
# the terminal too, so the last wait covers both.)
stop_terminals() {
  wine taskkill /f /im quorval-guard.exe >/dev/null 2>&1 || true
  wait_for 10 sh -c '! pgrep -f "[q]uorval-guard[.]exe" >/dev/null' || pkill -9 -f '[q]uorval-guard[.]exe' || true
  wine taskkill /f /im quorval.exe >/dev/null 2>&1 || true
  wait_for 10 sh -c '! pgrep -f "[q]uorval[.]exe" >/dev/null' || pkill -9 -f '[q]uorval[.]exe' || true
  sleep 0.5
}
# pids_of NAME: the Linux processes (Wine's loader) running the program NAME (quorval.exe): the
# first word of the command line is the program, so the guard, whose command line names the
# terminal after it, is not the terminal's. terminal_pids: the terminal's.
pids_of() {
  local p first
  for p in /proc/[0-9]*; do
    first=$(tr '\0' '\n' 2>/dev/null <"$p/cmdline" | head -1) || continue
    case "${first,,}" in *"\\$1") echo "${p#/proc/}" ;; esac
  done
  return 0
}
terminal_pids() { pids_of quorval.exe; }
# small_drive KB: c:\quorvalis moved onto a tmpfs of that size (a full disk), the mount undone at
# exit; false, and nothing changed, where this machine mounts none. leave_small_drive: back.
small=$out/small
small_drive() {
  mkdir -p "$small"
  mount -t tmpfs -o size="$1"k tmpfs "$small" 2>/dev/null || return 1
  trap 'umount "$small" 2>/dev/null || true; for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
  cp -a "$home" "$small/quorvalis" && rm -rf "$home" && ln -s "$small/quorvalis" "$home"
}
leave_small_drive() { rm "$home" && cp -a "$small/quorvalis" "$home" && umount "$small"; }
band_window() { xdotool search --onlyvisible --name '^quorvalis - Tarvendels via SMS$' | head -1; }
