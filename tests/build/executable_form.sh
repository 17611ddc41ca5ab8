#!/usr/bin/env bash
# The executables' form. Each: 32-bit, loadable by Windows XP SP3, importing only functions that
# Windows XP SP3 has (see windows_imports.txt). The launcher, the first, also: ASLR and DEP on,
# and imports from DLLs that every Windows has only; shell32 is bound at run time, never imported.
# The others are the programs of the Windows test kit, which runs on XP SP3 as well.
#   executable_form.sh Project1.exe [KIT_PROGRAM...]
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: executable_form.sh Project1.exe [KIT_PROGRAM...]"; exit 2; }
table=$(dirname "$0")/windows_imports.txt
fail() { echo "FAIL: $*"; exit 1; }
newer_than_xp() { awk -v v="$1" 'BEGIN { exit !(v + 0 > 5.1) }'; }

check() {  # check FILE LAUNCHER(yes|no)
  local exe=$1 launcher=$2 name headers version imports dlls minimum
  name=$(basename "$exe")
  headers=$(i686-w64-mingw32-objdump -p "$exe")
  grep -q 'file format pei-i386' <<<"$headers" || fail "$name is not a 32-bit PE"
  if [ "$launcher" = yes ]; then
    grep -q 'DYNAMIC_BASE' <<<"$headers" || fail "$name: ASLR (DYNAMIC_BASE) is off"
    grep -q 'NX_COMPAT' <<<"$headers" || fail "$name: DEP (NX_COMPAT) is off"
  fi
  # A loader refuses an image that asks for a newer system or subsystem than its own (XP is 5.1).
  for field in OSystem Subsystem; do
    version=$(awk -v f="$field" '$1 == "Major" f "Version" { major = $2 } $1 == "Minor" f "Version" { minor = $2 }
                                  END { print major "." minor }' <<<"$headers")
    ! newer_than_xp "$version" || fail "$name: the header asks for $field version $version; Windows XP is 5.1"
  done

  # Each import as "dll function", from the import tables only.
  imports=$(sed -n '/^The Import Tables/,/^The .* Tables\|^PE File Base Relocations/p' <<<"$headers" |
    awk '/DLL Name:/ { dll = tolower($3) } dll && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print dll, $3 }')
  [ -n "$imports" ] || fail "no imports read from $name"
  dlls=$(cut -d' ' -f1 <<<"$imports" | sort -u)
  if [ "$launcher" = yes ]; then
    local allowed=' kernel32.dll user32.dll gdi32.dll ole32.dll msvcrt.dll advapi32.dll '
    for dll in $dlls; do
      [[ $allowed == *" $dll "* ]] || fail "$name imports $dll, which not every Windows has or which must be bound at run time"
    done
  fi
  # Each import with its minimum from the table ("?" when the table lacks it), in one pass.
  local verdict
  verdict=$(awk 'NR == FNR { if (!/^#/ && NF >= 3) minimum[tolower($1) " " $2] = $3; next }
                 { m = ($0 in minimum) ? minimum[$0] : "?"
                   if (m == "?") { print "imports " $1 "!" $2 ", which windows_imports.txt does not list: look up the first Windows that has it and add it"; exit }
                   if (m + 0 > 5.1) { print "imports " $1 "!" $2 ", which Windows before " m " lacks (XP is 5.1): look it up at run time"; exit } }' \
            "$table" - <<<"$imports")
  [ -z "$verdict" ] || fail "$name $verdict"
  echo "ok: $name, $(stat -c %s "$exe") bytes, imports $(echo $dlls), $(wc -l <<<"$imports") functions"
}

check "$1" yes
shift
for program in "$@"; do check "$program" no; done
