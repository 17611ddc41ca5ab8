#!/usr/bin/env bash
# make-medium given each language's installer as a folder. A vendor's folder (nested folders, many
# files, names that are odd but legal on Windows, an empty folder) comes back from the image
# exactly, names and bytes, as Linux reads it (Rock Ridge) and as Windows does (Joliet), under
# each language; SHA256SUMS checks every file of the tree. The same files make the same image and
# sums whatever their order on disk, their dates, modes and links; identical files are stored once;
# the capacity line names the disc and MEDIUM_DISC refuses a larger image. Each rule a folder can
# break refuses it, naming the path, with no image written and nothing unescaped printed.
set -euo pipefail
usage='usage: medium_folders.sh SOURCE_DIR WORK_DIR PE_FACTS'
src=${1:?$usage}
work=${2:?$usage}
export PE_FACTS=${3:?$usage} MEDIUM_FILES=${3%/*}/medium_files
standin=$src/build/windows/bin/setup_standin.exe
fail() { echo "FAIL: $*"; exit 1; }
writable() { [ ! -d "$work" ] || chmod -R u+w "$work"; }  # what came read-only out of the images
writable
rm -rf "$work"; mkdir -p "$work"
trap writable EXIT
epoch=1700000000

# medium NAME [VARIABLE=VALUE...]: make-medium into WORK/NAME; its output in NAME.out, its exit
# status in $status.
medium() {
  local name=$1
  shift
  status=0
  env MEDIUM_IMAGE="$work/$name/Tolvanix.iso" SOURCE_DATE_EPOCH=$epoch "$@" "$src/medium/make-medium" >"$work/$name.out" 2>&1 ||
    status=$?
}
# vendor FOLDER ORDER: a vendor's installer, its files made in ORDER (sort's options), dated and
# moded as that order falls; its redistributable twice, as copies.
vendor() {
  local top=$1 order=$2 i
  mkdir -p "$top"
  {
    for i in $(seq 1 12); do printf 'file %s\n' "Data/Part $i/ünïcödé $i.cab" "Data/Part $i/Nested/Deeper/file-$i"; done
    printf 'file %s\n' "Setup.exe" "setup.msi" "README" ".hidden" "#{}[]~!@\$%^&()+=,\`'" \
      "$(printf 'n%.0s' $(seq 96)).txt" "漢字 テキスト.txt" "Redist/vc_redist.x86.exe" "Copy of Redist/vc_redist.x86.exe" "install.log"
    printf 'folder %s\n' "Empty" "Data/Part 3/Nested/Empty too"
  } | sort $order | while read -r kind path; do
    mkdir -p "$top/$(dirname "$path")"
    case $kind in
    folder) mkdir -p "$top/$path" ;;
    file)
      case $path in
      Setup.exe) cp "$standin" "$top/$path" ;;
      setup.msi) echo "the package beside the English setup" >"$top/$path" ;;
      install.log) : >"$top/$path" ;;
      *vc_redist*) head -c 300000 /dev/zero | tr '\0' r >"$top/$path" ;;
      *) printf 'the bytes of %s\n' "$path" >"$top/$path" ;;
      esac ;;
    esac
    touch -d "@$((RANDOM * 1000))" "$top/$path"
    chmod "$(printf '%o' $((0400 + RANDOM % 0400)))" "$top/$path" 2>/dev/null || true
  done
  chmod -R u+rwX "$top"
}

# --- A vendor's folder, as each reader reads the image ---------------------------------------
vendor "$work/vendor" ""
medium whole ENGLISH_SETUP="$work/vendor" GERMAN_SETUP="$work/vendor" FRENCH_SETUP="$work/vendor"
[ $status = 0 ] || fail "make-medium refused the vendor's folder: $(cat "$work/whole.out")"
for reader in any norock; do
  xorriso -osirrox on -local_charset UTF-8 -read_fs $reader -indev "$work/whole/Tolvanix.iso" -extract / "$work/read-$reader" \
    >/dev/null 2>&1 || fail "xorriso could not extract the image ($reader)"
  for language in English German French; do
    diff -r "$work/vendor" "$work/read-$reader/$language" >"$work/diff" 2>&1 ||
      fail "$language, as $reader reads it, is not the vendor's folder: $(head -n 5 "$work/diff")"
  done
done
(cd "$work/whole" && sha256sum -c --quiet SHA256SUMS) || fail "sha256sum -c SHA256SUMS fails on the tree"
! "$MEDIUM_FILES" sums-of "$work/whole/Tolvanix" >/dev/full 2>/dev/null || fail "medium_files succeeds when its sums cannot be written"
files=$(find "$work/whole/Tolvanix" -type f | wc -l)
[ "$(grep -c '  Tolvanix/' "$work/whole/SHA256SUMS")" = "$files" ] || fail "SHA256SUMS does not list each of the tree's $files files"
tail -n 1 "$work/whole.out" | grep -q "the smallest disc that holds it is a CD (700 MB)$" ||
  fail "the capacity line does not name the disc: $(tail -n 1 "$work/whole.out")"

# --- The same files, the same image: another order on disk, other dates and modes, copies in place
# of links; and a file linked into several places, or the same in each folder, stored once --------
vendor "$work/reordered" "-r"
ln -f "$work/reordered/Redist/vc_redist.x86.exe" "$work/reordered/Copy of Redist/vc_redist.x86.exe"
# It lies on another file system (memory), which the tree cannot link to: its files are copied,
# once for each language, and the copies stored once.
elsewhere=$(mktemp -d -p /dev/shm)
trap 'rm -rf "$elsewhere"; writable' EXIT
[ "$(stat -c %d "$elsewhere")" != "$(stat -c %d "$work")" ] || fail "/dev/shm is on the work folder's file system: no copy is made"
mv "$work/reordered" "$elsewhere/"
medium again ENGLISH_SETUP="$elsewhere/reordered" GERMAN_SETUP="$elsewhere/reordered" FRENCH_SETUP="$elsewhere/reordered"
[ $status = 0 ] || fail "make-medium refused the reordered folder: $(cat "$work/again.out")"
cmp -s "$work/whole/Tolvanix.iso" "$work/again/Tolvanix.iso" && cmp -s "$work/whole/SHA256SUMS" "$work/again/SHA256SUMS" ||
  fail "the same files in another order, with other dates, modes and links, made another image or other sums"
# The redistributable (300,000 bytes) is in six places and the setup program (750 KB) in three:
# stored in each, they alone would make the image over 4 MB.
[ "$(stat -c %s "$work/whole/Tolvanix.iso")" -lt 2500000 ] ||
  fail "the image is $(stat -c %s "$work/whole/Tolvanix.iso") bytes: identical files are not stored once"

# --- Capacity: an image of exactly a CD's bytes is taken and named a CD's; one block more, or more
# than a DVD's 4.7 GB (not GiB), is refused by MEDIUM_DISC before it is written ------------------
# large BYTES...: a setup program and sparse files of BYTES each, read by nothing before the image's
# size is known.
large() {
  rm -rf "$work/large"
  mkdir -p "$work/large"
  cp "$standin" "$work/large/setup.exe"
  local i=0 bytes
  for bytes in "$@"; do truncate -s "$bytes" "$work/large/data-$((i += 1)).cab"; done
}
large 800M
medium too-large ENGLISH_SETUP="$work/large" MEDIUM_DISC=cd
[ $status != 0 ] && grep -q "the image would be [0-9]* bytes, and a CD (700 MB) holds 737280000 (MEDIUM_DISC=cd); no image was written" \
  "$work/too-large.out" || fail "an image over a CD's size was not refused by MEDIUM_DISC=cd: $(cat "$work/too-large.out")"
# What the image holds besides that file, from the size it would have had.
overhead=$(($(sed -n 's/.*the image would be \([0-9]*\) bytes.*/\1/p' "$work/too-large.out") - 800 * 1024 * 1024))
large $((737280000 - overhead))
medium cd-exactly ENGLISH_SETUP="$work/large" MEDIUM_DISC=cd
[ $status = 0 ] && [ "$(stat -c %s "$work/cd-exactly/Tolvanix.iso")" = 737280000 ] &&
  tail -n 1 "$work/cd-exactly.out" | grep -q "the smallest disc that holds it is a CD (700 MB)$" ||
  fail "an image of exactly a CD's 737280000 bytes was not taken as a CD's: $(cat "$work/cd-exactly.out")"
rm -rf "$work/cd-exactly"
large $((737280000 - overhead + 2048))
medium cd-and-a-block ENGLISH_SETUP="$work/large" MEDIUM_DISC=cd
[ $status != 0 ] && grep -q "the image would be 737282048 bytes, and a CD (700 MB) holds 737280000" "$work/cd-and-a-block.out" ||
  fail "an image a block over a CD's size was not refused by MEDIUM_DISC=cd: $(cat "$work/cd-and-a-block.out")"
large 2400000000 2350000000
medium over-a-dvd ENGLISH_SETUP="$work/large" MEDIUM_DISC=dvd
[ $status != 0 ] && grep -q "the image would be [0-9]* bytes, and a DVD (4.7 GB) holds 4700372992 (MEDIUM_DISC=dvd)" "$work/over-a-dvd.out" ||
  fail "an image of 4.75 GB was not refused by MEDIUM_DISC=dvd, whose discs hold 4.7 GB: $(cat "$work/over-a-dvd.out")"
rm -rf "$work/large"

# --- Refused folders: a row a rule ---------------------------------------------------------------
# NAME%HOW (KIND PATH [MORE], made in a small vendor folder)%what make-medium says of it, after the
# folder's path
deep=$(printf 'folder-%03d/' $(seq 23))
refused=(
  "device name%file Sub/Aux.txt%/Sub/Aux.txt: is a reserved device name"
  "trailing space%folder Sub/Notes %/Sub/Notes : ends with a dot or a space"
  "forbidden character%file a|b.txt%/a|b.txt: holds the character |"
  "control character%file e"$'\e'"[31m.txt%/e\\x1b[31m.txt: holds a control character"
  "case%file Data.cab data.cab%/data.cab: differs only in case from Data.cab"
  "semicolon%file a;1.txt%/a;1.txt: holds a semicolon"
  "beyond U+FFFF%file smile-"$'\xf0\x9f\x98\x80'".txt%/smile-\\xf0\\x9f\\x98\\x80.txt: holds a character beyond U+FFFF"
  "not UTF-8%file latin-"$'\xe9'".txt%/latin-\\xe9.txt: is not valid UTF-8"
  "long name%file $(printf 'n%.0s' $(seq 104))%/$(printf 'n%.0s' $(seq 104)): is 104 characters long (in UTF-16)"
  "long path%file ${deep}file.txt%/${deep%/}: is 263 characters long from the drive's root (D:\\English\\...)"
  "link%link Sub/passwd /etc/passwd%/Sub/passwd: is a symbolic link"
  "pipe%pipe Sub/fifo%/Sub/fifo: is a named pipe"
  "4 GiB%sparse Sub/huge.cab 4G%/Sub/huge.cab: is 4294967296 bytes"
  "unreadable%locked Sub/locked.cab%/Sub/locked.cab: cannot be read"
  "no setup.exe%gone setup.exe%: holds no setup.exe at its top"
)
for row in "${refused[@]}"; do
  IFS=% read -r what how expected <<<"$row"
  name=refused-${what//[^a-z0-9]/-}
  folder=$work/$name-vendor
  mkdir -p "$folder/Sub"
  cp "$standin" "$folder/setup.exe"
  read -r kind path more <<<"$how"
  [ "$kind" != folder ] || path=${how#folder }  # its trailing space too
  mkdir -p "$folder/$(dirname "$path")"
  runner=()
  case $kind in
  file) printf 'a file\n' >"$folder/$path"; [ -z "$more" ] || printf 'a file\n' >"$folder/$more" ;;
  folder) mkdir -p "$folder/$path" ;;
  link) ln -s "$more" "$folder/$path" ;;
  pipe) mkfifo "$folder/$path" ;;
  sparse) truncate -s "$more" "$folder/$path" ;;
  gone) rm "$folder/$path" ;;
  locked)
    printf 'a file\n' >"$folder/$path"
    chmod 000 "$folder/$path"
    # Root reads any file by its capabilities, not its permissions: make-medium runs as root
    # without them, still the owner of the clone it starts from, wherever that clone lies.
    if [ "$(id -u)" = 0 ]; then
      runner=(setpriv --inh-caps=-dac_override,-dac_read_search --bounding-set=-dac_override,-dac_read_search)
    fi ;;
  esac
  status=0
  "${runner[@]}" env MEDIUM_IMAGE="$work/$name/Tolvanix.iso" ENGLISH_SETUP="$folder" "$src/medium/make-medium" >"$work/$name.out" 2>&1 ||
    status=$?
  said=$(cat -v "$work/$name.out")
  [ $status != 0 ] || fail "a folder with a $what was accepted: $said"
  grep -qF -- "make-medium: $folder$expected" "$work/$name.out" || fail "a folder with a $what: no line \"$expected\": $said"
  grep -q 'no image was written$' "$work/$name.out" || fail "a folder with a $what: it does not say that no image was written: $said"
  [ -z "$(ls -A "$work/$name" 2>/dev/null)" ] || fail "a folder with a $what left $(ls -A "$work/$name")"
  ! LC_ALL=C grep -q '[[:cntrl:]]' "$work/$name.out" || fail "a folder with a $what reached the terminal with control characters: $said"
done
# --- An installer inside the medium's tree, or the tree inside an installer: refused, and the
# installer still whole (the tree of an earlier run is removed before a new one is laid) ---------
for row in "earlier tree%$work/whole/Tolvanix.iso%$work/whole/Tolvanix/English" "vendor's folder%$work/vendor/out/Tolvanix.iso%$work/vendor"; do
  IFS=% read -r what image installer <<<"$row"
  status=0
  env MEDIUM_IMAGE="$image" ENGLISH_SETUP="$installer" "$src/medium/make-medium" >"$work/inside.out" 2>&1 || status=$?
  [ $status != 0 ] && grep -qF "the English installer $installer and the medium's tree ${image%.iso} lie one inside the other" "$work/inside.out" ||
    fail "an installer and a tree in the $what, one inside the other, were not refused: $(cat "$work/inside.out")"
  [ -f "$installer/Setup.exe" ] && [ ! -e "$work/vendor/out" ] || fail "refusing an installer and a tree in the $what, one inside the other, changed the installer"
done

echo "ok: a vendor's folder read back whole by both readers, summed, the same whatever its order, dates, modes and links, stored once, sized to its disc; ${#refused[@]} rules refuse a folder; an installer and the tree apart"
