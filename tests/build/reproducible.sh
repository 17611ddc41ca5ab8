#!/usr/bin/env bash
# Two clean builds of Project1.exe from the same sources, in two different folders, give the
# same bytes: no time stamp, path or date of the build is carried.
set -euo pipefail
src=${1:?usage: reproducible.sh SOURCE_DIR WORK_DIR}
work=${2:?usage: reproducible.sh SOURCE_DIR WORK_DIR}
rm -rf "$work"; mkdir -p "$work"
for side in first second-with-a-longer-name; do
  cmake -S "$src" -B "$work/$side" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-mingw-i686.cmake" \
    -DTOLVANIX_LAUNCHER_ONLY=ON >"$work/$side.log" 2>&1 || { cat "$work/$side.log"; exit 1; }
  cmake --build "$work/$side" --target Project1 -j "$(nproc)" >>"$work/$side.log" 2>&1 || { cat "$work/$side.log"; exit 1; }
done
a=$work/first/bin/Project1.exe b=$work/second-with-a-longer-name/bin/Project1.exe
if cmp "$a" "$b"; then
  echo "ok: the two builds match ($(stat -c %s "$a") bytes)"
  rm -rf "$work"
else
  echo "FAIL: the two builds differ"; exit 1
fi
