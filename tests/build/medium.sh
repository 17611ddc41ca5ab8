#!/usr/bin/env bash
# The medium image, signed with a test certificate, its English installer a vendor's folder: what
# it holds, that a bad installer name writes none, that the signed launcher keeps its resources,
# that Windows (as Wine plays it) trusts its signature and not a tampered copy, and that the
# launcher at the root of the extracted image, mapped as a drive, starts English\setup.exe (the
# vendor's Setup.exe), which finds its package beside itself by its own path.
# Runs in the test run's Wine session (WINE_SESSION_DIR).
set -euo pipefail
src=${1:?usage: medium.sh SOURCE_DIR WORK_DIR}
work=${2:?usage: medium.sh SOURCE_DIR WORK_DIR}
bin=$src/build/windows/bin
fail() { echo "FAIL: $*"; exit 1; }
windows_path() { echo "Z:${1//\//\\}"; }  # a path as Wine's drive Z: names it
# The disc extracted from the image is read-only, as the image has it; it is made writable again
# when the test ends, and before a run removes what an interrupted one left.
writable() { [ ! -d "$work/disc" ] || chmod -R u+w "$work/disc"; }
writable
rm -rf "$work"; mkdir -p "$work"
trap writable EXIT
image=$work/test.iso
standin=$bin/setup_standin.exe

. "$src/tests/build/test_pki.sh"
make_test_pki "$work/pki"

# A vendor's installers in place of the demonstration ones: here the recording stand-in, for
# English in a folder beside its package, as a bootstrapper stands beside its .msi.
mkdir -p "$work/english/Data/Nested"
cp "$standin" "$work/english/Setup.exe"
echo "the English package" >"$work/english/setup.msi"
echo "a cabinet" >"$work/english/Data/Nested/data1.cab"
MEDIUM_IMAGE=$image ENGLISH_SETUP=$work/english GERMAN_SETUP=$standin FRENCH_SETUP=$standin \
  SIGN_CERT=$work/pki/chain.pem SIGN_KEY=$work/pki/sign.key "$src/medium/make-medium" 2>"$work/medium.err"
listing=$(xorriso -indev "$image" -find / -type f 2>/dev/null | tr -d "'" | sort)
expected=$'/English/Data/Nested/data1.cab\n/English/Setup.exe\n/English/setup.msi\n/French/setup.exe\n/German/setup.exe\n/Project1.exe\n/autorun.inf\n/build-record.txt'
[ "$listing" = "$expected" ] || fail "the image holds"$'\n'"$listing"
# A Joliet supplementary volume descriptor (type 2, "CD001", UCS-2 escape "%/E") follows the
# primary one, so Windows sees the names as they are.
joliet=no
for sector in 17 18 19; do
  head=$(dd if="$image" bs=2048 skip=$sector count=1 2>/dev/null | head -c 91 | od -An -c | tr -d ' \n')
  [[ $head == 002CD001* && $head == *%/E ]] && joliet=yes
done
[ $joliet = yes ] || fail "no Joliet names in the image"

# A missing or unreadable installer is a clear error, and no image is written.
if MEDIUM_IMAGE=$work/bad.iso GERMAN_SETUP=$work/no-such-setup.exe "$src/medium/make-medium" 2>"$work/bad.err"; then
  fail "a missing installer was accepted"
fi
grep -q 'German installer' "$work/bad.err" || fail "the error does not say which: $(cat "$work/bad.err")"
[ ! -e "$work/bad.iso" ] || fail "an image was written although an installer was missing"

# The extracted image as drive N:, and the launcher started from its root.
xorriso -osirrox on -indev "$image" -extract / "$work/disc" 2>/dev/null
"$src/tests/build/resources.sh" "$work/disc/Project1.exe" >"$work/resources.log" ||
  fail "the signed launcher lost its resources: $(cat "$work/resources.log")"
. "$WINE_SESSION_DIR/session.env"
export WINEDEBUG=-all

# Windows's own verdict on the signature, once the test root is trusted: the launcher as signed
# is trusted, and a copy with one byte changed is not (TRUST_E_BAD_DIGEST).
openssl x509 -in "$work/pki/root.pem" -outform DER -out "$work/root.cer"
cat "$work/disc/Project1.exe" >"$work/tampered.exe"  # a copy that can be written, unlike the disc's
printf '\x01' | dd of="$work/tampered.exe" bs=1 seek=4096 conv=notrunc status=none
trust() { wine "$bin/trust_check.exe" "$@" 2>/dev/null | tr -d '\r'; }
[ "$(trust add-root "$(windows_path "$work/root.cer")")" = added ] || fail "the test root could not be added to the trusted roots"
[ "$(trust verify "$(windows_path "$work/disc/Project1.exe")")" = 00000000 ] || fail "Windows does not trust the signed launcher"
[ "$(trust verify "$(windows_path "$work/tampered.exe")")" = 80096010 ] || fail "Windows did not refuse the tampered launcher as a bad digest"
ln -sfn "$work/disc" "$WINEPREFIX/dosdevices/n:"
trap 'rm -f "$WINEPREFIX/dosdevices/n:"; writable' EXIT
cp "$bin/window_tool.exe" "$work/"
export STANDIN_RECORD=$(windows_path "$work/record.txt")
# Output to files: Wine's helpers outlive these commands and would hold the test's output open.
# Every wait has a limit, so a press that goes astray fails the test instead of hanging it.
(cd "$work" && timeout 120 wine 'N:\Project1.exe' >"$work/launcher.log" 2>&1) &
launcher=$!
timeout 120 wine "$work/window_tool.exe" click Tolvanix English >"$work/tool.log" 2>&1 ||
  fail "the launcher's window did not come ready from N: $(cat "$work/tool.log")"
wait $launcher || fail "the launcher did not end within two minutes of the press on English"
for _ in $(seq 600); do grep -q '^end' "$work/record.txt" 2>/dev/null && break; sleep 0.1; done
[ -e "$work/record.txt" ] || fail "no setup program started within a minute of the press on English"
# Windows finds Setup.exe for setup.exe; the folder it runs from is not its own, yet it finds its
# package.
grep -qix 'path=N:\\English\\setup.exe' "$work/record.txt" || fail "expected N:\\English\\setup.exe to start: $(cat "$work/record.txt")"
! grep -qix 'cwd=N:\\English' "$work/record.txt" || fail "the setup program ran in its own folder, which proves nothing of how it finds its package"
grep -qx 'beside=the English package' "$work/record.txt" || fail "the setup program did not find its package beside itself: $(cat "$work/record.txt")"
echo "ok: image lists, names Joliet, refuses a missing installer, keeps the signed launcher's resources and trust, and launches a vendor's folder's setup from its root, which finds its package"
