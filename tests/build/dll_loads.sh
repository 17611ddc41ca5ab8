#!/usr/bin/env bash
# What ships loads DLLs in one place only, LoadSystemLibrary (window/dll_search_win32.cpp), which
# takes them from the system folder. A load anywhere else would search beside the launcher first
# on the Windows that cannot confine the search for the whole program (XP, and Vista or 7 without
# update KB2533623), where a DLL planted beside a downloaded medium would be taken.
#   dll_loads.sh SOURCE_DIR
set -euo pipefail
src=${1:?usage: dll_loads.sh SOURCE_DIR}
binder=window/dll_search_win32.cpp
loads=$(cd "$src" && grep -rnE 'LoadLibrary|LoadPackagedLibrary|LdrLoadDll' launch window resources | grep -v "^$binder:" || true)
[ -z "$loads" ] || { echo "FAIL: a DLL is loaded outside $binder:"; echo "$loads"; exit 1; }
grep -q 'LoadLibraryExW' "$src/$binder" || { echo "FAIL: $binder no longer loads DLLs; say here which file does"; exit 1; }
echo "ok: what ships loads DLLs in $binder alone"
