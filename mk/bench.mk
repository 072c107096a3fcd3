# Benchmarks: one run of every benchmark for each build of the module, then
# one table of ratios against their targets: the source build (GCC, in the
# project's environment) and the x86-64 release wheel (zig, installed into
# an environment of its own). bench/ledger.py measures orvex's ledgers in
# decisions per second; orjson is the reference of the reading benchmark.
BENCH_WHEEL_ENV := build/bench-wheel
.PHONY: bench
bench: install wheel-x86_64
	$(VPY) -m pip install -q orjson
	rm -rf $(BENCH_WHEEL_ENV)
	$(PYTHON) -m venv $(BENCH_WHEEL_ENV)
	$(BENCH_WHEEL_ENV)/bin/python -m pip install -q orjson $$(ls dist/orvex_core-*-abi3-manylinux*_x86_64.whl)
	$(VPY) bench/all.py --build "gcc (source build)=$(VPY)" \
	  --build "zig (release wheel)=$(BENCH_WHEEL_ENV)/bin/python"
