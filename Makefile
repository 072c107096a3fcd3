# `make demo` and `make test` each set up what they need on a fresh machine:
# system packages, a virtual environment, and the build. The demo needs only
# the build's packages; the tests add GoogleTest, CMake and the test tools.
PYTHON ?= python3
VENV := .venv
VPY := $(VENV)/bin/python
CPP_BUILD := build/cpp
# The module's build tree, kept between runs: a rebuild compiles only what
# changed, and nothing at all when nothing did.
MODULE_BUILD := build/module
# What the installed module and orvex-audit are built from.
MODULE_INPUTS := $(shell find src cli/orvex_audit python stubs -type f 2>/dev/null) CMakeLists.txt $(wildcard cmake/*) \
  pyproject.toml README.md LICENSE $(wildcard LICENSES/*)
# The build backend lives in the virtual environment and the builds here run
# without pip's build isolation: a new isolated environment on every run
# makes the backend clear its CMake cache, and every object is compiled again.
BUILD_BACKEND := "scikit-build-core>=0.11"  # as pyproject.toml requires
NO_ISOLATION := --no-build-isolation
# Two cores, shared.
export CMAKE_BUILD_PARALLEL_LEVEL := 2

.PHONY: all setup system-deps test-deps venv install demo test quick-test test-cpp test-python clean

all: install

system-deps:
	@PYTHON=$(PYTHON) ./tools/install_system_deps.sh build

test-deps:
	@PYTHON=$(PYTHON) ./tools/install_system_deps.sh test

$(VENV)/bin/python: | system-deps
	$(PYTHON) -m venv $(VENV)

$(VENV)/.build-backend: | $(VENV)/bin/python
	$(VPY) -m pip install -q $(BUILD_BACKEND)
	touch $@

venv: $(VENV)/bin/python

# The test tools: the `test` extra of pyproject.toml, which alone names
# them; installed once, and again when that file changes.
$(VENV)/.test-tools: pyproject.toml | $(VENV)/bin/python
	$(VPY) tools/project_extra.py test > $(VENV)/test-requirements.txt
	$(VPY) -m pip install -q -r $(VENV)/test-requirements.txt
	touch $@

# Builds the extension module and orvex-audit with the project's own build
# backend and installs them into the virtual environment, only when one of
# their inputs changed since the last install.
$(VENV)/.installed: $(MODULE_INPUTS) | system-deps $(VENV)/.build-backend
	$(VPY) -m pip install -q $(NO_ISOLATION) . -C build-dir=$(MODULE_BUILD)
	touch $@

install: $(VENV)/.installed

setup: install $(VENV)/.test-tools

demo: install
	$(VPY) examples/agent_guard.py

test-cpp: test-deps
	cmake -S . -B $(CPP_BUILD) -DORVEX_BUILD_TESTS=ON -DORVEX_BUILD_MODULE=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(CPP_BUILD) -j2
	ctest --test-dir $(CPP_BUILD) --output-on-failure -j2

test-python: install $(VENV)/.test-tools
	$(VPY) -m pytest -q tests

# Every suite: the C++ tests, the Python tests, the checks of both release
# wheels (x86-64 and 64-bit ARM, in mk/wheel.mk), the same Python tests
# under every CPython 3.8-3.13 on the machine against the x86-64 wheel
# (compat, in mk/compat.mk) and against each wheel in a Debian 11 root of
# its processor, the ARM one under qemu-user (test-roots, in mk/wheel.mk),
# the C++ tests under ASan and UBSan (sanitize, in mk/sanitize.mk), and on
# 64-bit ARM and on big-endian IBM Z under qemu-user (test-aarch64,
# test-s390x, in mk/cross.mk). `make quick-test` runs only the first two.
test: test-cpp test-python wheel-check compat test-roots sanitize test-aarch64 test-s390x

quick-test: test-cpp test-python

clean:
	rm -rf build dist $(VENV)

# Further targets (wheels, benchmarks, fuzzing, sanitizers, compatibility,
# other processors) live in one file each.
-include mk/*.mk
