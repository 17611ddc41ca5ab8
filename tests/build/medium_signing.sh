#!/usr/bin/env bash
# Signing the medium, with no network: a throwaway root, code-signing certificate and timestamp
# authority (test_pki.sh, timestamp_server.sh). Each form of identity, with and without a
# timestamp, gives a launcher on the image that verifies against the test root, and fails with one
# byte changed; the build's own Project1.exe keeps its bytes. SOURCE_DATE_EPOCH makes two runs
# write the same image, signed or not; SHA256SUMS checks. Each bad identity, a timestamp server
# that does not answer or answers with an error, and a missing signing tool give their message
# and no image. The password never reaches a command line or the output. What a signature holds
# is read from its own structure (pe_facts takes it from the file, openssl lists its objects), and
# whether it verifies from the verifying tool's exit status: the tool's wording changes between
# its versions.
set -euo pipefail
usage='usage: medium_signing.sh SOURCE_DIR WORK_DIR PE_FACTS'
src=${1:?$usage}
work=${2:?$usage}
pe_facts=${3:?$usage}
bin=$src/build/windows/bin
export PE_FACTS=$pe_facts  # make-medium reads the setup programs with it
fail() { echo "FAIL: $*"; exit 1; }
rm -rf "$work"; mkdir -p "$work"
. "$src/tests/build/test_pki.sh"
make_test_pki "$work/pki"
pki=$work/pki
standin=$bin/setup_standin.exe
built=$(sha256sum <"$bin/Project1.exe")
servers=()
# The servers stop, and what came read-only out of the images (or was locked on purpose) is made
# writable again.
trap 'for p in "${servers[@]}"; do kill "$p" 2>/dev/null || true; done; chmod -R u+w "$work"' EXIT
serve_timestamps tsa
serve_timestamps broken error

# medium NAME [VARIABLE=VALUE...]: make-medium into WORK/NAME with the stand-in setups; its output
# in NAME.out, its exit status in $status.
medium() {
  local name=$1
  shift
  status=0
  env MEDIUM_IMAGE="$work/$name/Tolvanix.iso" ENGLISH_SETUP="$standin" GERMAN_SETUP="$standin" FRENCH_SETUP="$standin" "$@" \
    "$src/medium/make-medium" >"$work/$name.out" 2>&1 || status=$?
}
# The launcher as the image holds it.
launcher_of() {
  rm -f "$work/$1.exe"
  xorriso -osirrox on -indev "$work/$1/Tolvanix.iso" -extract /Project1.exe "$work/$1.exe" 2>/dev/null
}
verifies() { osslsigncode verify -CAfile "$pki/root.pem" -TSA-CAfile "$pki/root.pem" -in "$1" >"$1.verify" 2>&1; }
# A signature blob (pe_facts writes it from the file) as openssl lists its ASN.1, one item a line.
asn1_of() { openssl asn1parse -inform DER -in "$1"; }
# The objects of that listing, in order, one a line.
objects_in() { awk -F: '/prim: OBJECT / { print $NF }' <<<"$1"; }
# Whether the PE checksum is set: the file states one, and it is the one the file has.
checksum_set() {  # checksum_set EXE: its two checksums in $stated and $computed
  read -r stated computed < <("$pe_facts" "$1" | awk '$1 == "checksum-stated" { s = $2 } $1 == "checksum-computed" { c = $2 } END { print s, c }')
  [[ $stated =~ ^[0-9a-f]{8}$ && $computed =~ ^[0-9a-f]{8}$ ]] && [ "$stated" != 00000000 ] && [ "$stated" = "$computed" ]
}
# The reason given after "PREFIX: " on a line of the output, when it has one.
reason_after() { sed -n "s|.*$2: *||p" "$1" | grep -m1 '[[:alnum:]]'; }

pem=(SIGN_CERT="$pki/chain.pem" SIGN_KEY="$pki/sign.key")
pkcs12=(SIGN_PKCS12="$pki/sign.p12" SIGN_PASSWORD_FILE="$pki/password.txt")

# --- Unsigned: one line says so, and the sums check --------------------------------------
medium unsigned
[ $status = 0 ] || fail "an unsigned medium failed: $(cat "$work/unsigned.out")"
grep -q 'Project1.exe is not signed' "$work/unsigned.out" || fail "an unsigned medium does not say so"
(cd "$work/unsigned" && sha256sum -c --quiet SHA256SUMS) || fail "sha256sum -c SHA256SUMS fails"
grep -q 'Tolvanix.iso$' "$work/unsigned/SHA256SUMS" && grep -q 'Tolvanix/Project1.exe$' "$work/unsigned/SHA256SUMS" ||
  fail "SHA256SUMS does not cover the image and the launcher: $(cat "$work/unsigned/SHA256SUMS")"
for setup in English German French; do
  grep -q "the $setup setup program .* carries no Authenticode signature" "$work/unsigned.out" || fail "no warning about the unsigned $setup setup"
done

# --- Each identity, with and without a timestamp -----------------------------------------
for identity in pem pkcs12; do
  for stamp in none tsa; do
    name=$identity-$stamp
    declare -n identity_settings=$identity
    settings=("${identity_settings[@]}")
    unset -n identity_settings
    # A first server that does not answer, so the second is tried.
    [ $stamp = none ] || settings+=("SIGN_TIMESTAMP_URL=http://127.0.0.1:1/ $tsa")
    medium "$name" "${settings[@]}"
    [ $status = 0 ] || fail "$name: $(cat "$work/$name.out")"
    launcher_of "$name"
    verifies "$work/$name.exe" || fail "$name: the launcher on the image does not verify: $(cat "$work/$name.exe.verify")"
    "$pe_facts" signature "$work/$name.exe" "$work/$name.p7" || fail "$name: the launcher on the image carries no signature"
    listing=$(asn1_of "$work/$name.p7")
    # Every digest the signature names before its timestamp is SHA-256.
    digests=$(objects_in "$listing" | sed '/^1\.3\.6\.1\.4\.1\.311\.3\.3\.1$/,$d' | grep -E '^(md5|sha1|sha224|sha256|sha384|sha512)$' | sort -u)
    [ "$digests" = sha256 ] || fail "$name: not a SHA-256 signature: it names ${digests:-no digest}"
    # The PE checksum is set: the one the file states is the one it has; and a copy whose
    # checksum field is changed is seen to differ.
    checksum_set "$work/$name.exe" || fail "$name: the PE checksum is not set: the file states ${stated:-none}, and its checksum is ${computed:-none}"
    cat "$work/$name.exe" >"$work/$name-checksum.exe"
    field=$(($(od -An -tu4 -j60 -N4 "$work/$name.exe") + 88))  # the PE header's offset, then its optional header's field
    byte=$(printf '\\%03o' $(($(od -An -tu1 -j$field -N1 "$work/$name.exe") ^ 1)))
    printf "$byte" | dd of="$work/$name-checksum.exe" bs=1 seek=$field conv=notrunc status=none
    ! checksum_set "$work/$name-checksum.exe" || fail "$name: a copy with its checksum field changed passes as set: it states $stated"
    # The RFC 3161 timestamp's time (its TSTInfo's genTime) in seconds, and whether it holds.
    read -r stamped stamp_state < <("$pe_facts" authenticode "$work/$name.exe" | awk '$1 == "timestamp" { print $2, $3 }')
    if [ $stamp = tsa ]; then
      [[ $stamped =~ ^[0-9]+$ && $stamp_state == holds ]] || fail "$name: no timestamp that holds (${stamped:-nothing} ${stamp_state:-})"
      [ $((stamped - $(date +%s))) -le 60 ] && [ $(($(date +%s) - stamped)) -le 600 ] ||
        fail "$name: the timestamp says $(date -u -d "@$stamped"), not the time of signing"
      [ -n "$(reason_after "$work/$name.out" 'the timestamp server http://127.0.0.1:1/ gave no timestamp')" ] ||
        fail "$name: the server that did not answer is not named with a reason: $(cat "$work/$name.out")"
    else
      [ "$stamped" = none ] || fail "$name: a timestamp (${stamped:-nothing}), though none was asked for"
      grep -q 'signed without a timestamp: Windows stops trusting the signature when the certificate expires' "$work/$name.out" ||
        fail "$name: no warning about the missing timestamp"
    fi
    # One byte of the launcher changed, and it no longer verifies.
    cat "$work/$name.exe" >"$work/$name-tampered.exe"  # a copy that can be written, unlike the image's
    printf '\x01' | dd of="$work/$name-tampered.exe" bs=1 seek=4096 conv=notrunc status=none
    ! verifies "$work/$name-tampered.exe" || fail "$name: a launcher with one byte changed still verifies"
    ! grep -q 'test password' "$work/$name.out" || fail "$name: the password was printed"
  done
done
[ "$(sha256sum <"$bin/Project1.exe")" = "$built" ] || fail "signing changed the build's own Project1.exe"

# --- Reproducible, signed and not -------------------------------------------------------
epoch=$(date +%s)
for identity in unsigned pem; do
  for side in first second; do
    if [ $identity = pem ]; then medium "again-$identity-$side" SOURCE_DATE_EPOCH="$epoch" "${pem[@]}"
    else medium "again-$identity-$side" SOURCE_DATE_EPOCH="$epoch"; fi
    [ $status = 0 ] || fail "again-$identity-$side: $(cat "$work/again-$identity-$side.out")"
    sleep 1  # a clock that shows through would differ now
  done
  cmp -s "$work/again-$identity-first/Tolvanix.iso" "$work/again-$identity-second/Tolvanix.iso" ||
    fail "two $identity runs with SOURCE_DATE_EPOCH wrote different images"
  cmp -s "$work/again-$identity-first/SHA256SUMS" "$work/again-$identity-second/SHA256SUMS" || fail "the two sums differ"
done

# --- A signed setup program meets no warning ---------------------------------------------
osslsigncode sign -certs "$pki/chain.pem" -key "$pki/sign.key" -h sha256 -in "$standin" -out "$work/signed-setup.exe" >/dev/null 2>&1
status=0
env MEDIUM_IMAGE="$work/vendor/Tolvanix.iso" ENGLISH_SETUP="$work/signed-setup.exe" GERMAN_SETUP="$standin" \
  FRENCH_SETUP="$work/signed-setup.exe" "$src/medium/make-medium" >"$work/vendor.out" 2>&1 || status=$?
[ $status = 0 ] || fail "vendor: $(cat "$work/vendor.out")"
[ "$(grep -c 'carries no Authenticode signature' "$work/vendor.out")" = 1 ] && grep -q 'German setup program' "$work/vendor.out" ||
  fail "the warnings do not name the one unsigned setup program: $(cat "$work/vendor.out")"

# --- Setup programs that only some Windows start, or take for legacy installers ------------
# program MACHINE FILE: a program of nothing but its 64-bit headers, for that machine (hex).
program() {
  perl -e 'my ($machine, $out) = (hex $ARGV[0], $ARGV[1]);
    my $opt = pack("v", 0x20B) . "\0" x 238;
    substr($opt, 60, 4) = pack("V", 512); substr($opt, 68, 2) = pack("v", 2); substr($opt, 108, 4) = pack("V", 16);
    my $d = "MZ" . "\0" x 58 . pack("V", 64) . "PE\0\0" . pack("vvVVVvv", $machine, 0, 0, 0, 0, 240, 0x22) . $opt;
    open(my $f, ">:raw", $out) or die "$out: $!\n"; print $f $d . "\0" x (512 - length $d); close $f;' "$1" "$2"
}
program 8664 "$work/x64.exe"
program AA64 "$work/arm64.exe"
# A manifest that asks only for the common controls' visual styles, as many setup programs carry,
# declares no level either: the stand-in's, its trustInfo and compatibility replaced, spaces
# keeping its length.
perl -0777 -pe 's{<trustInfo .*</compatibility>}{my $d = q{<dependency><dependentAssembly><assemblyIdentity type="win32"
      name="Microsoft.Windows.Common-Controls" version="6.0.0.0" processorArchitecture="x86"
      publicKeyToken="6595b64144ccf1df" language="*"/></dependentAssembly></dependency>};
  length($&) >= length $d or die "the common controls'"'"' dependency is longer than what it replaces\n";
  $d . " " x (length($&) - length $d)}se or die "the stand-in carries no trustInfo\n"' "$standin" >"$work/no-level.exe"
# The launcher has no manifest by design: as a setup program, it is one that declares no level.
medium vendor-kinds ENGLISH_SETUP="$bin/Project1.exe" GERMAN_SETUP="$work/x64.exe" FRENCH_SETUP="$work/arm64.exe"
[ $status = 0 ] || fail "vendor-kinds: $(cat "$work/vendor-kinds.out")"
medium vendor-no-level GERMAN_SETUP="$work/no-level.exe"
[ $status = 0 ] || fail "vendor-no-level: $(cat "$work/vendor-no-level.out")"
legacy='declares no requestedExecutionLevel in a manifest: Windows will treat it as a legacy installer'
# RUN|the warning its output must hold
for row in "vendor-kinds|English setup program .* $legacy" \
           "vendor-kinds|German setup program .* is an x64 program: 32-bit Windows cannot start it, nor can Windows 10 on ARM" \
           "vendor-kinds|French setup program .* is an ARM64 program: only Windows on ARM can start it" \
           "vendor-no-level|German setup program .* $legacy"; do
  run=${row%%|*} warning=${row#*|}
  grep -q "warning: the $warning" "$work/$run.out" || fail "$run: no warning that the $warning: $(cat "$work/$run.out")"
done
! grep -q -e 'requestedExecutionLevel' -e ' program: ' -e 'machine type' "$work/unsigned.out" ||
  fail "the build's own stand-in setup program, which runs as the invoker on x86, met a warning: $(cat "$work/unsigned.out")"

# --- Bad input: its message, and no image ------------------------------------------------
refused() {  # refused NAME PATTERN VARIABLE=VALUE...: make-medium refuses with a message matching PATTERN
  local name=$1 pattern=$2
  shift 2
  medium "$name" "$@"
  [ $status != 0 ] || fail "$name: make-medium accepted it: $(cat "$work/$name.out")"
  grep -q -- "$pattern" "$work/$name.out" || fail "$name: the message does not match \"$pattern\": $(cat "$work/$name.out")"
  grep -q 'no image was written' "$work/$name.out" || fail "$name: the message does not say that no image was written"
  [ -z "$(ls -A "$work/$name" 2>/dev/null)" ] || fail "$name: it left $(ls -A "$work/$name")"
  ! grep -q 'test password' "$work/$name.out" || fail "$name: the password was printed"
}
refused no-p12 "SIGN_PKCS12 names $work/none.p12, which does not exist" SIGN_PKCS12="$work/none.p12" SIGN_PASSWORD_FILE="$pki/password.txt"
refused no-password-file "SIGN_PASSWORD_FILE is not set" SIGN_PKCS12="$pki/sign.p12"
refused no-key "SIGN_KEY names $work/none.key, which does not exist" SIGN_CERT="$pki/chain.pem" SIGN_KEY="$work/none.key"
if [ "$(id -u)" != 0 ]; then  # root reads any file
  cp "$pki/sign.key" "$work/locked.key"; chmod 000 "$work/locked.key"
  refused unreadable-key "$work/locked.key, which cannot be read" SIGN_CERT="$pki/chain.pem" SIGN_KEY="$work/locked.key"
fi
echo 'not the password' >"$work/wrong-password.txt"
refused wrong-password "$pki/sign.p12 cannot be opened with the password in $work/wrong-password.txt" \
  SIGN_PKCS12="$pki/sign.p12" SIGN_PASSWORD_FILE="$work/wrong-password.txt"
refused foreign-key "the private key does not belong to the signing certificate" SIGN_CERT="$pki/chain.pem" SIGN_KEY="$pki/other.key"
refused not-for-code "not made for code signing" SIGN_CERT="$pki/server.pem" SIGN_KEY="$pki/sign.key"
refused expired "valid from 2020-01-01 to 2021-01-01" SIGN_CERT="$pki/expired.pem" SIGN_KEY="$pki/sign.key"
refused not-yet "valid from 2099-01-01" SIGN_CERT="$pki/future.pem" SIGN_KEY="$pki/sign.key"
refused silent-server "no timestamp server of SIGN_TIMESTAMP_URL (http://127.0.0.1:1/)" "${pem[@]}" SIGN_TIMESTAMP_URL=http://127.0.0.1:1/
[ -n "$(reason_after "$work/silent-server.out" "the timestamp server http://127.0.0.1:1/ gave no timestamp")" ] ||
  fail "the unanswered server's reason is not given: $(cat "$work/silent-server.out")"
refused erring-server "no timestamp server of SIGN_TIMESTAMP_URL ($broken)" "${pem[@]}" SIGN_TIMESTAMP_URL="$broken"
[ -n "$(reason_after "$work/erring-server.out" "the timestamp server $broken gave no timestamp")" ] ||
  fail "the erring server's reason is not given: $(cat "$work/erring-server.out")"
echo 'not a program' >"$work/text.exe"
refused not-a-program "the English setup program $work/text.exe is not a Windows program (no MZ header)" ENGLISH_SETUP="$work/text.exe"
refused dll "the French setup program $bin/../standin/shell32.dll is a DLL, not a program" FRENCH_SETUP="$bin/../standin/shell32.dll"
refused no-tool "the signing tool $work/no-osslsigncode is missing" "${pem[@]}" OSSLSIGNCODE="$work/no-osslsigncode"

# --- The password goes to the signing tool by its file's name only -----------------------
cat >"$work/recording-osslsigncode" <<RECORDER
#!/usr/bin/env bash
printf '%s\n' "\$*" >>"$work/arguments.txt"
exec osslsigncode "\$@"
RECORDER
chmod +x "$work/recording-osslsigncode"
medium recorded "${pkcs12[@]}" OSSLSIGNCODE="$work/recording-osslsigncode"
[ $status = 0 ] || fail "recorded: $(cat "$work/recorded.out")"
grep -q -- "-readpass $pki/password.txt" "$work/arguments.txt" || fail "the password file was not handed to the signing tool"
! grep -q 'test password' "$work/arguments.txt" || fail "the password was on the signing tool's command line"
echo "ok: signed with each identity, with and without a timestamp, verified and tampered; reproducible; sums; every bad input refused"
