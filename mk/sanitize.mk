# The C++ tests built with AddressSanitizer and UndefinedBehaviorSanitizer,
# then run by ctest: GoogleTest, and the replay of every fuzz target's seed
# corpus (cut short, bytes replaced, strained texts), which is what reaches
# the document decoders, the manifest, the fingerprint and the whole
# validation with hostile input. Any report fails the run: nothing recovers,
# and leaks are checked at exit.
SANITIZE_BUILD := build/asan
SANITIZE_FLAGS := -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer
SANITIZE_ENV := ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: sanitize

sanitize: test-deps
	cmake -S . -B $(SANITIZE_BUILD) -DORVEX_BUILD_TESTS=ON -DORVEX_BUILD_MODULE=OFF \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)"
	$(SANITIZE_ENV) cmake --build $(SANITIZE_BUILD) -j2
	$(SANITIZE_ENV) ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j2
