# What the two release toolchains share: zig's C and C++ compilers for one
# processor and glibc 2.17 (manylinux2014), with its libc++ linked
# statically, so that the wheel needs no C++ runtime of the system.
# ORVEX_WHEEL_DEPS names the prefix tools/wheel_deps.sh printed: the
# compiler's wrappers (zig-bin/) and the static libsodium and zlib built by
# it. Included by zig-x86_64.cmake and zig-aarch64.cmake, which set
# ORVEX_ZIG_TARGET.
if(NOT ORVEX_WHEEL_DEPS)
  set(ORVEX_WHEEL_DEPS "$ENV{ORVEX_WHEEL_DEPS}")
endif()
if(NOT IS_DIRECTORY "${ORVEX_WHEEL_DEPS}/zig-bin")
  message(FATAL_ERROR "ORVEX_WHEEL_DEPS must name the folder tools/wheel_deps.sh ${ORVEX_ZIG_TARGET} prints")
endif()
# try_compile projects see the same toolchain.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORVEX_WHEEL_DEPS)

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${ORVEX_ZIG_TARGET})
set(CMAKE_C_COMPILER "${ORVEX_WHEEL_DEPS}/zig-bin/${ORVEX_ZIG_TARGET}-cc")
set(CMAKE_CXX_COMPILER "${ORVEX_WHEEL_DEPS}/zig-bin/${ORVEX_ZIG_TARGET}-c++")
set(CMAKE_AR "${ORVEX_WHEEL_DEPS}/zig-bin/${ORVEX_ZIG_TARGET}-ar" CACHE FILEPATH "")
set(CMAKE_RANLIB "${ORVEX_WHEEL_DEPS}/zig-bin/${ORVEX_ZIG_TARGET}-ranlib" CACHE FILEPATH "")
# The archiver of link-time optimised builds: zig's knows LLVM bitcode.
foreach(language C CXX)
  set(CMAKE_${language}_COMPILER_AR "${CMAKE_AR}" CACHE FILEPATH "")
  set(CMAKE_${language}_COMPILER_RANLIB "${CMAKE_RANLIB}" CACHE FILEPATH "")
endforeach()
# No part of zig's compiler runtime is linked: it carries its own memcmp,
# memcpy, memset and strlen, which would take the place of glibc's (several
# times faster) in the whole binary as soon as any of its functions is
# needed. A need for one stops the link of orvex-audit; the module, whose
# interpreter symbols stay open until it is loaded, would fail its import
# in every test run.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-rtlib=none")
endforeach()
# Link-time optimisation across the engine and the module: most of what
# this compiler's build lost against GCC's in the fingerprint (reading the
# manifest's entries, whose helpers live in other files) it wins back.
set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)
# Without optimisation zig adds its UBSan runtime, which needs that library:
# CMake's checks compile as the release does.
set(CMAKE_TRY_COMPILE_CONFIGURATION Release)

# zig has no strip of its own; LLVM's strips every processor's binaries.
find_program(ORVEX_LLVM_STRIP NAMES llvm-strip llvm-strip-19 llvm-strip-18 llvm-strip-17 llvm-strip-16 llvm-strip-15 llvm-strip-14 REQUIRED)
set(CMAKE_STRIP "${ORVEX_LLVM_STRIP}" CACHE FILEPATH "")

# Libraries and headers from the prefix only, never the build machine's.
set(CMAKE_FIND_ROOT_PATH "${ORVEX_WHEEL_DEPS}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
# BOTH: the interpreter's headers are the build machine's (the prefix is searched first).
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "${ORVEX_WHEEL_DEPS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
