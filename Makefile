# `make demo` and `make test` each set up everything they need on a fresh
# machine: system packages, a virtual environment, and the build.
PYTHON ?= python3
VENV := .venv
VPY := $(VENV)/bin/python
CPP_BUILD := build/cpp

.PHONY: all setup system-deps venv install demo test quick-test test-cpp test-python clean

all: install

system-deps:
	./tools/install_system_deps.sh

$(VENV)/bin/python:
	$(PYTHON) -m venv $(VENV)

venv: system-deps $(VENV)/bin/python
	$(VPY) -m pip install -q "pytest>=7" "hypothesis>=6" "cryptography>=41" "mypy>=1"

# Builds the extension module with the project's own build backend and
# installs it into the virtual environment (incremental: build/ keeps state).
install: venv
	$(VPY) -m pip install -q .

setup: install

demo: install
	$(VPY) examples/agent_guard.py

test-cpp: system-deps
	cmake -S . -B $(CPP_BUILD) -DORVEX_BUILD_TESTS=ON -DORVEX_BUILD_MODULE=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(CPP_BUILD) -j2
	ctest --test-dir $(CPP_BUILD) --output-on-failure -j2

test-python: install
	$(VPY) -m pytest -q tests

# Every suite: the C++ tests, the Python tests, the same Python tests under
# every CPython 3.8-3.13 on the machine against one abi3 wheel (compat, in
# mk/compat.mk), and the C++ tests under ASan and UBSan (sanitize, in
# mk/sanitize.mk). `make quick-test` runs only the first two.
test: test-cpp test-python compat sanitize

quick-test: test-cpp test-python

clean:
	rm -rf build $(VENV)

# Further targets (benchmarks, fuzzing, sanitizers, compatibility) live in
# one file each.
-include mk/*.mk
