# The two commands of the README:
#   make run   installs what is missing, builds, converts the bundled samples
#   make test  installs what is missing, builds, runs the whole suite (also
#              under the address and undefined-behaviour sanitizers)
BUILD      ?= build
ASAN_BUILD ?= build-asan
ASAN_FULL_BUILD ?= build-asan-full
OUT        ?= out
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all deps build build-asan run test test-asan bench fuzz clean

all: build

deps:
	@BUILD=$(BUILD) sh scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug \
	      -DFEROLIN_SANITIZE=ON -DFEROLIN_DESKTOP=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)

run: build
	@mkdir -p $(OUT)
	@cp samples/*.log $(OUT)/
	$(BUILD)/bin/ferolin --no-settings "$(OUT)/*.log" txt
	$(BUILD)/bin/ferolin --no-settings --options 0x1f3ff "$(OUT)/*.log" csv
	@echo
	@echo "Converted the samples; the outputs are in $(OUT)/:"
	@ls -l $(OUT)

test: build build-asan
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# The whole suite, windows included, under the address, leak and
# undefined-behaviour sanitizers in a tree of its own, without suppressions.
# Not part of `make test`: building this tree takes too long for it.
test-asan: deps
	cmake -S . -B $(ASAN_FULL_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug \
	      -DFEROLIN_SANITIZE=ON -DFEROLIN_DESKTOP=ON
	cmake --build $(ASAN_FULL_BUILD) -j $(JOBS)
	cd $(ASAN_FULL_BUILD) && QT_QPA_PLATFORM=offscreen \
	    ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# make bench BENCH_RUNS=5: every conversion, best of that many runs
BENCH_RUNS ?= 3
bench: build
	$(BUILD)/bin/ferolin_bench --runs $(BENCH_RUNS)
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/ferolin_bench_window 1000000
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/ferolin_bench_trackview 1000000

# libFuzzer run of every reader (clang, address and undefined-behaviour
# sanitizers), FUZZ_SECONDS each, FUZZ_JOBS at a time:
#   make fuzz FUZZ_SECONDS=600
# Crash inputs land in fuzz/regressions/<target>/, which `make test` replays.
FUZZ_SECONDS ?= 60
FUZZ_JOBS    ?= 1
FUZZ_TARGETS ?=
fuzz:
	@sh scripts/install-deps.sh fuzz
	CC=clang CXX=clang++ cmake -S . -B build-fuzz $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	      -DFEROLIN_LIBFUZZER=ON -DFEROLIN_SANITIZE=ON -DFEROLIN_DESKTOP=OFF -DFEROLIN_TESTS=OFF
	cmake --build build-fuzz -j $(JOBS) --target fuzz_all
	sh fuzz/run_fuzz.sh build-fuzz $(FUZZ_SECONDS) $(FUZZ_JOBS) $(FUZZ_TARGETS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(ASAN_FULL_BUILD) build-fuzz $(OUT)

# Debian package of the programs: $(BUILD)/ferolin_<version>_<arch>.deb
# (scripts/check-package.sh builds it, installs it with apt and removes it again)
.PHONY: package
package: build
	cmake --build $(BUILD) --target package
