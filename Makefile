# Keylark: `make run` builds and starts the keyer, `make test` builds and runs every test.
BUILD := build
JOBS ?= $(shell nproc)
comma := ,
# New build folders use Ninja (tools/install-deps installs it): it starts compiling sooner and keeps both
# cores busy across targets. A folder made before keeps the generator it was made with.
export CMAKE_GENERATOR ?= $(if $(shell command -v ninja),Ninja,Unix Makefiles)

# make test SANITIZE=address,undefined builds and tests in a folder of its own (build-address-undefined).
SANITIZE ?=
ifneq ($(SANITIZE),)
BUILD := build-$(subst $(comma),-,$(SANITIZE))
CMAKE_FLAGS += -DKEYLARK_SANITIZE=$(SANITIZE)
# The end-to-end test preloads its stand-in serial device ahead of the sanitizer's runtime.
export ASAN_OPTIONS ?= detect_leaks=1:verify_asan_link_order=0
export UBSAN_OPTIONS ?= print_stacktrace=1
endif

# make tsan: the keying, network, record, console and application tests, where the worker, the record's
# writer and the interface thread meet, under ThreadSanitizer. Qt is not instrumented, so its own
# synchronisation is invisible: memory Qt Gui allocates on the interface thread and frees on a pooled
# thread of its own showed as a race.
# ignore_noninstrumented_modules leaves out the memory calls Qt makes itself and keeps every access of
# Keylark's own code.
TSAN_BUILD := build-thread
TSAN_OPTIONS ?= halt_on_error=1 second_deadlock_stack=1 ignore_noninstrumented_modules=1

# make fuzz: every fuzz target for FUZZ_SECONDS each (tests/fuzz/README.md).
FUZZ_BUILD := build-fuzz
FUZZ_SECONDS ?= 180
FUZZ_TARGETS ?= $(patsubst tests/fuzz/%_fuzz.cpp,%,$(wildcard tests/fuzz/*_fuzz.cpp))
FUZZ_FLAGS ?=

.PHONY: all deps configure build run test bench tsan fuzz format clean

all: build

deps:
	@tools/install-deps

configure: deps
	@test -f $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/keylark

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	cmake --build $(BUILD) -j $(JOBS) --target benches
	@for b in $(BUILD)/bench/bench_*; do \
	  [ -f "$$b" ] && [ -x "$$b" ] || continue; echo "== $$b"; "$$b" || exit 1; done

tsan: deps
	@test -f $(TSAN_BUILD)/CMakeCache.txt || \
	  cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEYLARK_SANITIZE=thread
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target keying_tests network_tests record_tests console_tests app_tests
	TSAN_OPTIONS="$(TSAN_OPTIONS)" $(TSAN_BUILD)/tests/keying_tests
	TSAN_OPTIONS="$(TSAN_OPTIONS)" $(TSAN_BUILD)/tests/network_tests
	TSAN_OPTIONS="$(TSAN_OPTIONS)" $(TSAN_BUILD)/tests/record_tests
	TSAN_OPTIONS="$(TSAN_OPTIONS)" QT_QPA_PLATFORM=offscreen $(TSAN_BUILD)/tests/console_tests
	TSAN_OPTIONS="$(TSAN_OPTIONS)" QT_QPA_PLATFORM=offscreen $(TSAN_BUILD)/tests/app_tests

fuzz:
	@tools/install-deps fuzz
	@test -f $(FUZZ_BUILD)/CMakeCache.txt || CC=clang-14 CXX=clang++-14 \
	  cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEYLARK_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@failed=; for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$t $(FUZZ_BUILD)/crashes/$$t; \
	  echo "== $$t for $(FUZZ_SECONDS) s"; \
	  $(FUZZ_BUILD)/tests/fuzz/fuzz_$$t $(FUZZ_BUILD)/corpus/$$t tests/fuzz/corpus/$$t \
	    -max_total_time=$(FUZZ_SECONDS) -timeout=30 -close_fd_mask=1 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/crashes/$$t/ $(FUZZ_FLAGS) || failed="$$failed $$t"; \
	done; \
	test -z "$$failed" || { echo "fuzz: findings in$$failed, kept in $(FUZZ_BUILD)/crashes/"; exit 1; }

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)

# The Debian package: build-deb/keylark_<version>_<arch>.deb, for `apt install ./build-deb/keylark_*.deb`.
.PHONY: deb
deb: deps
	tools/build-deb build-deb
