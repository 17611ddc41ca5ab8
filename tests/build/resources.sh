#!/usr/bin/env bash
# The executable's resource section, read from outside with icoutils: exactly the icon group,
# its two images and the version block, with their identifiers, languages and sizes.
set -euo pipefail
exe=${1:?usage: resources.sh Project1.exe}
fail() { echo "FAIL: $*"; exit 1; }

listing=$(wrestool -l "$exe" | sed -E 's/offset=0x[0-9a-f]+ //')
expected='--type=3 --name=30001 --language=0 [type=icon size=1384]
--type=3 --name=30002 --language=0 [type=icon size=2216]
--type=14 --name=1 --language=0 [type=group_icon size=34]
--type=16 --name=1 --language=1033 [type=version size=482]'
[ "$listing" = "$expected" ] || fail "resources are"$'\n'"$listing"$'\n'"expected"$'\n'"$expected"

# Little-endian fields of a resource, as unsigned numbers: fields TYPE NAME OFFSET SIZE COUNT
fields() { wrestool -x --raw --type="$1" --name="$2" "$exe" | od -An -v -t "u$4" -j "$3" -N $(($4 * $5)) | xargs; }

# Group: reserved 0, type 1 (icons), two entries.
[ "$(fields 14 1 0 2 3)" = "0 1 2" ] || fail "group header is $(fields 14 1 0 2 3)"
# Each entry: width, height, colour count 0, reserved 0; planes 1, 8 bits; size; identifier.
[ "$(fields 14 1 6 1 4)" = "16 16 0 0" ] || fail "first entry is not 16 x 16: $(fields 14 1 6 1 4)"
[ "$(fields 14 1 10 2 2)" = "1 8" ] || fail "first entry planes/bits: $(fields 14 1 10 2 2)"
[ "$(fields 14 1 14 4 1)" = "1384" ] || fail "first entry size"
[ "$(fields 14 1 18 2 1)" = "30001" ] || fail "first entry id"
[ "$(fields 14 1 20 1 4)" = "32 32 0 0" ] || fail "second entry is not 32 x 32: $(fields 14 1 20 1 4)"
[ "$(fields 14 1 24 2 2)" = "1 8" ] || fail "second entry planes/bits"
[ "$(fields 14 1 28 4 1)" = "2216" ] || fail "second entry size"
[ "$(fields 14 1 32 2 1)" = "30002" ] || fail "second entry id"

# Images: 40-byte header, width, twice the height (colour and mask rows), 1 plane, 8 bits,
# no compression, and a palette of 256 (0 means all of them).
for image in "30001 16" "30002 32"; do
  set -- $image
  header=$(fields 3 "$1" 0 4 3)
  [ "$header" = "40 $2 $(($2 * 2))" ] || fail "image $1 header is $header"
  [ "$(fields 3 "$1" 12 2 2)" = "1 8" ] || fail "image $1 planes/bits"
  [ "$(fields 3 "$1" 16 4 1)" = "0" ] || fail "image $1 is compressed"
  [ "$(fields 3 "$1" 32 4 1)" = "0" ] || fail "image $1 palette is not 256 entries"
done

# No manifest, string table, dialog, menu or bitmap crept in; nothing else in the file either.
wrestool -l "$exe" | grep -q -E 'type=(24|6|5|4|2) ' && fail "an unexpected resource is present"
echo "ok: four resources, icon group and images as expected"
