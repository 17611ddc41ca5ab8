# The launcher's toolchain: the Debian packages whose files make Project1.exe's bytes (the mingw-w64
# compiler, binutils, the runtime and headers, and CMake); sourced. install-deps installs them, and
# make-medium's build record gives their versions, which verify-medium compares with the rebuild's.
launcher_toolchain=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
                    mingw-w64-common cmake cmake-data)
