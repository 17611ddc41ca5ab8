#!/usr/bin/env bash
# The form of every program the build makes. Each: 32-bit, loadable by Windows XP SP3, importing
# (or delay-loading) only functions that Windows XP SP3 has (see windows_imports.txt), but for the
# tools that only the tests here run, under Wine. The
# launcher, the first, also: ASLR and DEP on, and imports from DLLs that every Windows has only;
# shell32 is bound at run time, never imported. Every program but the launcher and the programs
# that stand in for it carries the build's application manifest (tools/manifest), so that Windows
# starts it as the user who asked, never as a legacy installer; those carry none. The facts come
# from the files' own structure (pe_facts), not from a tool's listing. Before it looks at the
# build, the check is shown refusing copies of the launcher, and of programs built as it is, with
# a fault planted in each.
#   executable_form.sh PE_FACTS Project1.exe [PROGRAM...]
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: executable_form.sh PE_FACTS Project1.exe [PROGRAM...]"; exit 2; }
pe_facts=$1
shift
[ -x "$pe_facts" ] || { echo "FAIL: $pe_facts is not built (the native build makes it)"; exit 1; }
here=$(dirname "$0")
table=$here/windows_imports.txt
manifest=$here/../../tools/manifest/program.manifest
# The launcher and the programs that stand in for it: the launcher as on an older Windows, and
# the benchmark's rungs, which compare like with like.
carries_no_manifest=' Project1.exe old_windows_launcher.exe baseline_bare.exe baseline_com.exe baseline_required.exe '
# What drives and checks windows for the tests here, and goes to no Windows.
runs_only_under_wine=' window_tool.exe trust_check.exe '
fail() { echo "FAIL: $*"; exit 1; }
newer_than_xp() { awk -v v="$1" 'BEGIN { exit !(v + 0 > 5.1) }'; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The launcher as binary analyzers want a Windows program (README, "Hardening"): ASLR, with
# relocations for it to move the image by, and DEP; no exception handler an overwritten record
# could name, every local buffer guarded, Remote Desktop's compatibility redirection refused, and
# no section that is writable and executable, or shared with other processes.
hardened() {  # hardened NAME, with fact() of its facts
  local name=$1 characteristics=$((16#$(fact dll-characteristics))) section flags
  ((characteristics & 0x40)) || fail "$name: ASLR (DYNAMIC_BASE) is off"
  ((characteristics & 0x100)) || fail "$name: DEP (NX_COMPAT) is off"
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
  facts=$("$pe_facts" "$exe" 2>&1) || fail "$name: $facts"
  fact() { awk -v k="$1" '$1 == k { print $2 }' <<<"$facts"; }
  [ "$(fact machine)" = 014c ] || fail "$name is not a 32-bit x86 image (machine $(fact machine))"
  [ "$launcher" = no ] || hardened "$name"
  # A loader refuses an image that asks for a newer system or subsystem than its own (XP is 5.1).
  local xp=yes
  [[ $runs_only_under_wine != *" $name "* ]] || xp=no
  for field in os subsystem; do
    version=$(fact $field-version)
    [[ $version =~ ^[0-9]+\.[0-9]+$ ]] || fail "$name: no $field version read from its header"
    [ $xp = no ] || ! newer_than_xp "$version" || fail "$name: the header asks for $field version $version; Windows XP is 5.1"
  done

  # Each import as "dll function", delay-loaded ones too: Windows binds those at their first call.
  imports=$(awk '$1 == "import" || $1 == "delay-import" { print $2, $3 }' <<<"$facts")
  [ -n "$imports" ] || fail "no imports read from $name"
  dlls=$(cut -d' ' -f1 <<<"$imports" | sort -u)
  if [ "$launcher" = yes ]; then
    local allowed=' kernel32.dll user32.dll gdi32.dll ole32.dll msvcrt.dll advapi32.dll '
    for dll in $dlls; do
      [[ $allowed == *" $dll "* ]] || fail "$name imports $dll, which not every Windows has or which must be bound at run time"
    done
  fi
  # Each import with its minimum from the table ("?" when the table lacks it), in one pass.
  local verdict=
  [ $xp = no ] || verdict=$(awk 'NR == FNR { if (!/^#/ && NF >= 3) minimum[tolower($1) " " $2] = $3; next }
                 { m = ($0 in minimum) ? minimum[$0] : "?"
                   if (m == "?") { print "imports " $1 "!" $2 ", which windows_imports.txt does not list: look up the first Windows that has it and add it"; exit }
                   if (m + 0 > 5.1) { print "imports " $1 "!" $2 ", which Windows before " m " lacks (XP is 5.1): look it up at run time"; exit } }' \
            "$table" - <<<"$imports")
  [ -z "$verdict" ] || fail "$name $verdict"

  # Programs carry the build's manifest, as it is committed; the launcher and its stand-ins none.
  local carried=none
  if [[ $name == *.exe ]]; then
    rm -f "$work/manifest"
    if "$pe_facts" manifest "$exe" "$work/manifest"; then carried="the build's"; fi
    if [[ $carries_no_manifest == *" $name "* ]]; then
      [ "$carried" = none ] && [ -z "$(fact manifest)" ] || fail "$name carries an application manifest, and it must carry none"
    else
      [ "$carried" != none ] || fail "$name carries no application manifest: link it with program_manifest"
      [ "$(fact requested-execution-level)" = asInvoker ] || fail "$name's manifest does not ask to run as the invoker"
      cmp -s "$work/manifest" "$manifest" || fail "$name carries a manifest other than tools/manifest/program.manifest"
    fi
  fi
  echo "ok: ${exe##*/bin/}, $(stat -c %s "$exe") bytes, imports $(echo $dlls), $(wc -l <<<"$imports") functions, manifest: $carried"
}

# --- The check at work: copies it must refuse, each for its reason ---------------------------
# plant FOLDER/PROGRAM PERL: a copy of the build's PROGRAM in WORK/FOLDER/PROGRAM, changed by the
# Perl code, which sees the file's bytes in $d and its PE header's offset in $pe, and may call
# replace(FROM, TO): one string of the file, there exactly once, by one no longer, padded with zero
# bytes; or clear(BIT): a bit of the DLL characteristics taken away.
plant() {
  mkdir -p "$work/${1%/*}"
  perl -e 'my ($from, $to, $code) = @ARGV;
    open(my $in, "<:raw", $from) or die "$from: $!\n"; local $/; our $d = <$in>; close $in;
    our $pe = unpack("V", substr($d, 0x3C, 4));
    sub replace { my ($f, $t) = @_; my $n = () = $d =~ /\Q$f\E/g; die "\"$f\" is there $n times\n" unless $n == 1;
                  $d =~ s/\Q$f\E/$t . "\0" x (length($f) - length($t))/e; }
    sub clear { my $at = $pe + 24 + 70; substr($d, $at, 2) = pack("v", unpack("v", substr($d, $at, 2)) & ~$_[0]); }
    eval "$code; 1" or die "$to: $@";
    open(my $out, ">:raw", $to) or die "$to: $!\n"; print $out $d; close $out;' "$bin/${1#*/}" "$work/$1" "$2"
}
launcher=$1
bin=$(dirname "$launcher")  # where every program of the build lies
# NAME|the reason the check must give|PERL: a copy of the launcher; FOLDER/PROGRAM|...: of another
# program built with the launcher's options, checked as the launcher is.
plants=(
  'vista-import|lacks (XP is 5.1)|replace("GetModuleFileNameW\0", "GetTickCount64\0")'
  'no-aslr|ASLR (DYNAMIC_BASE) is off|clear(0x40)'
  'no-dep|DEP (NX_COMPAT) is off|clear(0x100)'
  'no-seh|neither declares that it has no exception handlers (NO_SEH) nor lists them|clear(0x400)'
  'no-tsaware|is not TERMINAL_SERVER_AWARE|clear(0x8000)'
  'shell32-import|imports shell32.dll, which not every Windows has|replace("KERNEL32.dll\0", "SHELL32.dll\0")'
  # A delay-load entry for kernel32!GetTickCount64, laid into the zeros after the section table,
  # which are loaded with the headers: the entry, the empty one that ends the list, the name
  # table, the names.
  'delay-vista-import|lacks (XP is 5.1)|my $opt = $pe + 24;
     my $at = ($opt + unpack("v", substr($d, $pe + 20, 2)) + 40 * unpack("v", substr($d, $pe + 6, 2)) + 15) & ~15;
     my ($dll, $hint) = ($at + 72, $at + 88);
     my $plant = pack("V8", 1, $dll, 0, 0, $at + 64, 0, 0, 0) . "\0" x 32 . pack("V2", $hint, 0)
                 . "kernel32.dll\0\0\0\0" . "\0\0GetTickCount64\0";
     die "no room after the section table\n"
       if substr($d, $at, length($plant)) =~ /[^\0]/ || $at + length($plant) > unpack("V", substr($d, $opt + 60, 4));
     substr($d, $at, length($plant)) = $plant;
     substr($d, $opt + 96 + 13 * 8, 8) = pack("V2", $at, 64)'
  # The code section made writable too; an SEH frame installed ("mov fs:[0], esp") over its first bytes.
  'wx-section|is writable and executable|my $at = $pe + 24 + unpack("v", substr($d, $pe + 20, 2)) + 36;
     substr($d, $at, 4) = pack("V", unpack("V", substr($d, $at, 4)) | 0x80000000)'
  'seh-frame|writes fs:[0]|my $at = $pe + 24 + unpack("v", substr($d, $pe + 20, 2)) + 20;
     substr($d, unpack("V", substr($d, $at, 4)), 7) = "\x64\x89\x25\0\0\0\0"'
  # Cut short just before the DLL names, which follow the rest of the import table.
  'cut-short|malformed: a name lies beyond the end|my $at = length($d);
     for my $n ("GDI32.dll", "KERNEL32.dll", "msvcrt.dll", "ole32.dll", "USER32.dll") {
       my $i = index($d, "\0$n\0"); $at = $i + 1 if $i >= 0 && $i + 1 < $at }
     $d = substr($d, 0, $at - 1)'
  # The protector left out of the compile; a manifest that asks for another level, the same length.
  'no-stack-guard/stack_overrun_unguarded.exe|no function checks a stack guard|'
  'other-level/stack_overrun.exe|does not ask to run as the invoker|replace(q{level="asInvoker" uiAccess="false"/>}, q{level="requireAdministrator"      />})'
)
for row in "${plants[@]}"; do
  plant_name=${row%%|*} code=${row#*|}
  reason=${code%%|*} code=${code#*|}
  [[ $plant_name == */* ]] || plant_name+=/Project1.exe
  plant "$plant_name" "$code"
  if said=$(check "$work/$plant_name" yes); then
    fail "a copy with a fault planted ($plant_name) passes the check: $said"
  fi
  [[ $said == *"$reason"* ]] || fail "the check refuses a copy with a fault planted ($plant_name), but not for its reason (\"$reason\"): $said"
  echo "refused as it must be: $plant_name: ${said#FAIL: }"
done

# --- The build's programs -----------------------------------------------------------------
check "$launcher" yes
shift
for program in "$@"; do check "$program" no; done
