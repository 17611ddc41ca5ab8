# What make-medium writes on a medium and verify-medium reads back, stated once; sourced.
# The launcher's toolchain: the Debian packages whose files make Project1.exe's bytes (the mingw-w64
# compiler, binutils, the runtime and headers, and CMake). install-deps installs them, the build
# record gives their versions, and verify-medium compares those with the rebuild's.
launcher_toolchain=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
                    mingw-w64-common cmake cmake-data)
# What a medium holds at its root; its autorun.inf, which opens the launcher with its icon; and the
# build record's fixed texts.
medium_root=(English German French Project1.exe autorun.inf build-record.txt)
medium_autorun=$'[autorun]\r\nopen=Project1.exe\r\nicon=Project1.exe,0\r\nlabel=Tolvanix\r\n'
record_heading="Tolvanix medium: how its launcher, Project1.exe, was built (tools/verify-medium checks it)"
record_uncommitted="uncommitted changes (Project1.exe was built with them; a rebuild of the commit may differ)"
