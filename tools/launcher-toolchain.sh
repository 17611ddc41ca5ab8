# The launcher's toolchain, named once; sourced. These Debian packages' files make Project1.exe's
# bytes: the mingw-w64 compiler, binutils, the runtime and headers, and CMake. install-deps
# installs them, make-medium records their versions, and verify-medium compares those with the
# rebuild's.
launcher_toolchain=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
                    mingw-w64-common cmake cmake-data)
