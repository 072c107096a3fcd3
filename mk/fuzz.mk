# Fuzzing: the libFuzzer targets of fuzz/ (clang, ASan + UBSan), built by
# their own CMake project. `make fuzz` builds them, then runs each in turn
# for FUZZ_SECONDS (one at a time, at the lowest priority). The seed corpus
# in fuzz/corpus/<target> is only read; what the fuzzer learns goes to
# build/fuzz/corpus/<target>, and an input that breaks a property or trips
# a sanitizer is kept in build/fuzz/artifacts/ (the run then fails).
#
#   make fuzz                          every target, 600 s each
#   make fuzz FUZZ_SECONDS=60          shorter
#   make fuzz-run-manifest             one target
#   build/fuzz/fuzz_intent ARTIFACT    replay one input
FUZZ_SECONDS ?= 600
FUZZ_BUILD := build/fuzz
# Each file fuzz/<name>_fuzz.cc is one target, as the fuzz build takes them.
FUZZ_TARGETS := $(patsubst fuzz/%_fuzz.cc,%,$(sort $(wildcard fuzz/*_fuzz.cc)))
# A single input that takes longer than this (seconds) counts as a hang.
FUZZ_TIMEOUT ?= 10

.PHONY: fuzz fuzz-deps fuzz-build

# clang with the libFuzzer runtime, from Debian, only when missing.
fuzz-deps: test-deps
	@printf 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }\n' \
	  | clang++ -x c++ -fsanitize=fuzzer -o /dev/null - 2>/dev/null || { \
	  echo "installing clang and the libFuzzer runtime"; \
	  sudo=""; [ "$$(id -u)" -eq 0 ] || sudo=sudo; \
	  $$sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -qq clang libclang-rt-dev; }

fuzz-build: fuzz-deps
	cmake -S fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j2

fuzz: fuzz-build
	@for t in $(FUZZ_TARGETS); do $(MAKE) --no-print-directory fuzz-run-$$t || exit 1; done

# Paths are absolute: the validate target runs each call in a scratch
# working directory, where a crash would otherwise leave its artifact.
fuzz-run-%: fuzz-build
	@mkdir -p $(FUZZ_BUILD)/corpus/$* $(FUZZ_BUILD)/artifacts
	@echo "== fuzz_$*: $(FUZZ_SECONDS) s"
	nice -n 19 $(FUZZ_BUILD)/fuzz_$* -max_total_time=$(FUZZ_SECONDS) -timeout=$(FUZZ_TIMEOUT) \
	  -dict=fuzz/json.dict -print_final_stats=1 -artifact_prefix=$(CURDIR)/$(FUZZ_BUILD)/artifacts/$*- \
	  $(CURDIR)/$(FUZZ_BUILD)/corpus/$* $(CURDIR)/fuzz/corpus/$*
