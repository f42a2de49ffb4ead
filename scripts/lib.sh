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

# wine_bits DIR: whether this machine runs 32-bit programs (runs32=1 or 0), and
# "wine" the 64-bit loader on both kinds of machine, through wrappers in DIR/wine64-bin put first
# on PATH. Debian's wine wrapper picks the 32-bit loader whenever wine32 is installed; its tools
# (taskkill, reg, cmd) are then 32-bit, and a 32-bit taskkill does not see the 64-bit terminal. The
# 64-bit loader hands a 32-bit program (the reader helper and its driver) to the 32-bit loader
# where the kernel runs one; some kernels run none ("Exec format error").
wine_bits() {
  local bin=$1/wine64-bin w
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then runs32=1; else runs32=0; fi
  mkdir -p "$bin"
  for w in wine wine-stable; do
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$bin/$w"
    chmod +x "$bin/$w"
  done
  case ":$PATH:" in *":$bin:"*) ;; *) export PATH=$bin:$PATH ;; esac
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

# debian_sources DIR: a private apt configuration in DIR (sets aptopts) with the machine's own
# Debian sources as deb-src: the mirror or proxy its administrator configured, never an address
# of ours, and only the release's own suites (release, updates, security: the security suite's
# fixes are ours to ship). Both the one-line and the deb822 format; the machine's sources stay.
debian_sources() {
  local dir=$1 etc=${APT_ETC:-/etc/apt} codename f
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  mkdir -p "$dir/parts" "$dir/lists/partial" "$dir/cache/archives/partial"
  rm -f "$dir/parts/"*
  for f in "$etc/sources.list" "$etc"/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk -v c="$codename" '
      $1 == "deb" {
        line = $0; opts = ""
        if (match(line, /\[[^]]*\]/)) {
          opts = substr(line, RSTART, RLENGTH) " "
          line = substr(line, 1, RSTART - 1) substr(line, RSTART + RLENGTH)
        }
        sub(/^[ \t]+/, "", line); n = split(line, w, /[ \t]+/)  # deb URI SUITE COMPONENTS...
        if (w[3] != c && w[3] != c "-updates" && w[3] != c "-security") next
        out = "deb-src " opts w[2]; for (i = 3; i <= n; i++) out = out " " w[i]; print out
      }' "$f"
  done >"$dir/sources.list"
  for f in "$etc"/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v c="$codename" '
      function flush(   i, n, w, keep) {
        if (types ~ /(^| )deb( |$)/) {  # "Enabled: no" stays with the rest, for apt
          n = split(suites, w, " "); keep = ""
          for (i = 1; i <= n; i++) if (w[i] == c || w[i] == c "-updates" || w[i] == c "-security") keep = keep " " w[i]
          if (keep != "") { print "Types: deb-src"; print "Suites:" keep; printf "%s", rest; print "" }
        }
        types = suites = rest = ""; field = ""
      }
      /^#/ { next }
      /^[ \t]*$/ { flush(); next }
      /^[ \t]/ { if (field != "types" && field != "suites") rest = rest $0 "\n"; next }
      { split($0, kv, ":"); key = tolower(kv[1]); val = substr($0, length(kv[1]) + 2); sub(/^[ \t]+/, "", val)
        field = key
        if (key == "types") types = val
        else if (key == "suites") suites = val
        else rest = rest $0 "\n" }
      END { flush() }' "$f" >"$dir/parts/$(basename "$f")"
    [ -s "$dir/parts/$(basename "$f")" ] || rm -f "$dir/parts/$(basename "$f")"
  done
  if [ ! -s "$dir/sources.list" ] && [ -z "$(ls "$dir/parts")" ]; then
    echo "no Debian $codename source configured in $etc: add its suites to the machine's sources" >&2
    return 1
  fi
  aptopts=(-o "Dir::Etc::SourceList=$dir/sources.list" -o "Dir::Etc::SourceParts=$dir/parts"
           -o "Dir::State::Lists=$dir/lists" -o "Dir::Cache=$dir/cache")
}

# fetch_source PACKAGE VERSION DEST: Debian's source package at that version, unpacked with its
# patches into DEST through the apt configuration of debian_sources. Unpacked beside DEST and
# moved there only once whole, so an interrupted fetch leaves nothing a later run would trust.
fetch_source() {
  local pkg=$1 version=$2 dest=$3 tmp
  [ -d "$dest" ] && return 0
  mkdir -p "$(dirname "$dest")"
  tmp=$(mktemp -d "$dest.partial.XXXXXX")
  if (cd "$tmp" && apt-get "${aptopts[@]}" source -qq "$pkg=$version" >"$tmp.log" 2>&1) &&
     mv "$(find "$tmp" -mindepth 1 -maxdepth 1 -type d | head -1)" "$dest"; then
    rm -rf "$tmp" "$tmp.log"
  else
    echo "source $pkg $version could not be fetched: $(tail -3 "$tmp.log")" >&2
    rm -rf "$tmp" "$tmp.log"
    return 1
  fi
}

# newest_source ROOT PACKAGE [VERSION_PREFIX]: prints the folder (ROOT/src/PACKAGE/VERSION) of the
# newest source of PACKAGE, of the versions that begin with VERSION_PREFIX, that can be fetched.
# A newer one that cannot be fetched is named, not hidden, and the next older one taken.
newest_source() {
  local root=$1 pkg=$2 v
  for v in $(apt-cache "${aptopts[@]}" showsrc "$pkg" | sed -n 's/^Version: //p' | sort -Vru |
             awk -v p="${3:-}" 'index($0, p) == 1'); do
    fetch_source "$pkg" "$v" "$root/src/$pkg/$v" && { echo "$root/src/$pkg/$v"; return 0; }
    echo "source $pkg $v: trying the next older one" >&2
  done
  echo "no source of $pkg ${3:-}could be fetched" >&2
  return 1
}
