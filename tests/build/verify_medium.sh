#!/usr/bin/env bash
# tools/verify-medium against media of this tree. A signed medium (its image) and an unsigned one
# (its tree) verify against a rebuild on this machine; a launcher changed by one byte and signed
# again with the same key, its record and sums rewritten to match, is refused by the rebuild, naming
# the launcher; an edited record fails SHA256SUMS. The record names dpkg's versions, and says when
# the tree had uncommitted changes. The media are made from a snapshot of this tree committed in a
# throwaway clone, with the build's launcher, so that the record names a commit that holds what the
# launcher was built from, uncommitted changes and all; the clone then goes on to a later commit
# that changes the launcher, so that each proof must be of the recorded one. Media forged one way
# each are refused, and none of them runs a command, changes a file outside or prints raw text.
#   verify_medium.sh SOURCE_DIR WORK_DIR PE_FACTS         as above (make test)
#   verify_medium.sh SOURCE_DIR WORK_DIR PE_FACTS fresh   the signed medium only, against a rebuild in a
#                                                        fresh Debian of this machine's release (.ci/run)
set -euo pipefail
usage='usage: verify_medium.sh SOURCE_DIR WORK_DIR PE_FACTS [fresh]'
src=${1:?$usage}
work=${2:?$usage}
export PE_FACTS=${3:?$usage}  # make-medium reads the setups with it, and their files with the program beside it:
export MEDIUM_FILES=${PE_FACTS%/*}/medium_files  # the clone builds nothing
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

medium() {  # medium NAME [VARIABLE=VALUE...]: the clone's make-medium into WORK/NAME
  local name=$1
  shift
  env MEDIUM_IMAGE="$work/$name/Tolvanix.iso" ENGLISH_SETUP="$standin" GERMAN_SETUP="$standin" FRENCH_SETUP="$standin" \
    SOURCE_DATE_EPOCH="$epoch" "$@" "$clone/tools/make-medium" >"$work/$name.out" 2>&1 || fail "make-medium $name: $(cat "$work/$name.out")"
}
# verify NAME MEDIUM [--here]: the clone's verify-medium; its output in NAME.verify, its last line
# (the verdict) in $verdict, its exit status in $status.
verify() {
  status=0
  "$clone/tools/verify-medium" ${3:-} "$2" >"$work/$1.verify" 2>&1 || status=$?
  verdict=$(tail -n 1 "$work/$1.verify")
}
signing=(SIGN_CERT="$pki/chain.pem" SIGN_KEY="$pki/sign.key")
medium signed "${signing[@]}"

if [ -n "$fresh" ]; then
  "$clone/tools/verify-medium" "$work/signed/Tolvanix.iso" ||
    fail "the signed medium does not verify against a rebuild in a fresh Debian (exit status $?)"
  echo "ok: a signed medium verifies against a rebuild in a fresh Debian"
  exit 0
fi

# --- Signed and unsigned, image and tree: the same, each against its own commit, though the clone
# has gone on to a later one that changes the launcher ------------------------------------------
medium unsigned
printf 'STRINGTABLE\nBEGIN\n    1 "a later commit"\nEND\n' >>"$clone/resources/launcher.rc"
git -C "$clone" -c user.name=test -c user.email=test@example.invalid commit -q -a -m 'a later launcher'
verify signed "$work/signed/Tolvanix.iso" --here
[ $status = 0 ] || fail "the signed medium's image does not verify (exit status $status): $(cat "$work/signed.verify")"
verify unsigned "$work/unsigned/Tolvanix" --here
[ $status = 0 ] || fail "the unsigned medium's tree does not verify (exit status $status): $(cat "$work/unsigned.verify")"
. "$src/tools/medium-facts.sh"
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
(cd "$work/tampered" && sha256sum Tolvanix/Project1.exe Tolvanix/build-record.txt >SHA256SUMS)
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
(cd "$work/unknown" && sha256sum Tolvanix/Project1.exe Tolvanix/build-record.txt >SHA256SUMS)
verify unknown "$work/unknown/Tolvanix" --here
[ $status = 2 ] && [[ $verdict == *" is not in this clone "* ]] ||
  fail "a record naming a commit this clone lacks gave exit status $status, not 2 (cannot tell) for that reason: $(cat "$work/unknown.verify")"

# --- Forged media, as someone handed one would try them: each refused for its reason before anything
# is built; no command of theirs runs (it would leave $ran), nothing outside the run's folder changes
# (the read-only $victim, a genuine launcher, keeps its mode), and no control character reaches the
# terminal. The signed medium's tree, forged as HOW says: its record's line that starts so replaced
# by TEXT (@ in the verdict is that line's number); its launcher a link to $victim, in the tree or an
# image of it; SHA256SUMS beside it naming TEXT; an image whose Joliet names, which Windows reads,
# hold a launcher of one byte changed as TEXT, first in the root, its Rock Ridge names the genuine
# one; an image whose Rock Ridge names, which Linux reads, hold the changed one, under an extension
# that xorriso does not know; an image whose Joliet descriptor gives Windows a copy of its root
# that holds the changed one, or whose Joliet root holds it in the parent folder's place, where
# xorriso does not look; autorun.inf opening something else; an image with UDF after its
# descriptors, or a partition table before them; an image whose record only one tree of names holds.
ran=$work/ran victim=$work/victim.exe
dangling=$(git -C "$clone" -c user.name=test -c user.email=test@example.invalid commit-tree -p HEAD -m 'on no branch' "HEAD^{tree}")  # a commit no branch or tag holds
cp "$work/signed/Tolvanix/Project1.exe" "$victim"
chmod 444 "$victim"
not_written='verify-medium: cannot tell: the build record is not one that make-medium writes'
linked='verify-medium: different: Project1.exe on the medium is a symbolic link, not a program'
named='verify-medium: cannot tell: SHA256SUMS beside Tolvanix names'
unlike='verify-medium: different: Tolvanix.iso is not an image that make-medium writes:'
root_of='verify-medium: different: the root of Tolvanix.iso, as'
not_make_medium="is not make-medium's: a name is missing, added, repeated, or reads as another's"
forged=(  # NAME|HOW|TEXT|STATUS|VERDICT
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
  "link in an image|link image|Project1.exe|1|$linked"
  "SHA256SUMS with ..|sums|Tolvanix/../../victim.exe|2|$named Tolvanix/../../victim.exe, which is not a file of the medium (line 1)"
  "SHA256SUMS with an escape|sums|/"$'\e]0;x\a'"|2|$named /\\x1b]0;x\\x07, which is not a file of the medium (line 1)"
  "Joliet's launcher|joliet image|Project1.exe|1|verify-medium: different: Project1.exe on the medium is one file to Linux and another to Windows (its Rock Ridge and Joliet entries differ)"
  "Joliet name with a dot|joliet image|Project1.exe.|1|$root_of Windows reads it (Joliet), $not_make_medium"
  "unknown Rock Ridge|rock image||1|$root_of Linux reads it (Rock Ridge), $not_make_medium"
  "record for Linux only|linux record image||1|$root_of Windows reads it (Joliet), $not_make_medium"
  "record for Windows only|windows record image||1|$root_of Linux reads it (Rock Ridge), $not_make_medium"
  "no record|record image||2|verify-medium: cannot tell: Tolvanix.iso carries no build record (build-record.txt): it was made before media carried one, or it was removed, and nothing says what to rebuild"
  "Joliet root elsewhere|root image||1|$unlike the root that Windows reads in its Joliet names is not the one xorriso reads"
  "launcher in the parent's place|parent image||1|$unlike the root that Windows reads in its Joliet names is not the one xorriso reads"
  "autorun.inf|autorun|open=other.exe|1|verify-medium: different: autorun.inf on the medium is not the one make-medium writes: it may start something other than the launcher"
  "partition table|partition image||1|$unlike its system area is not empty (it holds a partition table, or boot code)"
  "UDF|udf image||1|$unlike a descriptor follows the terminator (another file system, such as UDF, which Windows reads in place of these)"
)
for row in "${forged[@]}"; do
  IFS='|' read -r what how text expected_status expected <<<"$row"
  name=${what,,} && name=forged-${name//[^a-z0-9]/-}
  mkdir -p "$work/$name"
  cp -r "$work/signed/Tolvanix" "$work/$name/"
  forgery=$work/$name/Tolvanix joliet=()
  case $how in
  # In an image, the link in Rock Ridge's names and a genuine launcher in Joliet's, which hold no link.
  link*)
    ln -sf "$victim" "$forgery/Project1.exe"
    [[ $how != *image ]] || placeholder=Aroject1.exe joliet=(-hide "$victim" "/Aroject1.exe=$victim") ;;
  sums) printf '%s  %s\n' "$(sha256sum <"$victim" | cut -d' ' -f1)" "$text" >"$work/$name/SHA256SUMS" ;;
  # The changed launcher goes in as A... in one tree's names, to be renamed in the image.
  joliet*)
    placeholder=A${text:1}
    joliet=(-hide "$work/changed.exe" "/$placeholder=$work/changed.exe")
    [ "$text" != Project1.exe ] || joliet=(-hide-joliet "$forgery/Project1.exe" "${joliet[@]}") ;;
  rock*) joliet=(-hide "$forgery/Project1.exe" -hide-joliet "$work/changed.exe" "/Aroject1.exe=$work/changed.exe") ;;
  autorun) printf '[autorun]\r\n%s\r\n' "$text" >"$forgery/autorun.inf" ;;
  record*) rm "$forgery/build-record.txt" ;;
  linux*) joliet=(-hide-joliet "$forgery/build-record.txt") ;;
  windows*) joliet=(-hide "$forgery/build-record.txt") ;;
  partition* | udf* | root* | parent*) ;;  # changed in the image's bytes, below
  *)
    at=$(grep -n -m 1 "^$how" "$forgery/build-record.txt" | cut -d: -f1)
    text=$text awk -v n="$at" 'NR == n { print ENVIRON["text"]; next } 1' "$work/signed/Tolvanix/build-record.txt" >"$forgery/build-record.txt"
    expected=${expected/@/$at} ;;
  esac
  if [[ $how == *image ]]; then
    xorriso -as mkisofs -quiet -J -r -graft-points -o "$forgery.iso" "/=$forgery" "${joliet[@]}" 2>/dev/null
    rm -r "$forgery"
    forgery+=.iso
    # Its bytes changed as HOW says: a partition table's signature in the system area; UDF's
    # descriptor after the terminator; the placeholder renamed
    # where it is written (in UTF-16 big-endian in Joliet's names, in ASCII in Rock Ridge's, whose
    # extension then takes another name); or the changed launcher added at the end of the volume and
    # the Joliet root's entry for it in a copy of the root that the Joliet descriptor names, or in
    # the root's second entry.
    swaps=()
    [[ $how != joliet* && $how != link* ]] || swaps=(n "$placeholder" "$text")
    [[ $how != rock* ]] || swaps=(C Aroject1.exe Project1.exe C RRIP_1991A XXIP_1991A)
    perl -e 'my ($file, $how, $changed, @swaps) = @ARGV;
      open(my $f, "+<:raw", $file) or die "$file: $!\n"; local $/; my $d = <$f>;
      substr($d, 510, 2) = "\x55\xaa" if $how eq "partition";
      substr($d, 19 * 2048, 7) = "\0NSR02\1" if $how eq "udf";
      while (my ($as, $from, $to) = splice(@swaps, 0, 3)) {
        my ($a, $b) = map { pack("$as*", map { ord } split //) } $from, $to;
        $d =~ s/\Q$a\E/$b/ or die "$file holds no $from\n" }
      if ($how eq "root" || $how eq "parent") {
        open(my $c, "<:raw", $changed) or die "$changed: $!\n"; my $exe = <$c>;
        my $at = length($d) / 2048;
        $d .= $exe . "\0" x (-length($exe) % 2048);
        my $root = unpack("V", substr($d, 17 * 2048 + 158, 4));
        my ($i, @entries) = ($root * 2048);
        while (my $n = ord(substr($d, $i, 1))) { push @entries, substr($d, $i, $n); $i += $n }
        my ($launcher) = grep { substr($_, 33, ord(substr($_, 32, 1))) eq pack("n*", map { ord } split //, "Project1.exe") } @entries;
        (my $entry = $launcher) or die "$file: no Project1.exe in the Joliet root\n";
        substr($entry, 2, 16) = pack("VNVN", $at, $at, length $exe, length $exe);
        if ($how eq "root") {
          my $dir = join("", map { $_ eq $launcher ? $entry : $_ } @entries);
          my $copy = length($d) / 2048;
          $d .= $dir . "\0" x (2048 - length $dir);
          substr($d, 17 * 2048 + 158, 8) = pack("VN", $copy, $copy);
        } else {
          my $dir = join("", $entries[0], $entry, @entries[2 .. $#entries]);
          substr($d, $root * 2048, 2048) = $dir . "\0" x (2048 - length $dir);
        }
        my $blocks = length($d) / 2048;
        substr($d, $_ * 2048 + 80, 8) = pack("VN", $blocks, $blocks) for 16, 17;
      }
      seek($f, 0, 0); print $f $d; close $f' "$forgery" "${how% image}" "$work/changed.exe" "${swaps[@]}"
  fi
  verify "$name" "$forgery" --here
  said=$(cat -v "$work/$name.verify")
  [ $status = "$expected_status" ] && [ "$verdict" = "$expected" ] ||
    fail "a medium forged with $what ended with exit status $status, not $expected_status, and \"$verdict\": $said"
  [ ! -e "$ran" ] || fail "a medium forged with $what ran a command of its own"
  [ "$(stat -c %a "$victim")" = 444 ] || fail "a medium forged with $what changed the mode of a file outside the run's folder"
  ! LC_ALL=C grep -q '[[:cntrl:]]' "$work/$name.verify" || fail "a medium forged with $what reached the terminal with control characters: $said"
done

# --- A tree with uncommitted changes says so ---------------------------------------------------
echo 'an uncommitted change' >>"$clone/README.md"
medium uncommitted
grep -q '^tree: uncommitted changes' "$work/uncommitted/Tolvanix.build-record.txt" ||
  fail "a medium of a tree with uncommitted changes does not say so: $(cat "$work/uncommitted/Tolvanix.build-record.txt")"
echo "ok: signed and unsigned media verify against their commit; a launcher changed and signed again is refused; an edited record fails the sums; an unknown commit cannot be told; forged media are refused, running nothing"
