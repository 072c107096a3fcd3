# Benchmarks: each prints its figures and the ratio to its target.
.PHONY: bench
bench: install
	$(VPY) bench/fingerprint.py
	$(VPY) bench/guard.py
