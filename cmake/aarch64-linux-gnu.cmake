# Cross-building for arm64 (aarch64) Linux on a Debian machine with crossbuild-essential-arm64,
# the libraries' arm64 packages (multiarch: /usr/lib/aarch64-linux-gnu) and qemu-user-static,
# which runs the tests: tools/test-arm64 sets all this up.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# Libraries and headers from the arm64 packages only; programs (code generators, pkg-config)
# are this machine's.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)

# CTest runs the test programs through qemu. They load the arm64 C library of the multiarch
# packages with its own loader (/lib/ld-linux-aarch64.so.1): with the cross toolchain's loader
# (qemu's -L /usr/aarch64-linux-gnu) beside that library, whose build differs, creating a
# thread loops for ever.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static)
