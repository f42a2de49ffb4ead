#!/usr/bin/env bash
# Builds the Debian packages from the build folder given, unpacks both into a temporary root
# and starts the packaged terminal offscreen against the packaged central server until the band
# has fetched the branch's settings.
set -euo pipefail
build=$1
root=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$root"' EXIT
(cd "$build" && cpack -G DEB -B "$root/debs" >/dev/null)
for package in quorvalis quorvalis-devtools; do
  deb=$(ls "$root"/debs/${package}_*_amd64.deb)
  dpkg -x "$deb" "$root/fs"
done
bin=$root/fs/usr/bin
# A branch has its reader maker's library: the stand-in never goes into the terminal's package.
if dpkg -c "$root"/debs/quorvalis_*_amd64.deb | grep -q SCard32; then echo "card reader stand-in in the terminal package"; exit 1; fi
"$bin/quorval" --version | grep -qx "quorval $(cat "$(dirname "$0")/../../RELEASE")"

"$bin/zentrale" --data "$root/zentrale" --port 0 --seed-demo >"$root/zentrale.out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do grep -q listening "$root/zentrale.out" && break; sleep 0.1; done
host=$(sed -n 's#.*http://\(.*\)$#\1#p' "$root/zentrale.out")
home=$root/home
mkdir -p "$home"
printf '[server]\r\nhost=%s\r\ntimeout=10\r\n' "$host" >"$home/install.ini"
printf '[start]\r\nlog=1\r\nID=DEMO01\r\nFL=1\r\n' >"$home/cl.ini"
QT_QPA_PLATFORM=offscreen QUORVALIS_HOME=$home XDG_CONFIG_HOME=$root/config "$bin/quorval" >"$root/quorval.out" 2>&1 &
pids+=($!)
for _ in $(seq 200); do
  if grep -q "/quorvalis/DATA/demo/rss.ini" "$root/zentrale/requests.log" 2>/dev/null && [ -s "$home/filialini.ini" ]; then
    echo "the packaged terminal reached the band"
    # Under its guard, which the package carries where the terminal looks for it.
    [ -x "$root/fs/usr/libexec/quorvalis/quorval-guard" ] || { echo "no guard in the package"; exit 1; }
    grep -q "under its guard" "$home/quorval.log" || { echo "not under its guard:"; cat "$home/quorval.log"; exit 1; }
    # The demo branch has win=0: the autostart entry is there, naming a program that does not exist.
    entry=$root/config/autostart/quorvalis.desktop
    head -1 "$entry" | grep -qx '\[Desktop Entry\]' && grep -qx "Exec=\"$home/no_quorval\"" "$entry" ||
      { echo "autostart entry:"; cat "$entry"; exit 1; }
    exit 0
  fi
  sleep 0.1
done
echo "the packaged terminal did not reach the band"; cat "$root/quorval.out"
exit 1
