# What make-medium writes on a medium and verify-medium reads back, stated once, and how either
# shows what it read; sourced. The record's fixed texts reach medium_reader as its arguments.
# The launcher's toolchain, which the build states.
. "$(dirname "${BASH_SOURCE[0]}")/../tools/toolchain.sh"
# The mastering tool: xorriso and the libraries whose code lays out and writes the image's bytes
# (their names as dpkg patterns: Debian 13 names them with t64). The build record gives their
# versions, and verify-medium writes an image again only with the same.
mastering_tool=(xorriso 'libisoburn1*' 'libisofs6*' 'libburn4*')
# How make-medium has xorriso write an image (-as mkisofs): names read as the UTF-8 they are,
# whatever the locale; Joliet names as long as Windows reads them (-joliet-long: 103 characters,
# and paths past 240); the names sorted, every date the time
# given, every file readable and every folder searchable by all, owned by root: nothing of who made
# the files, or when, reaches the image. The last two are xorriso's own for a new image, which it
# takes otherwise when it has loaded one (written again, for verify-medium, from an image).
mastering() {  # mastering TIME: xorriso's options, one a line
  printf '%s\n' -input-charset UTF-8 -J -joliet-long -r -file-mode 0444 -dir-mode 0555 --set_all_file_dates "=$1" -V TOLVANIX --no-emul-toc -iso-level 1
}
# What a medium holds at its root; its autorun.inf, which opens the launcher with its icon; and the
# build record's fixed texts, the heading as every medium has carried it, from before verify-medium
# lay in medium/: a record is read by its grammar, and a medium made earlier still verifies.
medium_root=(English German French Project1.exe autorun.inf build-record.txt)
medium_autorun=$'[autorun]\r\nopen=Project1.exe\r\nicon=Project1.exe,0\r\nlabel=Tolvanix\r\n'
record_heading="Tolvanix medium: how its launcher, Project1.exe, was built (tools/verify-medium checks it)"
record_uncommitted="uncommitted changes (Project1.exe was built with them; a rebuild of the commit may differ)"
# The discs a medium is written to, smallest first: the name MEDIUM_DISC gives it, how many bytes the
# smallest blank of its kind holds (an 80-minute CD-R of 360,000 sectors; DVD+R, DVD-R DL and BD-R
# as their formats count sectors of 2048 bytes), and what it is called.
medium_discs=("cd 737280000 CD (700 MB)" "dvd 4700372992 DVD (4.7 GB)" "dvd-dl 8543666176 DVD DL (8.5 GB)"
              "bd 25025314816 BD (25 GB)")
# A file's SHA-256 in hex, by OpenSSL, which uses the processor's SHA instructions.
sha256() { { openssl dgst -sha256 -r <"$1" | cut -d' ' -f1; } 2>/dev/null; }
# TEXT from a medium or a vendor's files as it may reach a terminal: every byte outside printable
# ASCII, and the backslash, as \xNN; no more than 200 bytes of it.
escaped() {
  local LC_ALL=C
  local text=${1:0:200} out= c i
  for ((i = 0; i < ${#text}; i++)); do
    c=${text:i:1}
    [[ $c == [\ -~] && $c != \\ ]] || printf -v c '\\x%02x' "'$c"
    out+=$c
  done
  printf %s "$out"
  [ ${#text} = ${#1} ] || printf '...'
}
