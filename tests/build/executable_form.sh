#!/usr/bin/env bash
# The executables' form. Each: 32-bit, loadable by Windows XP SP3, importing only functions that
# Windows XP SP3 has (see windows_imports.txt). The launcher, the first, also: ASLR and DEP on,
# and imports from DLLs that every Windows has only; shell32 is bound at run time, never imported.
# The others are the programs of the Windows test kit, which runs on XP SP3 as well. The facts
# come from the files' own structure (pe_facts), not from a tool's listing.
#   executable_form.sh PE_FACTS Project1.exe [KIT_PROGRAM...]
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: executable_form.sh PE_FACTS Project1.exe [KIT_PROGRAM...]"; exit 2; }
pe_facts=$1
shift
[ -x "$pe_facts" ] || { echo "FAIL: $pe_facts is not built (the native build makes it)"; exit 1; }
table=$(dirname "$0")/windows_imports.txt
fail() { echo "FAIL: $*"; exit 1; }
newer_than_xp() { awk -v v="$1" 'BEGIN { exit !(v + 0 > 5.1) }'; }

# The launcher as binary analyzers want a Windows program (README, "Hardening"), beyond ASLR and
# DEP: relocations for ASLR to move it by, no exception handler an overwritten record could name,
# every local buffer guarded, Remote Desktop's compatibility redirection refused, and no section
# that is writable and executable, or shared with other processes.
hardened() {  # hardened NAME, with fact() of its facts
  local name=$1 characteristics=$((16#$(fact dll-characteristics))) section flags
  [ "$(fact relocations)" -gt 0 ] || fail "$name has no base relocations, so Windows cannot move it (ASLR)"
  ((characteristics & 0x400)) || [ "$(fact safe-seh-handlers)" -gt 0 ] ||
    fail "$name neither declares that it has no exception handlers (NO_SEH) nor lists them (SafeSEH)"
  ((~characteristics & 0x400)) || [ "$(fact exception-list-writes)" -eq 0 ] ||
    fail "$name declares that it has no exception handlers (NO_SEH), yet installs one (writes fs:[0]); Windows would refuse it"
  [ "$(fact stack-guard-checks)" -gt 0 ] || fail "$name: no function checks a stack guard (stack protection is off)"
  ((characteristics & 0x8000)) || fail "$name is not TERMINAL_SERVER_AWARE"
  while read -r section flags; do
    flags=$((16#$flags))
    ((~flags & 0xA0000000)) || fail "$name: section $section is writable and executable"
    ((~flags & 0x10000000)) || fail "$name: section $section is shared between processes"
  done < <(awk '$1 == "section" { print $2, $3 }' <<<"$facts")
}

check() {  # check FILE LAUNCHER(yes|no)
  local exe=$1 launcher=$2 name facts fact version imports dlls
  name=$(basename "$exe")
  facts=$("$pe_facts" "$exe") || fail "$name: $facts"
  fact() { awk -v k="$1" '$1 == k { print $2 }' <<<"$facts"; }
  [ "$(fact machine)" = 014c ] || fail "$name is not a 32-bit x86 image (machine $(fact machine))"
  if [ "$launcher" = yes ]; then
    local characteristics=$((16#$(fact dll-characteristics)))
    ((characteristics & 0x40)) || fail "$name: ASLR (DYNAMIC_BASE) is off"
    ((characteristics & 0x100)) || fail "$name: DEP (NX_COMPAT) is off"
    hardened "$name"
  fi
  # A loader refuses an image that asks for a newer system or subsystem than its own (XP is 5.1).
  for field in os subsystem; do
    version=$(fact $field-version)
    ! newer_than_xp "$version" || fail "$name: the header asks for $field version $version; Windows XP is 5.1"
  done

  # Each import as "dll function".
  imports=$(awk '$1 == "import" { print $2, $3 }' <<<"$facts")
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
