#!/usr/bin/env bash
# The real terminal on Windows (Wine) as a branch gets it: the installer run silently with the
# server's address, quorval.exe started from c:\quorvalis against zentrale on loopback, and
# driven as a person would with xdotool on a 1366x768 display: the band, a guest registered
# with the welcome SMS, a coupon redeemed with its receipt printed on the CUPS PDF printer.
# Then the uninstaller, which must keep the branch's records.
#   tests/windows/journey.sh BUILD VERSION   (from scripts/windows.sh, with its display)
set -euo pipefail
win=$1 version=$2
. tests/windows/lib.sh

start_zentrale "$out/zentrale" build
printf '%s' "$version" >"$out/zentrale/update/filial.ini"  # the head office's current version
echo "  zentrale on $host"

echo "-- silent install"
rm -rf "$home"
wine "$win/quorvalis-setup-$version.exe" /S "/HOST=$host" /TIMEOUT=10 /FL=1
[ -f "$home/quorval.exe" ] || fail "quorval.exe not installed"
grep -q "filial=$version" "$home/version.ini" || fail "version.ini: $(cat "$home/version.ini")"
grep -q "host=$host" "$home/install.ini" || fail "install.ini: $(cat "$home/install.ini")"
grep -q "FL=1" "$home/cl.ini" || fail "cl.ini: $(cat "$home/cl.ini")"
echo "  installed: $(du -sh "$home" | cut -f1) in c:\\quorvalis"

echo "-- the terminal from c:\\quorvalis"
printf '[start]\r\nlog=1\r\nID=DEMO01\r\nFL=1\r\n' >"$home/cl.ini"
start_terminal
wait_for 60 requested "/quorvalis/DATA/demo/rss.ini" || fail "the band never fetched the ticker settings"
[ -s "$home/filialini.ini" ] || fail "no filialini.ini"
sleep 4  # the band lays itself out after the start sequence
shot band
band=$(band_window)
[ -n "$band" ] || fail "no band window"
xdotool getwindowgeometry "$band" | tr -d ' ' | tee "$out/band.txt"
grep -q "Position:0,601" "$out/band.txt" && grep -q "Geometry:1366x166" "$out/band.txt" || fail "the band is not across the bottom"

echo "-- a new guest"
click 553 658  # "Neuen Gast erfassen"
sleep 2
shot new-guest
click 872 328  # the man's picture
click 172 288  # first name
for value in Wilhelm "Müller" 0171 5550123 07 08 1990; do type_line "$value"; done
shot new-guest-typed
click 412 508  # save
wait_for 30 requested "smssending.cgi" || fail "no SMS was logged"
shot new-guest-saved
sqlite3 "$out/zentrale/zentrale.sqlite" "select receiver, msg from sms" | tee "$out/sms.txt"
grep -q "^00491715550123|Hallo Wilhelm, willkommen" "$out/sms.txt" || fail "no welcome SMS to the guest"
sqlite3 "$out/zentrale/zentrale.sqlite" "select first, last from guests where number = '00491715550123'" |
  grep -qx "Wilhelm|Müller" || fail "the guest is not on the server as typed"
click 1254 674  # "verlassen"
sleep 2

echo "-- a coupon"
click 813 658  # "Gutschein einlösen"
sleep 2
for value in 0171 1234567 1234; do type_line "$value"; done
click 264 384  # "Gutschein suchen"
wait_for 15 requested "searchc.cgi" || fail "no coupon lookup"
sleep 1
shot coupon-found
click 212 623  # "Gutschein jetzt einlösen"
wait_for 15 requested "delcoupon.cgi" || fail "the coupon was not deleted on the server"
wait_for 15 test -s "$home/coupons.ini" || fail "no coupons.ini"
shot coupon-redeemed
today=$(date +%d.%m.%Y)
printf '%s;1234;00491711234567;5\r\n' "$today" | cmp - "$home/coupons.ini" || fail "coupons.ini: $(od -c "$home/coupons.ini" | head)"
pdfs=$(getent passwd "$(id -un)" | cut -d: -f6)/PDF
# Wine prints through its PostScript driver; cups-pdf writes the job into ~/PDF.
receipt() { local f; f=$(ls -t "$pdfs"/quorvalis_Quittung_1234*.pdf 2>/dev/null | head -1) &&
  [ "$f" -nt "$out/zentrale.out" ] && pdftotext "$f" - | tr -s '[:space:]' ' ' >"$out/receipt.txt" &&
  grep -q "Handynummer" "$out/receipt.txt"; }
wait_for 60 receipt || fail "no receipt in $pdfs"
cp "$(ls -t "$pdfs"/quorvalis_Quittung_1234*.pdf | head -1)" "$out/receipt.pdf"
pdftoppm -r 100 -png "$out/receipt.pdf" "$out/receipt"
echo "  receipt: $out/receipt-1.png"
# Wine's PostScript font encoding turns "-" into a soft hyphen in the text layer only.
for expected in "über :" "EURO" "12345 Bar Nord Demo" "Handynummer : 0171 1234567" "A B C D E F"; do
  grep -qF "$expected" "$out/receipt.txt" || fail "receipt lacks '$expected': $(cat "$out/receipt.txt")"
done

stop_terminals
helpers=${QUORVALIS_HELPERS:-$win/win32}
if [ "$runs32" = 1 ]; then
  echo "-- the club screen over the maker's 32-bit driver (a __stdcall stand-in), through quorval-card.exe"
else
  echo "-- the club screen over a 64-bit driver stand-in: this machine runs no 32-bit programs"
fi
cp "$helpers/SCard32.dll" "$home/SCard32.DLL"  # as the reader maker's set-up puts it
printf '[start]\r\nlog=1\r\nID=DEMO01\r\nFL=1\r\nclub=1\r\n' >"$home/cl.ini"
card() { build/tools/cardsim/cardsim --file "$home/cardsim.card" "$@"; }
card remove
start_terminal
wait_for 60 requested "/quorvalis/DATA/demo/rss.ini" || fail "the band did not come back in club mode"
sleep 4
card club 00491711234567
visits=$home/data/$(date +%-m)/$(date +%-d)t.ini
wait_for 10 grep -q "^00491711234567;Anna;Muster;" "$visits" || fail "the member's card did not check her in"
sleep 1
shot club
echo "  visit: $(head -1 "$visits")"
if [ "$runs32" = 1 ]; then
  helpers_now=$(pgrep -f '[q]uorval-card[.]exe') || fail "no driver helper running"
  # Started by the 64-bit terminal under the 64-bit loader, the helper still runs 32-bit.
  loaders=$(for p in $helpers_now; do readlink "/proc/$p/exe"; done | sort -u)
  grep -qx /usr/lib/wine/wine <<<"$loaders" || fail "the helper runs under $loaders, not the 32-bit loader"
  echo "  helper: /usr/lib/wine/wine (32-bit)"
else
  echo "  the 64-bit stand-in loads in the terminal itself; the helper's protocol is the suite's (64-bit pair)"
fi

echo "-- the technician's self-test from c:\\quorvalis, over HTTPS with the head office's authority"
stop_terminals
tls=$out/tls && mkdir -p "$tls"
(cd "$tls"
 printf 'subjectAltName=IP:127.0.0.1\n' >san
 openssl req -x509 -newkey rsa:2048 -nodes -keyout office.key -out office.pem -days 2 -subj /CN=office
 openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj /CN=zentrale
 openssl x509 -req -in server.csr -CA office.pem -CAkey office.key -CAcreateserial -out server.pem -days 2 -extfile san
) >/dev/null 2>&1
start_zentrale "$out/zentrale-tls" build --tls "$tls/server.pem" "$tls/server.key"
cp "$tls/office.pem" "$home/" && cp "$home/install.ini" "$out/install.ini.plain"
printf '[server]\r\nhost=%s\r\ntimeout=10\r\nca=office.pem\r\n' "$host" >"$home/install.ini"
rm -f "$home/selftest.txt"
# Without the maker's driver the terminal asks Windows' own PC/SC (winscard.dll); Wine's answers
# every call with an error, as Windows does with no reader plugged in.
mv "$home/SCard32.DLL" "$out/SCard32.DLL.aside"
(cd "$home" && exec env -u QT_QPA_PLATFORM -u QUORVALIS_HOME -u QT_QPA_FONTDIR wine 'c:\quorvalis\quorval.exe' --selftest) >>"$out/selftest.log" 2>&1 &
selftest=$!
wait_for 90 test -s "$home/selftest.txt" || fail "no selftest.txt"
sleep 2  # the report's box is drawn after the file is written
shot selftest
xdotool key Return
wait_for 10 sh -c "! kill -0 $selftest" || stop_terminals
tr -d '\r' <"$home/selftest.txt" | iconv -f CP1252 -t UTF-8 >"$out/selftest.txt"
sed 's/^/    /' "$out/selftest.txt"
grep -q "^OK: Zentrale $host antwortet (TLS über openssl, Zertifikat geprüft mit office.pem)" "$out/selftest.txt" ||
  fail "the installed terminal did not verify the server over HTTPS"
grep -q "^FEHLER: kein Kartenleser-Treiber SCard32.DLL im Programmordner, kein PC/SC-Dienst" "$out/selftest.txt" ||
  fail "without the maker's driver the self-test does not name the missing PC/SC service"
cp "$out/install.ini.plain" "$home/install.ini"
mv "$out/SCard32.DLL.aside" "$home/SCard32.DLL"

echo "-- uninstall"
stop_terminals
wine "$home/uninstall.exe" /S '_?=c:\quorvalis'
[ ! -f "$home/quorval.exe" ] || fail "quorval.exe still there after uninstalling"
for kept in coupons.ini cl.ini install.ini; do [ -f "$home/$kept" ] || fail "$kept lost by uninstalling"; done
echo "journey passed"
