#!/usr/bin/env bash
# A Linux branch as the head office runs it: the terminal package of this build published in a
# signed apt repository on the development central server, installed by apt into a private root
# (the machine's own packages stand in for its dependencies), the terminal started from there
# under its guard. The server offers the Windows installer of a later release: nothing is fetched,
# nothing is shown. Then the next release is published, apt upgrades, and the running terminal
# starts anew into it at a quiet band under the same guard, with the branch's files kept.
#   tests/package/apt_upgrade_journey.sh BUILD NEXT_RELEASE   (exit 77: skipped, no apt-utils/gnupg)
set -euo pipefail
build=${1:?build folder} next=${2:?next release name}
for tool in apt-ftparchive gpg gpgv cpack Xvfb; do
  command -v "$tool" >/dev/null || { echo "skipped: no $tool (scripts/install-deps.sh installs it)"; exit 77; }
done
src=$(cd "$(dirname "$0")/../.." && pwd)
release=$(cat "$src/RELEASE")
arch=$(dpkg --print-architecture)
work=$(mktemp -d)
chmod 755 "$work"  # apt downloads as _apt when run as root
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -d "$work/key" ] && gpgconf --homedir "$work/key" --kill all 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  [ -f "$home/quorval.log" ] && tail -20 "$home/quorval.log"
  exit 1
}
wait_for() {  # seconds command...
  local until=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$until" ] || return 1
    sleep 0.2
  done
}

# This build's packages, and the next release's terminal package: the same files but for the
# terminal and its guard built with the next release name.
(cd "$build" && cpack -G DEB -B "$work/debs" >/dev/null)
deb=$(ls "$work"/debs/quorvalis_0."${release}"_"$arch".deb)
tree=$work/next-tree
dpkg-deb -R "$deb" "$tree"
for program in usr/bin/quorval usr/libexec/quorvalis/quorval-guard; do
  install -m 755 "$build/tests/next/$(basename "$program")" "$tree/$program"
  strip --strip-unneeded "$tree/$program"
done
sed -i "s/^Version: .*/Version: 0.$next/" "$tree/DEBIAN/control"
(cd "$tree" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z | xargs -0 md5sum >DEBIAN/md5sums)
next_deb=$work/debs/quorvalis_0.${next}_$arch.deb
dpkg-deb --root-owner-group -b "$tree" "$next_deb" >/dev/null

# The central server with the demo branch, offering the Windows program of the release after next.
data=$work/zentrale
"$build/tools/zentrale/zentrale" --data "$data" --port 0 --seed-demo >"$work/server.out" 2>&1 &
pids+=($!)
wait_for 10 grep -q listening "$work/server.out" || fail "zentrale did not start"
host=$(sed -n 's#.*listening on http://\(.*\)$#\1#p' "$work/server.out")
windows=F999
printf '%s' "$windows" >"$data/update/filial.ini"
printf 'MZ' >"$data/update/$windows.exe"

# The head office publishes this release; the branch is set up as the README says.
"$src/packaging/apt-repo.sh" --new-key "$work/key" >/dev/null
"$src/packaging/apt-repo.sh" --key "$work/key" --out "$data/update/debian" "$deb" >/dev/null
root=$work/branch
. "$src/tests/package/branch_root.sh"
branch_root "$root" "$work/apt.conf" "$host"
# The packages this machine has stand for the branch's: the terminal's dependencies are there.
cp /var/lib/dpkg/status "$root/var/lib/dpkg/status"
cp "$work/key/quorvalis-archive-keyring.gpg" "$root/etc/apt/keyrings/quorvalis.gpg"
apt() { APT_CONFIG=$work/apt.conf apt-get -q -y "$@" >>"$work/apt.out" 2>&1 || { tail -20 "$work/apt.out"; fail "apt-get $*"; }; }
apt update
apt install --no-install-recommends quorvalis
[ "$("$root/usr/bin/quorval" --version)" = "quorval $release" ] || fail "installed: $("$root/usr/bin/quorval" --version)"
echo "0.$release installed from the signed repository"

# The terminal from the private root, under its guard, logged in to the demo branch, on a screen
# large enough for the band.
. "$src/scripts/lib.sh"
start_xvfb "$work"
home=$work/home
mkdir -p "$home"
printf '[server]\r\nhost=%s\r\ntimeout=10\r\n' "$host" >"$home/install.ini"
printf '[start]\r\nlog=1\r\nID=DEMO01\r\nFL=1\r\n' >"$home/cl.ini"
printf 'kept;1234\r\n' >"$home/coupons.ini"
QT_QPA_PLATFORM=xcb QUORVALIS_HOME=$home XDG_CONFIG_HOME=$work/config "$root/usr/bin/quorval" >"$work/quorval.out" 2>&1 &
guard=$!
pids+=($guard)
terminal_of() { pgrep -P "$guard" -x quorval | head -1; }
wait_for 60 grep -q "/quorvalis/DATA/demo/rss.ini" "$data/requests.log" || fail "the terminal did not reach the band"
first=$(terminal_of)
[ -n "$first" ] || fail "no terminal under the guard"
grep -q "start: version $release, .*under its guard" "$home/quorval.log" || fail "not $release under its guard"
grep -q "the server offers $windows, the package of $release is installed" "$home/quorval.log" || fail "no word of $windows"
! grep -q "$windows.exe" "$data/requests.log" || fail "the Windows program was fetched"
[ ! -e "$home/ $windows.exe" ] || fail "the Windows program lies in the program folder"
! grep -q "Update-Download ERROR" "$work/quorval.out" "$home/quorval.log" || fail "an update error was shown"
echo "the Linux terminal fetched nothing of $windows and said nothing"

# The next release published and installed by apt; the terminal starts anew into it.
"$src/packaging/apt-repo.sh" --key "$work/key" --out "$data/update/debian" "$next_deb" >/dev/null
apt update
apt install --only-upgrade --no-install-recommends quorvalis
grep -q "Unpacking quorvalis (0.$next) over (0.$release)" "$work/apt.out" || fail "apt did not upgrade: $(tail "$work/apt.out")"
since=$SECONDS
renewed() { grep -q "start: version $next, .*under its guard" "$home/quorval.log"; }
wait_for 60 renewed || fail "the terminal did not start anew into $next"
echo "the terminal started anew into $next $((SECONDS - since)) s after the upgrade"
second=$(terminal_of)
[ -n "$second" ] && [ "$second" != "$first" ] || fail "no new terminal under the same guard ($first, $second)"
kill -0 "$guard" || fail "the guard ended"
[ "$(readlink "/proc/$guard/exe")" = "$root/usr/libexec/quorvalis/quorval-guard" ] || fail "the guard runs $(readlink "/proc/$guard/exe")"
grep -q "guard: guard $next watches quorval" "$home/quorval.log" || fail "the guard did not start anew as $next"
grep -q "ends to start anew: the package manager replaced the program" "$home/quorval.log" || fail "no planned end"
! grep -q "terminal ended unplanned" "$home/quorval.log" || fail "the restart counted as unplanned"
[ ! -d "$home/crashes" ] || [ -z "$(ls -A "$home/crashes")" ] || fail "a crash record was written"
[ "$(cat "$home/coupons.ini")" = "$(printf 'kept;1234\r\n')" ] || fail "coupons.ini changed"
# Logged in again with its branch: the band, not the start form.
wait_for 30 sh -c "[ \$(grep -c '/quorvalis/DATA/demo/rss.ini' '$data/requests.log') -ge 2 ]" || fail "the new terminal did not reach the band"
echo "under the same guard, its branch and its files kept"
