#!/usr/bin/env bash
# The executable's form: 32-bit, ASLR and DEP on, loadable by Windows XP SP3, and importing only
# functions that Windows XP SP3 has (see windows_imports.txt), from DLLs that every Windows has;
# shell32 is bound at run time, never imported.
set -euo pipefail
exe=${1:?usage: executable_form.sh Project1.exe}
table=$(dirname "$0")/windows_imports.txt
headers=$(i686-w64-mingw32-objdump -p "$exe")
fail() { echo "FAIL: $*"; exit 1; }
newer_than_xp() { awk -v v="$1" 'BEGIN { exit !(v + 0 > 5.1) }'; }

grep -q 'file format pei-i386' <<<"$headers" || fail "not a 32-bit PE"
grep -q 'DYNAMIC_BASE' <<<"$headers" || fail "ASLR (DYNAMIC_BASE) is off"
grep -q 'NX_COMPAT' <<<"$headers" || fail "DEP (NX_COMPAT) is off"
# A loader refuses an image that asks for a newer system or subsystem than its own (XP is 5.1).
for field in OSystem Subsystem; do
  version=$(awk -v f="$field" '$1 == "Major" f "Version" { major = $2 } $1 == "Minor" f "Version" { minor = $2 }
                                END { print major "." minor }' <<<"$headers")
  ! newer_than_xp "$version" || fail "the header asks for $field version $version; Windows XP is 5.1"
done

# Each import as "dll function", from the import tables only.
imports=$(sed -n '/^The Import Tables/,/^The .* Tables\|^PE File Base Relocations/p' <<<"$headers" |
  awk '/DLL Name:/ { dll = tolower($3) } dll && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print dll, $3 }')
[ -n "$imports" ] || fail "no imports read from the executable"
dlls=$(cut -d' ' -f1 <<<"$imports" | sort -u)
echo "imports: $(echo $dlls), $(wc -l <<<"$imports") functions"
allowed=' kernel32.dll user32.dll gdi32.dll ole32.dll msvcrt.dll advapi32.dll '
for dll in $dlls; do
  [[ $allowed == *" $dll "* ]] || fail "imports $dll, which not every Windows has or which must be bound at run time"
done
while read -r dll function; do
  minimum=$(awk -v d="$dll" -v f="$function" '!/^#/ && tolower($1) == d && $2 == f { print $3 }' "$table")
  [ -n "$minimum" ] || fail "imports $dll!$function, which windows_imports.txt does not list: look up the first Windows that has it and add it"
  ! newer_than_xp "$minimum" || fail "imports $dll!$function, which Windows before $minimum lacks (XP is 5.1): look it up at run time"
done <<<"$imports"
echo "ok: $(stat -c %s "$exe") bytes"
