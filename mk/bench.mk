# Benchmarks (bench/ledger.py among them: orvex's ledgers in decisions/s): one run of every benchmark, then one table of ratios against
# their targets. orjson is the reference of the reading benchmark.
.PHONY: bench
bench: install
	$(VPY) -m pip install -q orjson
	$(VPY) bench/all.py
