# `make compat`: runs the Python test suite against the x86-64 release wheel
# (abi3, built by zig: mk/wheel.mk) under every CPython 3.8 to 3.13 found on this
# machine, each in a fresh virtual environment under build/compat/<version>.
#
# An interpreter is found as python3.X on PATH or, failing that, as a pyenv
# version 3.X.* (pyenv shims answer only for the selected versions). A
# version that is not found is reported and skipped; a failing one fails
# the target. At the end the versions that ran are listed.

COMPAT_VERSIONS := 3.8 3.9 3.10 3.11 3.12 3.13
COMPAT_DIR := build/compat
# The test extra of the package, plus what the stub test needs.
COMPAT_TEST_EXTRAS := "mypy>=1"

.PHONY: compat

compat: wheel-x86_64
	@set -e; \
	wheel=$$(ls dist/orvex_core-*-abi3-manylinux*_x86_64.whl); \
	echo "wheel: $$wheel"; \
	find_python() { \
	  if python$$1 -c "" >/dev/null 2>&1; then \
	    python$$1 -c "import sys; print(sys.executable)"; return; \
	  fi; \
	  if command -v pyenv >/dev/null 2>&1; then \
	    release=$$(pyenv versions --bare 2>/dev/null | grep -E "^$$1\.[0-9]+$$" | sort -t. -k3 -n | tail -n 1); \
	    if [ -n "$$release" ] && [ -x "$$(pyenv root)/versions/$$release/bin/python$$1" ]; then \
	      echo "$$(pyenv root)/versions/$$release/bin/python$$1"; \
	    fi; \
	  fi; \
	}; \
	ran=""; absent=""; \
	for version in $(COMPAT_VERSIONS); do \
	  python=$$(find_python $$version); \
	  if [ -z "$$python" ] || ! $$python -c "import platform, sys; \
	      sys.exit(platform.python_implementation() != 'CPython' or '%d.%d' % sys.version_info[:2] != '$$version')"; then \
	    absent="$$absent $$version"; continue; \
	  fi; \
	  echo "== CPython $$version: $$python"; \
	  env="$(COMPAT_DIR)/$$version"; \
	  rm -rf "$$env"; \
	  "$$python" -m venv "$$env"; \
	  "$$env/bin/python" -m pip install -q "$$wheel[test]" $(COMPAT_TEST_EXTRAS); \
	  "$$env/bin/python" -m pytest -q -p no:cacheprovider tests; \
	  ran="$$ran $$version"; \
	done; \
	echo "compat: the wheel passed the tests under CPython$$ran"; \
	if [ -n "$$absent" ]; then echo "compat: not found on this machine:$$absent"; fi; \
	if [ -z "$$ran" ]; then echo "compat: no interpreter found"; exit 1; fi
