#!/usr/bin/env bash
# The executable's form: 32-bit, ASLR and DEP on, and imports only of DLLs that every Windows
# has; shell32 is bound at run time, never imported.
set -euo pipefail
exe=${1:?usage: executable_form.sh Project1.exe}
headers=$(i686-w64-mingw32-objdump -p "$exe")
fail() { echo "FAIL: $*"; exit 1; }

grep -q 'file format pei-i386' <<<"$headers" || fail "not a 32-bit PE"
grep -q 'DYNAMIC_BASE' <<<"$headers" || fail "ASLR (DYNAMIC_BASE) is off"
grep -q 'NX_COMPAT' <<<"$headers" || fail "DEP (NX_COMPAT) is off"
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u)
echo "imports: $(echo $imports)"
allowed=' kernel32.dll user32.dll gdi32.dll ole32.dll msvcrt.dll advapi32.dll '
for dll in $imports; do
  [[ $allowed == *" $dll "* ]] || fail "imports $dll, which not every Windows has or which must be bound at run time"
done
grep -qx 'shell32.dll' <<<"$imports" && fail "shell32.dll is imported"
echo "ok: $(stat -c %s "$exe") bytes"
