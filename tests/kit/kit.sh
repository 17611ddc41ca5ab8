#!/usr/bin/env bash
# The Windows test kit used as a person would use it on Windows, here through Wine's cmd. The
# kit is unpacked into a fresh folder whose path has spaces and accents, and run-tests.cmd run:
#   kit.sh as-wine ARCHIVE WORK      as it is: every check runs but the two that only Windows can
#                                    show, none fails
#   kit.sh as-windows ARCHIVE WORK   with LAUNCHER_TESTS_AS_WINDOWS=1, from the folder made
#                                    read-only as a disc is; meanwhile a second copy is refused
#   kit.sh not-in-ansi ARCHIVE WORK  from a folder named with a letter that the ANSI code page
#                                    lacks: it works in a temporary folder, and passes
#   kit.sh incomplete ARCHIVE WORK   with a file missing: refused, naming the file; with test
#                                    programs that list no tests (one exits at once, one cannot
#                                    start): fails, naming each
#   kit.sh faulty ARCHIVE WORK       with a setup that leaves a window behind: fails, naming the
#                                    test and the window; with a launcher whose German button
#                                    starts French: both ways fail and name the failing tests
#   kit.sh no-desktop ARCHIVE WORK   with no display reachable: runs the tests that need no
#                                    desktop, skips the rest saying why, and passes
# Runs in the test run's Wine session (WINE_SESSION_DIR). The summary lines of the runs that
# should pass go to WORK/summary.txt, which 'make test' shows.
set -euo pipefail
mode=${1:?usage: kit.sh as-wine|as-windows|not-in-ansi|incomplete|faulty|no-desktop ARCHIVE WORK}
archive=${2:?usage: kit.sh MODE ARCHIVE WORK}
work=${3:?usage: kit.sh MODE ARCHIVE WORK}
fail() { echo "FAIL: $*"; exit 1; }
# Spaces and accents; for not-in-ansi, a Greek letter, which code page 1252 lacks.
kit="$work/Prüfung à l'été"
[ "$mode" != not-in-ansi ] || kit="$work/Prüfung Ω"

# A folder read-only for this user, as a disc is. For an ordinary user, taking the write
# permission away does it; root writes anywhere regardless, so for root the folder is made
# immutable (on a file system that has the flag, with CAP_LINUX_IMMUTABLE), or else mounted
# read-only over itself (where mounts are allowed, as they are not in most containers). A way
# counts only when writing into the folder then fails. Prints the way taken, or fails.
cannot_write() { ! (: >"$1/.kit-write-test") 2>/dev/null || { rm -f "$1/.kit-write-test"; return 1; }; }
read_only() {
  if [ "$(id -u)" != 0 ]; then
    chmod -R a-w "$1" && cannot_write "$1" && { echo "without write permission"; return; }
  fi
  chattr -R +i "$1" 2>/dev/null && cannot_write "$1" && { echo "immutable"; return; }
  chattr -R -i "$1" 2>/dev/null || true
  mount --bind "$1" "$1" 2>/dev/null && mount -o remount,bind,ro "$1" 2>/dev/null && cannot_write "$1" &&
    { echo "mounted read-only"; return; }
  ! mountpoint -q "$1" || umount "$1"
  return 1
}
# Whatever a run made read-only, it makes writable again, and a run first undoes what an
# interrupted one left.
writable() {
  [ -d "$1" ] || return 0
  while mountpoint -q "$kit" 2>/dev/null; do umount "$kit"; done
  chattr -R -i "$1" 2>/dev/null || true
  chmod -R u+w "$1"
}
writable "$work"
rm -rf "$work"; mkdir -p "$work"
trap 'writable "$work"' EXIT
. "$WINE_SESSION_DIR/session.env"
export WINEDEBUG=-all
# The end-to-end tests read Wine's exec trace of the launcher from the programs' shared stderr.
stderr=$work/wine-stderr.log
: >"$stderr"
windows_path() { echo "Z:${1//\//\\}"; }  # a path as Wine's drive Z: names it
export WINE_STDERR_WINDOWS_PATH=$(windows_path "$stderr")
mkdir -p "$kit"
(cd "$kit" && cmake -E tar xf "$archive")

# run LOG [FILTER]: run-tests.cmd through Wine's cmd, with a limit; prints its exit code.
run() {
  local log=$1 status=0
  shift
  timeout 900 wine cmd /c "$(windows_path "$kit/run-tests.cmd")" "$@" </dev/null >"$log" 2>>"$stderr" || status=$?
  echo "$status"
}
last_line() { tail -n1 "$1" | tr -d '\r'; }
passing() {  # passing LOG STATUS SKIPS: exit 0 and a summary of nothing failed (and SKIPS skipped, when given)
  local summary
  summary=$(last_line "$1")
  [ "$2" = 0 ] || fail "run-tests.cmd exited with $2:"$'\n'"$(cat "$1")"
  [[ $summary =~ ^[1-9][0-9]*\ passed,\ 0\ failed,\ ([0-9]+)\ skipped$ ]] || fail "the last line is \"$summary\":"$'\n'"$(cat "$1")"
  [ -z "${3:-}" ] || [ "${BASH_REMATCH[1]}" = "$3" ] || fail "expected $3 skipped:"$'\n'"$(grep '^skipped' "$1")"
}

# The run said where it worked, and that folder is gone.
worked_in_a_temporary_folder() {
  local temporary
  temporary=$(sed -n 's/^The tests work in \(.*\) and remove it when they end\.\r\?$/\1/p' "$1")
  [ -n "$temporary" ] || fail "the run did not say where it works:"$'\n'"$(cat "$1")"
  [ ! -e "$(winepath -u "$temporary")" ] || fail "the temporary folder $temporary was left behind"
}

case $mode in
as-wine)
  status=$(run "$work/run.log")
  passing "$work/run.log" "$status" 3
  for only_windows in DllSearch.OnOlderWindowsNoNamesakeOfWhatShell32Imports MarkOfTheWeb.NoCopyThatTheTestsMakeCarriesItOver \
    LauncherRun.HighContrastSwitchedWhileOpen; do
    grep -q "^skipped  $only_windows" "$work/run.log" ||
      fail "the skips are not the three checks that only Windows can show:"$'\n'"$(grep '^skipped' "$work/run.log")"
  done
  ! grep -q '^The tests work in' "$work/run.log" || fail "the run left the kit's folder for a temporary one"
  echo "kit under Wine, every check Wine can run: $(last_line "$work/run.log")" | tee "$work/summary.txt"
  ;;

as-windows)
  if ! how=$(read_only "$kit"); then
    echo "kit as on Windows, from a read-only folder: skipped: no folder can be made read-only for $(id -un) here" \
         "(no write permission holds for root, no immutable flag without CAP_LINUX_IMMUTABLE, no mount without CAP_SYS_ADMIN)" |
      tee "$work/summary.txt"
    exit 77
  fi
  export LAUNCHER_TESTS_AS_WINDOWS=1
  run "$work/run.log" >"$work/status" &
  first=$!
  # A second copy while the first runs: the two would fight over the pointer and the keyboard.
  for _ in $(seq 600); do grep -q '^Windows ' "$work/run.log" 2>/dev/null && break; sleep 0.1; done
  grep -q '^Windows ' "$work/run.log" || fail "the first run did not start:"$'\n'"$(cat "$work/run.log")"
  second=$(run "$work/second.log")
  [ "$second" != 0 ] || fail "a second copy ran while the first was running"
  grep -q 'Another run of this kit is going on' "$work/second.log" || fail "the second copy said:"$'\n'"$(cat "$work/second.log")"
  wait $first
  passing "$work/run.log" "$(cat "$work/status")"
  grep -q 'cannot be written' "$work/run.log" || fail "the run did not say that the kit's folder is read-only"
  worked_in_a_temporary_folder "$work/run.log"
  echo "kit as on Windows, from a read-only folder ($how): $(last_line "$work/run.log")" | tee "$work/summary.txt"
  echo "skipped there:"; grep '^skipped' "$work/run.log" || true
  ;;

not-in-ansi)
  status=$(run "$work/run.log" '*KeyLaunch*EnterOnFrench*')
  passing "$work/run.log" "$status" 0
  grep -q "letters that this Windows's ANSI code page lacks" "$work/run.log" || fail "the run did not say why it left the kit's folder"
  worked_in_a_temporary_folder "$work/run.log"
  ;;

incomplete)
  mv "$kit/bin/setup_standin.exe" "$work/"
  status=$(run "$work/run.log")
  [ "$status" != 0 ] || fail "a kit without bin/setup_standin.exe ran"
  grep -q 'bin\\setup_standin.exe is missing' "$work/run.log" || fail "the run did not name the missing file:"$'\n'"$(cat "$work/run.log")"
  # Test programs that list nothing: one that exits at once (the setup stand-in in its place), and
  # one that cannot start at all, as a program that imports what an older Windows lacks.
  mv "$work/setup_standin.exe" "$kit/bin/"
  cp "$kit/bin/setup_standin.exe" "$kit/bin/win32_tests.exe"
  echo 'not a program' >"$kit/bin/launcher_e2e_tests.exe"
  status=$(run "$work/broken.log")
  [ "$status" != 0 ] || fail "a kit whose test programs list no tests passed:"$'\n'"$(cat "$work/broken.log")"
  for program in win32_tests.exe launcher_e2e_tests.exe; do
    grep -q "^FAILED   $program" "$work/broken.log" || fail "the run did not name $program:"$'\n'"$(cat "$work/broken.log")"
  done
  [ "$(last_line "$work/broken.log")" = "0 passed, 2 failed, 0 skipped" ] || fail "the run ended with \"$(last_line "$work/broken.log")\""
  ;;

faulty)
  # A window that the setup program leaves (as the compatibility assistant comes after a setup
  # that Windows took for an installer): the test that pressed the button fails for it.
  status=$(STANDIN_LEAVE_WINDOW="Left by a setup" run "$work/leftover.log" '*KeyLaunch*EnterOnFrench*')
  [ "$status" != 0 ] || fail "a run that left a window passed:"$'\n'"$(cat "$work/leftover.log")"
  grep -q '^FAILED   EnterAndSpace/KeyLaunch.LaunchesTheFocusedLanguageAndEnds/EnterOnFrench' "$work/leftover.log" &&
    grep -q '^ *class "Static", title "Left by a setup", of setup.exe (process [0-9]*), which the test started$' "$work/leftover.log" ||
    fail "the run did not name the test and the window it left:"$'\n'"$(cat "$work/leftover.log")"
  echo "a setup that leaves a window: $(last_line "$work/leftover.log")"
  grep -A2 '^FAILED' "$work/leftover.log"
  # German's path suffix, changed in the launcher's data to French's: a fault no code change shows.
  perl -e '
    my ($file) = @ARGV;
    open(my $in, "<:raw", $file) or die "$file: $!\n"; local $/; my $data = <$in>; close $in;
    my $utf16 = sub { join "", map { $_ . "\0" } split //, shift };
    my ($from, $to) = ($utf16->("\\German\\setup.exe"), $utf16->("\\French\\setup.exe"));
    my $found = () = $data =~ /\Q$from\E/g;
    die "German'"'"'s path suffix is in $file $found times, not once\n" unless $found == 1;
    $data =~ s/\Q$from\E/$to/;
    open(my $out, ">:raw", $file) or die "$file: $!\n"; print $out $data; close $out;' "$kit/bin/Project1.exe"
  # The tests that press German, both ways.
  for windows in "" 1; do
    status=$(LAUNCHER_TESTS_AS_WINDOWS=$windows run "$work/run$windows.log" '*German*:*OneShellRequest*:*PressesWhile*')
    [ "$status" != 0 ] || fail "the faulty launcher passed (LAUNCHER_TESTS_AS_WINDOWS=$windows):"$'\n'"$(cat "$work/run$windows.log")"
    grep -q '^FAILED   EnterAndSpace/KeyLaunch.LaunchesTheFocusedLanguageAndEnds/EnterOnGerman' "$work/run$windows.log" ||
      fail "the run did not name the test that presses Enter on German:"$'\n'"$(cat "$work/run$windows.log")"
    echo "faulty launcher, LAUNCHER_TESTS_AS_WINDOWS=$windows: $(grep -c '^FAILED' "$work/run$windows.log") tests failed: $(last_line "$work/run$windows.log")"
    grep '^FAILED' "$work/run$windows.log"
  done
  ;;

no-desktop)
  # No X display: Wine shows no window at all, as a hosted session may show none that gets input.
  # Wine's desktop process starts with the first program that needs it, in that program's
  # environment, and outlives the last one by a moment: one started by this run has no display,
  # and the next test's windows would land on it. The run is over when every process it started,
  # which all carry its mark, has ended.
  status=$(unset DISPLAY; export KIT_RUN_WITHOUT_DISPLAY=$work; run "$work/run.log")
  deadline=$((SECONDS + 60))
  while left=$(grep -lsxzF "KIT_RUN_WITHOUT_DISPLAY=$work" /proc/[0-9]*/environ); [ -n "$left" ]; do
    [ $SECONDS -lt $deadline ] || fail "processes of the run without a display are still there after a minute:"$'\n'"$(
      sed 's|environ$|cmdline|' <<<"$left" | xargs -r cat | tr '\0' ' ')"
    sleep 0.2
  done
  [ "$status" = 0 ] || fail "run-tests.cmd exited with $status:"$'\n'"$(cat "$work/run.log")"
  summary=$(last_line "$work/run.log")
  [[ $summary =~ ^[1-9][0-9]*\ passed,\ 0\ failed,\ [1-9][0-9]*\ skipped\;\ the\ tests\ that\ need\ a\ desktop\ are\ skipped ]] ||
    fail "the last line is \"$summary\":"$'\n'"$(cat "$work/run.log")"
  reason='the kit cannot drive this desktop: no window can be shown on it'
  grep -q "^skipped  LauncherRun.AltF4EndsWithoutARequest: $reason" "$work/run.log" ||
    fail "an end-to-end test was not skipped for the desktop:"$'\n'"$(cat "$work/run.log")"
  echo "kit with no display reachable: $summary" | tee "$work/summary.txt"
  ;;

*) fail "unknown mode $mode" ;;
esac
echo "ok: $mode"
