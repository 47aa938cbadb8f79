# The two commands of the README:
#   make run   installs what the program needs when missing, builds the
#              program alone (no tests, benchmarks or fuzz targets), converts
#              the bundled samples into every format that has a file writer,
#              out/<format>/, and prints the samples' figures
#   make test  installs what the program and the tests need when missing,
#              builds everything, runs the whole suite (also under the
#              address and undefined-behaviour sanitizers)
BUILD      ?= build
ASAN_BUILD ?= build-asan
ASAN_FULL_BUILD ?= build-asan-full
OUT        ?= out
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
# Ninja, and ccache when present, looked for when a recipe that names them
# runs, after its packages are installed: on a fresh machine the first
# configuration already uses the Ninja that the deps brought. ccache keeps
# rebuilds short (CCACHE_DISABLE=1 turns it off).
GENERATOR  = $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
LAUNCHER   = $(shell command -v ccache >/dev/null 2>&1 && echo "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")

.PHONY: all deps deps-run configure configure-run build build-asan run test test-asan bench fuzz clean

all: build

# What the program and the whole suite need (scripts/install-deps.sh test);
# deps-run only what the program needs to build and run.
deps:
	@BUILD=$(BUILD) sh scripts/install-deps.sh test
deps-run:
	@sh scripts/install-deps.sh run

configure: deps
	cmake -S . -B $(BUILD) $(GENERATOR) $(LAUNCHER) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFEROLIN_TESTS=ON

# The same tree without the test suite, whose GoogleTest `make run` does not
# install; `make test` turns it on again in the same folder.
configure-run: deps-run
	cmake -S . -B $(BUILD) $(GENERATOR) $(LAUNCHER) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFEROLIN_TESTS=OFF

build: configure
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug \
	      -DFEROLIN_SANITIZE=ON -DFEROLIN_DESKTOP=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# The formats are those the program lists (ferolin --list-formats), each
# into a folder of its own; the samples are the BlueGPS hike (samples/*.log)
# and the ride with its sensors (samples/*.fit). The script ends with the
# samples' figures (ferolin --info).
run: configure-run
	cmake --build $(BUILD) -j $(JOBS) --target ferolin
	@sh scripts/convert-samples.sh $(BUILD)/bin/ferolin $(OUT)

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
