#!/usr/bin/env bash
# medium/verify-medium against media of this tree. A signed medium (its image, written again byte for
# byte, its signer given) and an unsigned one (its tree, every file against its sums) verify against
# a rebuild on this machine; a launcher changed by one byte and signed again with the same key, its
# record and sums rewritten to match, is refused by the rebuild, naming the launcher; an edited
# record fails SHA256SUMS. The record names dpkg's versions, and says when the tree had uncommitted
# changes. The media are made from a snapshot of this tree committed in a
# throwaway clone, with the build's launcher, so that the record names a commit that holds what the
# launcher was built from, uncommitted changes and all; the clone then goes on to a later commit
# that changes the launcher, so that each proof must be of the recorded one. Media forged one way
# each are refused, and none of them runs a command, changes a file outside or prints raw text.
#   verify_medium.sh SOURCE_DIR WORK_DIR PE_FACTS         as above (make test)
#   verify_medium.sh SOURCE_DIR WORK_DIR PE_FACTS fresh   the signed medium, and its image forged, against
#                                                        a rebuild in a fresh Debian of this machine's
#                                                        release (.ci/run)
set -euo pipefail
usage='usage: verify_medium.sh SOURCE_DIR WORK_DIR PE_FACTS [fresh]'
src=${1:?$usage}
work=${2:?$usage}
export PE_FACTS=${3:?$usage}  # make-medium reads the setups with it, and their files with the program beside it:
export MEDIUM_FILES=${PE_FACTS%/*}/medium_files MEDIUM_TOOLS=${PE_FACTS%/*}  # the clone builds nothing
fresh=${4:-}
fail() { echo "FAIL: $*"; exit 1; }
rm -rf "$work"; mkdir -p "$work"
. "$src/tests/build/test_pki.sh"
make_test_pki "$work/pki"
pki=$work/pki standin=$src/build/windows/bin/setup_standin.exe epoch=$(date +%s)

clone=$work/clone
mkdir -p "$clone/build/windows/bin"
git -C "$src" ls-files -z --cached --others --exclude-standard |
  tar -C "$src" --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -C "$clone" -xf -
git -C "$clone" init -q
git -C "$clone" add -A
git -C "$clone" -c user.name=test -c user.email=test@example.invalid commit -q -m snapshot
cp "$src/build/windows/bin/Project1.exe" "$clone/build/windows/bin/"

medium() {  # medium NAME [VARIABLE=VALUE...]: the clone's make-medium (at $maker) into WORK/NAME
  local name=$1
  shift
  env MEDIUM_IMAGE="$work/$name/Tolvanix.iso" ENGLISH_SETUP="$standin" GERMAN_SETUP="$standin" FRENCH_SETUP="$standin" \
    SOURCE_DATE_EPOCH="$epoch" "$@" "$clone/${maker:-medium/make-medium}" >"$work/$name.out" 2>&1 || fail "make-medium $name: $(cat "$work/$name.out")"
}
# verify NAME MEDIUM [--here]: the clone's verify-medium; its output in NAME.verify, its last line
# (the verdict) in $verdict, its exit status in $status.
verify() {  # verify NAME MEDIUM [OPTION...]
  local name=$1 medium=$2
  shift 2
  status=0
  "$clone/medium/verify-medium" "$@" "$medium" >"$work/$name.verify" 2>&1 || status=$?
  verdict=$(tail -n 1 "$work/$name.verify")
  [ "$(grep -c -E '^verify-medium: (the same|different|cannot tell): ' "$work/$name.verify")" = 1 ] ||
    fail "verify-medium on $name gave other than one verdict: $(cat "$work/$name.verify")"
}
# Sums of every file of a tree, as make-medium publishes them beside it.
sums_of() { (cd "$1" && find Tolvanix -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum >SHA256SUMS); }
signing=(SIGN_CERT="$pki/chain.pem" SIGN_KEY="$pki/sign.key")
# Its German installer a folder whose second copy of the setup bears a name that must be quoted
# wherever it is written again from the image.
mkdir "$work/german"
cp "$standin" "$work/german/setup.exe"
cp "$standin" "$work/german/it's a copy.exe"
medium signed "${signing[@]}" GERMAN_SETUP="$work/german"

if [ -n "$fresh" ]; then
  # The image read-only, as a disc's is: handed in linked, it keeps its mode.
  chmod 444 "$work/signed/Tolvanix.iso"
  "$clone/medium/verify-medium" "$work/signed/Tolvanix.iso" ||
    fail "the signed medium does not verify against a rebuild in a fresh Debian (exit status $?)"
  [ "$(stat -c %a "$work/signed/Tolvanix.iso")" = 444 ] || fail "verifying the image in a fresh Debian changed its mode"
  # A forged image goes through the same rewrite and comparison: a block past its volume.
  mkdir "$work/tail"
  cp "$work/signed/Tolvanix.iso" "$work/tail/"
  chmod u+w "$work/tail/Tolvanix.iso"
  head -c 2048 /dev/zero >>"$work/tail/Tolvanix.iso"
  verify tail "$work/tail/Tolvanix.iso"
  [ $status = 1 ] && [[ $verdict == "verify-medium: different: Tolvanix.iso is not the image make-medium writes of its own files: first at offset"* ]] ||
    fail "an image with a block past its volume was not refused by its rewrite in a fresh Debian (exit status $status): $(cat "$work/tail.verify")"
  echo "ok: a signed medium verifies against a rebuild in a fresh Debian, and an image with a block past its volume does not"
  exit 0
fi

servers=()
trap 'for p in "${servers[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
serve_timestamps tsa
forge=${PE_FACTS%/*}/signature_forgery

# --- Signed and unsigned, image and tree: the same, each against its own commit, though the clone
# has gone on to a later one that changes the launcher ------------------------------------------
medium unsigned
# A medium of a commit whose make-medium writes an image again only from a tree, as before it could
# from the image, and lay where make-medium once lay: its image is proven by its files taken out.
commit_as() { git -C "$clone" -c user.name=test -c user.email=test@example.invalid commit -q -a -m "$1"; }
cp "$clone/medium/make-medium" "$work/make-medium"
sed -i -e 's/^image_of_sources=(tree image)$/image_of_sources=(tree)/' \
  -e '/^if \[ "${1:-}" = --image-of \] && \[ \$# = 4 \]/,/^fi$/d' "$clone/medium/make-medium"
grep -qx 'image_of_sources=(tree)' "$clone/medium/make-medium" && ! grep -q -- -options_from_file "$clone/medium/make-medium" ||
  fail "the make-medium of a tree alone still writes from an image"
git -C "$clone" mv medium/make-medium tools/make-medium
commit_as 'a make-medium that writes an image again only from a tree'
# Made with no SOURCE_DATE_EPOCH: the image's time is the one it states.
maker=tools/make-medium medium tree-only SOURCE_DATE_EPOCH=
git -C "$clone" mv tools/make-medium medium/make-medium
cp "$work/make-medium" "$clone/medium/make-medium"
commit_as 'a make-medium that writes an image again from the image'
printf 'STRINGTABLE\nBEGIN\n    1 "a later commit"\nEND\n' >>"$clone/resources/launcher.rc"
commit_as 'a later launcher'
verify signed "$work/signed/Tolvanix.iso" --here --signer "$pki/sign.pem"
[ $status = 0 ] && [[ $verdict == *"Tolvanix.iso is byte for byte the image that make-medium of commit "* &&
  $verdict == *"signed by CN=Tolvanix Test Publisher at "* && $verdict == *"the image matches the published SHA256SUMS"* ]] ||
  fail "the signed medium's image does not verify byte for byte, signed by its signer (exit status $status): $(cat "$work/signed.verify")"
verify tree-only "$work/tree-only/Tolvanix.iso" --here
[ $status = 0 ] && [[ $verdict == *"Tolvanix.iso is byte for byte the image that make-medium of commit "* ]] ||
  fail "an image of a make-medium that writes again only from a tree does not verify byte for byte (exit status $status): $(cat "$work/tree-only.verify")"
verify unsigned "$work/unsigned/Tolvanix" --here
[ $status = 0 ] && [[ $verdict == *"not signed; each of its 6 files matches the published SHA256SUMS"* ]] ||
  fail "the unsigned medium's tree does not verify with each file (exit status $status): $(cat "$work/unsigned.verify")"
. "$src/medium/medium-facts.sh"
for package in "${launcher_toolchain[@]}"; do
  version=$(sed -n "s/^package: $package //p" "$work/signed/Tolvanix.build-record.txt")
  installed=$(dpkg-query -W -f='${Version}' "$package" 2>/dev/null) || true
  [ "$version" = "${installed:-not installed}" ] ||
    fail "the record gives $package as \"$version\", dpkg as \"${installed:-not installed}\": it must name what this machine built with"
done

# --- One byte changed and signed again with the same key; the record and the sums made to match,
# so that only the rebuild can tell, and a recorded version this machine lacks named ------------
mkdir "$work/tampered"
cp -r "$work/signed/Tolvanix" "$work/tampered/"
launcher=$work/tampered/Tolvanix/Project1.exe
osslsigncode remove-signature -in "$launcher" -out "$work/changed.exe" >/dev/null 2>&1
byte=$(od -An -tu1 -j 4096 -N 1 "$work/changed.exe")
printf "\\x$(printf %02x $((byte ^ 1)))" | dd of="$work/changed.exe" bs=1 seek=4096 conv=notrunc status=none
rm "$launcher"
osslsigncode sign -certs "$pki/chain.pem" -key "$pki/sign.key" -h sha256 -time "$epoch" -in "$work/changed.exe" -out "$launcher" >/dev/null
# Signing sets the PE checksum: the record names the launcher as it comes out of the signature.
osslsigncode remove-signature -in "$launcher" -out "$work/changed-unsigned.exe" >/dev/null 2>&1
sed -i -e "s/^\(unsigned Project1.exe SHA-256: \).*/\1$(sha256sum <"$work/changed-unsigned.exe" | cut -d' ' -f1)/" \
  -e 's/^package: cmake .*/package: cmake 0-tampered/' "$work/tampered/Tolvanix/build-record.txt"
sums_of "$work/tampered"
verify tampered "$work/tampered/Tolvanix" --here
[ $status = 1 ] && [[ $verdict == "verify-medium: different: Project1.exe "*" differs from what commit "* ]] ||
  fail "a launcher changed and signed again was not refused by name (exit status $status): $(cat "$work/tampered.verify")"
grep -q "^verify-medium: the rebuild's system lacks these recorded versions: cmake 0-tampered (it has " "$work/tampered.verify" ||
  fail "the recorded version the rebuild's system lacks is not named: $(cat "$work/tampered.verify")"

# --- An edited record fails the sums -----------------------------------------------------------
cp -r "$work/signed" "$work/edited"
sed -i 's/^SOURCE_DATE_EPOCH: .*/SOURCE_DATE_EPOCH: 0/' "$work/edited/Tolvanix/build-record.txt"
verify edited "$work/edited/Tolvanix" --here
[ $status = 1 ] && [[ $verdict == *"Tolvanix/build-record.txt does not match its SHA-256 in SHA256SUMS"* ]] ||
  fail "an edited record passed SHA256SUMS (exit status $status): $(cat "$work/edited.verify")"

# --- A record naming a commit this clone lacks, its sums made to match: cannot tell -----------
cp -r "$work/signed" "$work/unknown"
sed -i 's/^commit: .*/commit: 0123456789abcdef0123456789abcdef01234567/' "$work/unknown/Tolvanix/build-record.txt"
sums_of "$work/unknown"
verify unknown "$work/unknown/Tolvanix" --here
[ $status = 2 ] && [[ $verdict == *" is not in this clone "* ]] ||
  fail "a record naming a commit this clone lacks gave exit status $status, not 2 (cannot tell) for that reason: $(cat "$work/unknown.verify")"

# --- Forged media, as someone handed one would try them: each refused for its reason; no command
# of theirs runs (it would leave $ran), nothing outside the run's folder changes (the read-only
# $victim, a genuine launcher, keeps its mode), and nothing but printable ASCII reaches the
# terminal. The signed medium's tree, its published sums beside it, forged as HOW says: its
# record's line that starts so replaced by TEXT (@ in the verdict is that line's number); its
# launcher a link to $victim, in the tree or an image of it; SHA256SUMS beside it naming TEXT; a
# file TEXT added, unlisted; its launcher's signature changed in one byte, or the launcher five
# MiB long, the sums made to match; autorun.inf opening something else; verified with --signer
# another certificate of the same key. Or an image of it: a launcher of one byte changed that only
# Windows reads (its Joliet names), or that only Linux reads (its Rock Ridge names, under an
# extension xorriso does not know); a record that only Windows reads; no record; a copy of the
# root that Windows reads in its place; autorun.inf in capitals; a partition table; UDF after its
# descriptors; bytes past its end; a volume of four TiB; a folder that holds itself. A row is a line: {newline} in a name
# stands for the newline the file's name holds.
# resign LAUNCHER HOW: LAUNCHER signed again with a timestamp, then given what its signer did not
# sign: a nested signature before the timestamp, a certificate of neither chain (signing adds
# either), or a revocation list, a second timestamp or a second value of it, or a certificate of
# neither chain among the timestamp's (signature_forgery).
resign() {
  local launcher=$1 how=$2
  local more=()
  rm -f "$work/resign.exe"
  osslsigncode remove-signature -in "$launcher" -out "$work/resign.exe" >/dev/null 2>&1 || fail "the launcher's signature could not be removed"
  rm "$launcher"
  [ "$how" != certificate ] || more=(-ac "$pki/server.pem")
  osslsigncode sign -certs "$pki/chain.pem" -key "$pki/sign.key" -h sha256 -time "$epoch" -ts "$tsa" "${more[@]}" \
    -in "$work/resign.exe" -out "$launcher" >/dev/null || fail "the launcher could not be signed again"
  case $how in
  nested)
    # The nested signature, of the certificate alone, is the shorter: DER's order puts it first.
    osslsigncode sign -nest -certs "$pki/sign.pem" -key "$pki/sign.key" -h sha256 -time "$epoch" -in "$launcher" \
      -out "$work/resign-nested.exe" >/dev/null && mv "$work/resign-nested.exe" "$launcher"
    "$PE_FACTS" signature "$launcher" "$work/resign.der"
    [ "$("$forge" "$work/resign.der" attributes | head -n 1)" = 1.3.6.1.4.1.311.2.4.1 ] ||
      fail "the nested signature does not lie before the timestamp" ;;
  revocation-list | second-timestamp* | timestamp-certificate)
    "$PE_FACTS" signature "$launcher" "$work/resign.der"
    [ "$how" != revocation-list ] || more=("$pki/root.crl")
    [ "$how" != timestamp-certificate ] || more=("$pki/server.pem")
    "$forge" "$work/resign.der" "$work/forged.der" "$how" "${more[@]}" ||
      fail "the signature could not be forged with $how"
    rm "$launcher"
    "$forge" attach "$work/resign.exe" "$work/forged.der" "$launcher"
    "$PE_FACTS" signature "$launcher" "$work/attached.der" && cmp -s "$work/attached.der" "$work/forged.der" ||
      fail "the forged signature ($how) was not attached" ;;
  esac
}
ran=$work/ran victim=$work/victim.exe
dangling=$(git -C "$clone" -c user.name=test -c user.email=test@example.invalid commit-tree -p HEAD -m 'on no branch' "HEAD^{tree}")  # a commit no branch or tag holds
cp "$work/signed/Tolvanix/Project1.exe" "$victim"
chmod 444 "$victim"
not_written='verify-medium: cannot tell: the build record is not one that make-medium writes'
linked='verify-medium: different: Project1.exe on the medium is a symbolic link, not a program'
named='verify-medium: cannot tell: SHA256SUMS beside Tolvanix names'
rewritten='verify-medium: different: Tolvanix.iso is not the image make-medium writes of its own files: first at offset'
# Images are forged as make-medium writes one: unforged, that is the genuine image, byte for byte.
mkdir "$work/control"
cp -a "$work/signed/Tolvanix" "$work/control/"
SOURCE_DATE_EPOCH=$epoch xorriso -as mkisofs -quiet $(mastering "$epoch") -graft-points -o "$work/control.iso" \
  "/=$work/control/Tolvanix" 2>/dev/null
cmp -s "$work/control.iso" "$work/signed/Tolvanix.iso" || fail "an image written as the forged ones are, unforged, is not the genuine one"
forged=(  # NAME|HOW|TEXT|STATUS|VERDICT (a prefix, when it ends with "offset", a space or a parenthesis)
  "commit|commit: |commit: \$(touch $ran)|2|$not_written (line @)"
  "tree|tree: |tree: clean; touch $ran|2|$not_written (line @)"
  "epoch|SOURCE_DATE_EPOCH: |SOURCE_DATE_EPOCH: \`touch $ran\`|2|$not_written (line @)"
  "release|Debian release: |Debian release: bookworm (12) && touch $ran|2|$not_written (line @)"
  "package name|package: cmake |package: cmake;touch\${IFS}$ran;: 3.25.1-1|2|$not_written (line @)"
  "package version|package: cmake-data |package: cmake-data 3.25.1-1 >$ran|2|$not_written (line @)"
  "commit on no branch|commit: |commit: $dangling|2|verify-medium: cannot tell: the record's commit $dangling is on no branch or tag of this clone, and its build files are not run: if its source is one you trust, give it a branch (git branch NAME $dangling) and verify again"
  "launcher's sum|unsigned Project1.exe SHA-256: |unsigned Project1.exe SHA-256: \$(touch $ran)|2|$not_written (line @)"
  "escape sequence|Debian release: |Debian release: none (x"$'\e]0;forged\a'")|2|$not_written (line @)"
  "oversized record|package: cmake |package: cmake 3.25.1-$(head -c 70000 /dev/zero | tr '\0' 1)|2|$not_written (line @): it is over 65536 bytes"
  "link in a tree|link||1|$linked"
  "link in an image|link image|Project1.exe|1|verify-medium: different: Tolvanix.iso holds '/Project1.exe', which is neither a file nor a folder, as no image make-medium writes does"
  "SHA256SUMS with ..|sums|Tolvanix/../../victim.exe|2|$named Tolvanix/../../victim.exe, which is not a file of the medium (line 1)"
  "C1 control in SHA256SUMS|sums|Tolvanix/0"$'\xc2\x9b'"31m "$'\x9b'"0m.exe|1|verify-medium: different: Tolvanix/0\\xc2\\x9b31m \\x9b0m.exe, listed in the published SHA256SUMS, is not on the medium"
  "case twin of a folder|added|english|1|verify-medium: different: Tolvanix holds english at its root, which make-medium does not put there"
  "record twice in a tree|added|BUILD-RECORD.TXT|2|verify-medium: cannot tell: build-record.txt on the medium is there more than once, as names that differ only in case"
  "no record in a tree|record||2|verify-medium: cannot tell: Tolvanix carries no build record (build-record.txt): it was made before media carried one, or it was removed, and nothing says what to rebuild"
  "sums listing a file more|sums more|Tolvanix/zz.cab|1|verify-medium: different: Tolvanix/zz.cab, listed in the published SHA256SUMS, is not on the medium"
  "sums lacking the record|sums less|Tolvanix/build-record.txt|1|verify-medium: different: Tolvanix/build-record.txt is on the medium, and the published SHA256SUMS does not list it"
  "sums of another medium|sums only|Other/English/setup.exe|2|verify-medium: cannot tell: SHA256SUMS beside Tolvanix lists no file of Tolvanix/: they are another medium's sums, or the folder has been renamed (give it the name its sums use)"
  "newline at a tree's root|added|a{newline}English|1|verify-medium: different: Tolvanix holds a\\x0aEnglish at its root, which make-medium does not put there"
  "newline in a tree without sums|added nosums|English/a{newline}b.cab|1|verify-medium: different: Tolvanix holds what make-medium does not put on a medium: English/a\\x0ab.cab: holds a control character, which Windows does not allow in a name"
  "a name of two dots in an image|added image|English/zz|1|verify-medium: different: Tolvanix.iso holds a file or folder named '..', which no file system holds and make-medium refuses"
  "newline at an image's root|added image|a{newline}b|1|verify-medium: different: Tolvanix.iso holds a name with a control character (below 0x20), which make-medium refuses"
  "DLL beside a setup|added|English/version.dll|1|verify-medium: different: Tolvanix/English/version.dll is on the medium, and the published SHA256SUMS does not list it"
  "control in a name|added image|English/a"$'\x01'"b.cab|1|verify-medium: different: Tolvanix.iso holds a name with a control character (below 0x20), which make-medium refuses"
  "device name in an image|added image|English/Aux.txt|1|verify-medium: different: Tolvanix.iso holds what make-medium does not write an image of: English/Aux.txt: is a reserved device name ("
  "Windows' own folder in an image|added image|System Volume Information/x.txt|1|verify-medium: different: Tolvanix.iso holds System Volume Information at its root, which make-medium does not put there"
  "autorun.inf in capitals in an image|capitals image||1|verify-medium: different: Tolvanix.iso holds AUTORUN.INF at its root, which make-medium does not put there"
  "bytes beside the signature|stuffed||1|verify-medium: different: Project1.exe's signature carries bytes that nobody signed ("
  "nested signature before the timestamp|resigned nested||1|verify-medium: different: Project1.exe's signature carries bytes that nobody signed ("
  "certificate of neither chain|resigned certificate||1|verify-medium: different: Project1.exe's signature carries what nobody signed, which signing never writes: certificate signature CN=Tolvanix Test Publisher"
  "certificate of neither chain in the timestamp|resigned timestamp-certificate||1|verify-medium: different: Project1.exe's signature carries what nobody signed, which signing never writes: certificate timestamp CN=Tolvanix Test Publisher"
  "revocation list|resigned revocation-list||1|verify-medium: different: Project1.exe's signature carries what nobody signed, which signing never writes: revocation-lists 1"
  "two timestamps|resigned second-timestamp||1|verify-medium: different: Project1.exe's signature carries what nobody signed, which signing never writes: timestamps 2"
  "timestamp of two values|resigned second-timestamp-value||1|verify-medium: different: Project1.exe's signature carries what nobody signed, which signing never writes: timestamp-values 2"
  "another file's signature|borrowed||1|verify-medium: different: Project1.exe's signature vouches for another file's digest: Windows shows its signature as not valid"
  "broken signature|signature||1|verify-medium: different: Project1.exe's signature does not hold with its own certificate: Windows shows it as not valid"
  "signature removed, its signer given|stripped||1|verify-medium: different: Project1.exe on the medium is not signed, and --signer names who must have signed it"
  "another signer|signer||1|verify-medium: different: Project1.exe is signed by CN=Tolvanix Test Publisher at "
  "launcher over its bound|oversized||1|verify-medium: different: Project1.exe on the medium is over 4194304 bytes, far more than any launcher this source builds"
  "autorun.inf|autorun|open=other.exe|1|verify-medium: different: autorun.inf on the medium is not the one make-medium writes: it may start something other than the launcher"
  "Windows' launcher|joliet image|Project1.exe|1|$rewritten"
  "unknown Rock Ridge|rock image||1|verify-medium: different: Tolvanix.iso holds what no image make-medium writes holds: reading it stops at a warning or an error ("
  "record for Windows only|windows record image||1|verify-medium: different: Tolvanix.iso holds a build record that Windows reads (Joliet) and Linux does not (Rock Ridge): no image make-medium writes does"
  "another mastering tool|mastering image|mastering: xorriso 0.0-1|2|verify-medium: cannot tell: this machine's mastering tool ("
  "no record|record image||2|verify-medium: cannot tell: Tolvanix.iso carries no build record (build-record.txt): it was made before media carried one, or it was removed, and nothing says what to rebuild"
  "Joliet root elsewhere|root image||1|$rewritten"
  "boot code|partition image||1|$rewritten 0x1fe (510), 2 of the bytes they share differ; sizes "
  "UDF after the descriptors|udf image||1|verify-medium: different: Tolvanix.iso holds what no image make-medium writes holds: reading it stops at a warning or an error ("
  "image not of its published sum|sums image||1|verify-medium: different: Tolvanix.iso does not match its SHA-256 in SHA256SUMS: it is not the image published with these sums"
  "tail past the volume|tail image||1|$rewritten"
  "volume of terabytes|terabytes image||1|verify-medium: different: Tolvanix.iso is 4398046511104 bytes, more than any disc holds (128 GiB): it is no medium's image"
  "folder that holds itself|loop image||2|verify-medium: cannot tell: Tolvanix.iso could not be read within 10 s and a GiB (exit status 124)"
)
for row in "${forged[@]}"; do
  IFS='|' read -r what how text expected_status expected <<<"$row"
  name=${what,,} && name=forged-${name//[^a-z0-9]/-}
  mkdir -p "$work/$name"
  cp -a "$work/signed/Tolvanix" "$work/$name/"  # its files stored once linked, as make-medium laid them
  forgery=$work/$name/Tolvanix joliet=() options=()
  case $how in
  # In an image, the link in Rock Ridge's names and a genuine launcher in Joliet's, which hold no link.
  link*)
    ln -sf "$victim" "$forgery/Project1.exe"
    [[ $how != *image ]] || placeholder=Aroject1.exe joliet=(-hide "$victim" "/Aroject1.exe=$victim") ;;
  sums) { printf '%s  %s\n' "$(sha256sum <"$victim" | cut -d' ' -f1)" "$text"; cat "$work/signed/SHA256SUMS"; } >"$work/$name/SHA256SUMS" ;;
  # The genuine sums with a line for TEXT added at the end, or its line left out, or a line for it alone.
  "sums more") { cat "$work/signed/SHA256SUMS"; printf '%s  %s\n' "$(sha256sum <"$victim" | cut -d' ' -f1)" "$text"; } >"$work/$name/SHA256SUMS" ;;
  "sums less") grep -vF "  $text" "$work/signed/SHA256SUMS" >"$work/$name/SHA256SUMS" ;;
  "sums only") printf '%s  %s\n' "$(sha256sum <"$victim" | cut -d' ' -f1)" "$text" >"$work/$name/SHA256SUMS" ;;
  # The signature of the launcher changed in one byte (above), on the genuine launcher.
  borrowed)
    osslsigncode remove-signature -in "$forgery/Project1.exe" -out "$work/borrowing.exe" >/dev/null 2>&1
    "$PE_FACTS" signature "$work/tampered/Tolvanix/Project1.exe" "$work/borrowed.der"
    rm "$forgery/Project1.exe"
    "$forge" attach "$work/borrowing.exe" "$work/borrowed.der" "$forgery/Project1.exe"
    "$PE_FACTS" signature "$forgery/Project1.exe" "$work/attached.der" && cmp -s "$work/attached.der" "$work/borrowed.der" ||
      fail "the other launcher's signature was not attached"
    sums_of "$work/$name" ;;
  added*) [[ $text != */* ]] || mkdir -p "$forgery/${text%/*}"; cp "$victim" "$forgery/${text//\{newline\}/$'\n'}"; [[ $how == *image || $how == *nosums ]] || cp "$work/signed/SHA256SUMS" "$work/$name/" ;;
  resigned*) resign "$forgery/Project1.exe" "${how#resigned }"; sums_of "$work/$name" ;;
  stripped)
    osslsigncode remove-signature -in "$forgery/Project1.exe" -out "$work/stripped.exe" >/dev/null 2>&1
    mv "$work/stripped.exe" "$forgery/Project1.exe"
    sums_of "$work/$name"
    options=(--signer "$pki/sign.pem") ;;
  # One byte of the signature's last bytes (its RSA value), the sums made to match.
  signature)
    at=$(($(stat -c %s "$forgery/Project1.exe") - 40))
    byte=$(od -An -tu1 -j "$at" -N 1 "$forgery/Project1.exe")
    printf "\\x$(printf %02x $((byte ^ 1)))" | dd of="$forgery/Project1.exe" bs=1 seek="$at" conv=notrunc status=none
    sums_of "$work/$name" ;;
  signer) options=(--signer "$pki/server.pem") ;;
  # Bytes in the certificate table after the signature, the table's length and entry grown to hold them.
  stuffed)
    perl -e 'open(my $f, "+<:raw", $ARGV[0]) or die "$ARGV[0]: $!\n"; local $/; my $d = <$f>;
      my $dir = unpack("V", substr($d, 60, 4)) + 24 + 96 + 4 * 8; my ($at, $size) = unpack("VV", substr($d, $dir, 8));
      my $more = "nobody signed this" x 4096; $d .= $more;
      substr($d, $dir + 4, 4) = pack("V", $size + length $more); substr($d, $at, 4) = pack("V", unpack("V", substr($d, $at, 4)) + length $more);
      seek($f, 0, 0); print $f $d' "$forgery/Project1.exe"
    sums_of "$work/$name" ;;
  oversized) head -c $((5 * 1024 * 1024)) /dev/zero >>"$forgery/Project1.exe"; sums_of "$work/$name" ;;
  # The changed launcher goes in as A... in one tree's names, to be renamed in the image.
  joliet*) joliet=(-hide-joliet "$forgery/Project1.exe" -hide "$work/changed.exe" "/Aroject1.exe=$work/changed.exe") placeholder=Aroject1.exe ;;
  rock*) joliet=(-hide "$forgery/Project1.exe" -hide-joliet "$work/changed.exe" "/Aroject1.exe=$work/changed.exe") ;;
  autorun) printf '[autorun]\r\n%s\r\n' "$text" >"$forgery/autorun.inf" ;;
  record*) rm "$forgery/build-record.txt" ;;
  mastering*) sed -i "s/^mastering: xorriso .*/$text/" "$forgery/build-record.txt" ;;
  windows*) joliet=(-hide "$forgery/build-record.txt") ;;
  partition* | udf* | root* | terabytes* | loop* | tail* | capitals* | sums\ image) ;;  # changed in the image's bytes, below
  *)
    at=$(grep -n -m 1 "^$how" "$forgery/build-record.txt" | cut -d: -f1)
    text=$text awk -v n="$at" 'NR == n { print ENVIRON["text"]; next } 1' "$work/signed/Tolvanix/build-record.txt" >"$forgery/build-record.txt"
    expected=${expected/@/$at} ;;
  esac
  if [[ $how == *image ]]; then
    # As make-medium writes it, but for what HOW changes.
    SOURCE_DATE_EPOCH=$epoch xorriso -as mkisofs -quiet $(mastering "$epoch") -graft-points -o "$forgery.iso" "/=$forgery" \
      "${joliet[@]}" 2>/dev/null
    rm -r "$forgery"
    forgery+=.iso
    # Its bytes changed as HOW says: the placeholder renamed where it is written (in UTF-16
    # big-endian in Joliet's names, in ASCII in Rock Ridge's, whose extension then takes another
    # name, or a name of two dots, or autorun.inf in capitals); a partition table's signature in the
    # system area; UDF's descriptor after the terminator; the changed launcher added at the end of the volume and
    # the Joliet root's entry for it in a copy of the root that the Joliet descriptor names; the
    # volume made four TiB long (a sparse file); the English folder's entry in the primary root
    # pointing at the root itself.
    swaps=()
    [[ $how != joliet* && $how != link* ]] || swaps=(n "$placeholder" Project1.exe)
    [[ $how != rock* ]] || swaps=(C Aroject1.exe Project1.exe C RRIP_1991A XXIP_1991A)
    [[ $how != capitals* ]] || swaps=(C autorun.inf AUTORUN.INF)
    [[ $how != "added image" || $text != */zz ]] || swaps=(C zz ..)
    [[ $how != terabytes* ]] || truncate -s 4T "$forgery"
    [[ $how != tail* ]] || head -c 2048 /dev/zero >>"$forgery"
    # Published sums beside it, the image's own not the image's.
    [[ $how != "sums image" ]] || { grep -v ' Tolvanix.iso$' "$work/signed/SHA256SUMS"
      printf '%s  Tolvanix.iso\n' "$(sha256sum <"$victim" | cut -d' ' -f1)"; } >"$work/$name/SHA256SUMS"
    [[ $how != "sums image" ]] || cp "$work/signed/Tolvanix.build-record.txt" "$work/$name/"
    [[ $how == terabytes* || $how == tail* || $how == "sums image" ]] || perl -e 'my ($file, $how, $changed, @swaps) = @ARGV;
      open(my $f, "+<:raw", $file) or die "$file: $!\n"; local $/; my $d = <$f>;
      substr($d, 510, 2) = "\x55\xaa" if $how eq "partition";
      substr($d, 19 * 2048, 7) = "\0NSR02\1" if $how eq "udf";
      while (my ($as, $from, $to) = splice(@swaps, 0, 3)) {
        my ($a, $b) = map { pack("$as*", map { ord } split //) } $from, $to;
        $d =~ s/\Q$a\E/$b/ or die "$file holds no $from\n" }
      if ($how eq "loop") {
        my $root = substr($d, 16 * 2048 + 156, 34);
        my $i = unpack("V", substr($root, 2, 4)) * 2048;
        while (my $n = ord(substr($d, $i, 1))) {
          substr($d, $i + 2, 16) = substr($root, 2, 16) if substr($d, $i + 33, ord(substr($d, $i + 32, 1))) eq "ENGLISH";
          $i += $n }
      }
      if ($how eq "root") {
        open(my $c, "<:raw", $changed) or die "$changed: $!\n"; my $exe = <$c>;
        my $at = length($d) / 2048;
        $d .= $exe . "\0" x (-length($exe) % 2048);
        my $root = unpack("V", substr($d, 17 * 2048 + 158, 4));
        my ($i, @entries) = ($root * 2048);
        while (my $n = ord(substr($d, $i, 1))) { push @entries, substr($d, $i, $n); $i += $n }
        my ($launcher) = grep { substr($_, 33, ord(substr($_, 32, 1))) eq pack("n*", map { ord } split //, "Project1.exe") } @entries;
        (my $entry = $launcher) or die "$file: no Project1.exe in the Joliet root\n";
        substr($entry, 2, 16) = pack("VNVN", $at, $at, length $exe, length $exe);
        my $dir = join("", map { $_ eq $launcher ? $entry : $_ } @entries);
        my $copy = length($d) / 2048;
        $d .= $dir . "\0" x (2048 - length $dir);
        substr($d, 17 * 2048 + 158, 8) = pack("VN", $copy, $copy);
        my $blocks = length($d) / 2048;
        substr($d, $_ * 2048 + 80, 8) = pack("VN", $blocks, $blocks) for 16, 17;
      }
      seek($f, 0, 0); print $f $d; close $f' "$forgery" "${how% image}" "$work/changed.exe" "${swaps[@]}"
  fi
  verify "$name" "$forgery" --here "${options[@]}"
  said=$(cat -v "$work/$name.verify")
  [ $status = "$expected_status" ] && { [ "$verdict" = "$expected" ] || [[ $expected == *[\ \(] && $verdict == "$expected"* ]] ||
    [[ $expected == *offset && $verdict == "$expected"* ]]; } ||
    fail "a medium forged with $what ended with exit status $status (expected $expected_status) and \"$verdict\" (expected \"$expected\"): $said"
  [ ! -e "$ran" ] || fail "a medium forged with $what ran a command of its own"
  [ "$(stat -c %a "$victim")" = 444 ] || fail "a medium forged with $what changed the mode of a file outside the run's folder"
  ! LC_ALL=C grep -q '[^ -~]' "$work/$name.verify" || fail "a medium forged with $what reached the terminal with more than printable ASCII: $said"
done

# extract holds each path to lead below its tree itself, not only behind the reading before it.
two_dots=$work/forged-a-name-of-two-dots-in-an-image status=0
"$MEDIUM_TOOLS/medium_reader" extract "$two_dots/Tolvanix.iso" "$two_dots/taken-out" 2>/dev/null || status=$?
[ $status = 1 ] && [ ! -e "$two_dots/taken-out" ] ||
  fail "medium_reader extract took out an image with a name of two dots (exit status $status)"

# --- A tree with uncommitted changes says so ---------------------------------------------------
echo 'an uncommitted change' >>"$clone/README.md"
medium uncommitted
grep -q '^tree: uncommitted changes' "$work/uncommitted/Tolvanix.build-record.txt" ||
  fail "a medium of a tree with uncommitted changes does not say so: $(cat "$work/uncommitted/Tolvanix.build-record.txt")"
echo "ok: signed and unsigned media verify against their commit; a launcher changed and signed again is refused; an edited record fails the sums; an unknown commit cannot be told; forged media are refused, running nothing"
