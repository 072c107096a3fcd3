# The Python tests against the module under valgrind memcheck. The module
# is built here with debug information (build/leakcheck) and put first on
# the import path; the interpreter runs on plain malloc so that memcheck
# sees every object. tools/leak_report.py then fails the run on any error
# whose stack touches the module: definite leaks, invalid reads and
# writes, uninitialised values. The interpreter's own noise is hidden by
# tools/valgrind-python.supp, which names no frame of ours. Each process
# writes its own report, memcheck.<pid>.xml: the tests fork, and start
# interpreters that call the module (these are traced too, so every path
# is absolute: they run in other working directories).
#
# The suites chosen exercise every function and every failure path of the
# module (binding and conversion, documents and reading errors, decisions
# and the audit log, fingerprints). Left out: test_exports (reads the
# built file, calls nothing), test_stubs (runs the type checker),
# test_orvex_audit (the command-line verifier, its own program).
LEAKCHECK_BUILD := build/leakcheck
LEAKCHECK_TESTS ?= tests/test_binding.py tests/test_documents.py tests/test_json_reading.py \
  tests/test_validation.py tests/test_audit_log.py tests/test_fingerprint.py
LEAKCHECK_VALGRIND := valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite \
  --errors-for-leak-kinds=definite --track-origins=yes --num-callers=40 --trace-children=yes --vgdb=no \
  --suppressions=$(CURDIR)/tools/valgrind-python.supp --xml=yes --xml-file=$(abspath $(LEAKCHECK_BUILD))/memcheck.%p.xml

.PHONY: leakcheck

leakcheck: venv $(VENV)/.test-tools
	@command -v valgrind >/dev/null 2>&1 || { sudo=""; [ "$$(id -u)" -eq 0 ] || sudo=sudo; \
	  $$sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -qq valgrind; }
	cmake -S . -B $(LEAKCHECK_BUILD) -DORVEX_BUILD_MODULE=ON -DORVEX_BUILD_TESTS=OFF \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPython_EXECUTABLE=$(abspath $(VPY))
	cmake --build $(LEAKCHECK_BUILD) -j2 --target orvex_core
	PYTHONPATH=$(abspath $(LEAKCHECK_BUILD)) $(VPY) -c "import orvex_core; print('module under check:', orvex_core.__file__)"
	rm -f $(LEAKCHECK_BUILD)/memcheck.*.xml
	PYTHONPATH=$(abspath $(LEAKCHECK_BUILD)) PYTHONMALLOC=malloc $(LEAKCHECK_VALGRIND) \
	  $(VPY) -m pytest -q -p no:cacheprovider $(LEAKCHECK_TESTS)
	$(VPY) tools/leak_report.py $(LEAKCHECK_BUILD)/memcheck.*.xml
