# Shared by the demo, benchmark, Windows and fault scripts: the development central server, a
# virtual display, Wine. Source it; each function adds what it starts to the array pids.

# bench_setup: the optimised build in build-bench, a work folder in $work, and the central
# server and a display started for it; all of it ends with the script.
bench_setup() {
  scripts/install-deps.sh
  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVALIS_TESTS=OFF >/dev/null
  cmake --build build-bench -j "$(nproc)" >/dev/null
  work=$(mktemp -d)
  pids=()
  trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
  start_zentrale "$work/zentrale" build-bench
  start_xvfb "$work"
}

# start_zentrale DIR [BUILD [ARGS...]]: the central server with the demo branch and its faults on purpose
# on a free loopback port;
# sets host (name:port).
start_zentrale() {
  local data=$1 build=${2:-build}
  shift $(( $# < 2 ? $# : 2 ))
  mkdir -p "$data"
  "$build/tools/zentrale/zentrale" --data "$data" --port 0 --seed-demo --faults "$@" >"$data.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do grep -q listening "$data.out" && break; sleep 0.1; done
  host=$(sed -n 's#.*listening on \(https://\)\{0,1\}\(http://\)\{0,1\}\(.*\)$#\1\3#p' "$data.out")
  [ -n "$host" ] || { cat "$data.out"; return 1; }
}

# start_xvfb DIR [WxH]: Xvfb at 1366x768 (or WxH) and DISPLAY set to it. Xvfb names its display once it
# accepts connections; a socket file alone comes too early. -noreset: by default the server
# resets when its last client leaves and refuses the next one meanwhile (one benchmark run in
# a few failed with "could not connect to display").
start_xvfb() {
  local file=$1/xvfb.display
  rm -f "$file"
  Xvfb -displayfd 3 -screen 0 "${2:-1366x768}x24" -nolisten tcp -noreset 3>"$file" >/dev/null 2>&1 &
  xvfb=$!
  pids+=($xvfb)
  for _ in $(seq 100); do [ -s "$file" ] && break; sleep 0.1; done
  [ -s "$file" ] || { echo "Xvfb did not start"; return 1; }
  export DISPLAY=:$(tr -d '[:space:]' <"$file")
}

# start_pcsc DIR [BUILD [CARD_FILE]]: a PC/SC service with vsmartcard's virtual reader (vpcd) on a
# free port, in a mount namespace of its own (pcscd 1.9.9 keeps its socket in /run/pcscd; only the
# client reads PCSCLITE_CSOCK_NAME, exported here), and the cardsim card plugged into it.
start_pcsc() {
  local dir=$1 build=${2:-build} card=${3:-} port=35963 p
  mkdir -p "$dir/run" "$dir/conf" /run/pcscd
  for p in $(shuf -i 40000-60000 -n 20); do
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null && ! (exec 3<>"/dev/tcp/127.0.0.1/$((p + 1))") 2>/dev/null; then
      port=$p
      break
    fi
  done
  printf 'FRIENDLYNAME "Virtual PCD"\nDEVICENAME /dev/null:%s\nLIBPATH /usr/lib/pcsc/drivers/serial/libifdvpcd.so\nCHANNELID %s\n' \
    "$port" "$port" >"$dir/conf/vpcd"
  export PCSCLITE_CSOCK_NAME=$dir/run/pcscd.comm
  rm -f "$PCSCLITE_CSOCK_NAME"
  unshare --mount sh -c 'mount --bind "$0" /run/pcscd && exec /usr/sbin/pcscd --foreground --config "$1"' \
    "$dir/run" "$dir/conf" >"$dir/pcscd.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -S "$PCSCLITE_CSOCK_NAME" ] && break; sleep 0.1; done
  [ -S "$PCSCLITE_CSOCK_NAME" ] || { cat "$dir/pcscd.log"; return 1; }
  "$build/tools/cardsim/cardsim-vpcd" --port "$port" ${card:+--file "$card"} &
  pids+=($!)
}

# wine_bits DIR: whether this machine runs 32-bit programs (runs32=1 or 0), said aloud. Some
# kernels run none ("Exec format error"), and Debian's wine wrapper still picks the 32-bit
# loader whenever wine32 is installed: there "wine" becomes the 64-bit loader through wrappers
# in DIR/wine64-bin, put first on PATH.
wine_bits() {
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    runs32=1
  else
    runs32=0
    local bin=$1/wine64-bin w
    mkdir -p "$bin"
    for w in wine wine-stable; do
      printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$bin/$w"
      chmod +x "$bin/$w"
    done
    case ":$PATH:" in *":$bin:"*) ;; *) export PATH=$bin:$PATH ;; esac
  fi
  export runs32
}

# start_wine: the Windows build's Wine prefix ($win, $qt and $libs set) on the display started
# before, with one wineserver for all the runs that follow; adds a wineserver kill to the exit.
start_wine() {
  . scripts/wine-env.sh
  wineserver -k 2>/dev/null || true  # a server left from an earlier run would refuse -p
  wineserver -p
  # Wine's own helper processes start with the first program and would inherit the pipe CTest
  # reads a test's output from, so CTest would wait for them: start them here.
  wine cmd /c ver </dev/null >/dev/null 2>&1
}

# installer_fault PATCH: whether a fault patch changes only the installer (packaging/); those are
# for scripts/faults-windows.sh, the rest for scripts/faults.sh.
installer_fault() { ! grep '^+++ b/' "$1" | grep -qv '^+++ b/packaging/'; }

# caught_by PATCH: the tests a fault's first line names, one a line.
caught_by() { sed -n '1s/^# caught by: *//p' "$1" | tr ',' '\n' | sed 's/^ *//; s/ *$//' | grep -v '^$' || true; }

# failed_tests LOG: the tests CTest lists as failed, one a line (skipped ones are not failures).
failed_tests() {
  sed -n '/^The following tests FAILED:/,/^[^[:space:]]/p' "$1" | sed -nE 's/^\s+[0-9]+ - ([^ ]+) .*/\1/p'
}

# judge NAME EXPECTED FAILED: a fault is caught when every test it names failed; other failures
# are said beside it. Returns 1 when a named test passed.
judge() {
  local name=$1 expected=$2 failed=$3 t missing=() others=()
  for t in $expected; do grep -qxF "$t" <<<"$failed" || missing+=("$t"); done
  for t in $failed; do grep -qxF "$t" <<<"$expected" || others+=("$t"); done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "$name: MISSED: passed although named: ${missing[*]}${others:+; failed instead: ${others[*]}}"
    return 1
  fi
  echo "$name: caught by $(echo $expected | sed 's/ /, /g')${others:+ (also failed: ${others[*]})}"
}
