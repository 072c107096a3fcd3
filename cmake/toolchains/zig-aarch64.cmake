# Release wheels for aarch64 Linux, glibc 2.17 on: zig's compilers (cmake/toolchains/zig.cmake).
set(ORVEX_ZIG_TARGET aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/zig.cmake)
