# Cross compiling the core and its tests with Debian's cross compilers,
# against Debian's multiarch libraries of the target (libsodium, GoogleTest),
# and running them under qemu-user. Set ORVEX_CROSS_TRIPLE, for example
# aarch64-linux-gnu or s390x-linux-gnu, and ORVEX_CROSS_QEMU, for example
# qemu-aarch64.
#
# CMake reads this file again for its own compiler checks, without the
# command line's settings: the first reading hands them on in the
# environment.
if(ORVEX_CROSS_TRIPLE)
  set(ENV{ORVEX_CROSS_TRIPLE} "${ORVEX_CROSS_TRIPLE}")
  set(ENV{ORVEX_CROSS_QEMU} "${ORVEX_CROSS_QEMU}")
else()
  set(ORVEX_CROSS_TRIPLE "$ENV{ORVEX_CROSS_TRIPLE}")
  set(ORVEX_CROSS_QEMU "$ENV{ORVEX_CROSS_QEMU}")
endif()
set(CMAKE_SYSTEM_NAME Linux)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR "${ORVEX_CROSS_TRIPLE}")
set(CMAKE_CXX_COMPILER ${ORVEX_CROSS_TRIPLE}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${ORVEX_CROSS_TRIPLE})
# The programs run on the target's loader, C library and libsodium from the
# multiarch folders; the C++ runtime, which the cross compiler keeps apart
# in /usr/TRIPLE, is linked in (pointing qemu at that folder mixes two C
# libraries, which aborts on s390x).
set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVEX_CROSS_QEMU})
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libstdc++ -static-libgcc")
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${ORVEX_CROSS_TRIPLE}/pkgconfig:/usr/share/pkgconfig")
# Only the target's libraries, never the build machine's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
