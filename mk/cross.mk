# The C++ core and its tests on other processors: cross compiled with
# Debian's g++ for the target, linked against the target's libsodium and
# GoogleTest from Debian's multiarch packages, run by ctest under qemu-user.
#
#   make test-aarch64   64-bit ARM, little-endian
#   make test-s390x     IBM Z, big-endian: the byte-order fallbacks
#
# `make cross-deps-<arch>` installs what a target needs (the foreign
# architecture is added to dpkg once).
CROSS_TRIPLE_aarch64 := aarch64-linux-gnu
CROSS_TRIPLE_s390x := s390x-linux-gnu
CROSS_DEBIAN_ARCH_aarch64 := arm64
CROSS_DEBIAN_ARCH_s390x := s390x

.PHONY: test-aarch64 test-s390x

test-aarch64: test-cross-aarch64
test-s390x: test-cross-s390x

cross-deps-%:
	@./tools/install_system_deps.sh cross $(CROSS_DEBIAN_ARCH_$*) $(CROSS_TRIPLE_$*) qemu-$*

test-cross-%: cross-deps-%
	cmake -S . -B build/cross-$* --toolchain $(CURDIR)/mk/cross-toolchain.cmake \
	  -DORVEX_CROSS_TRIPLE=$(CROSS_TRIPLE_$*) -DORVEX_CROSS_QEMU=qemu-$* \
	  -DORVEX_BUILD_TESTS=ON -DORVEX_BUILD_MODULE=OFF -DORVEX_BUILD_TOOLS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build/cross-$* -j2
	ctest --test-dir build/cross-$* --output-on-failure -j2
