# The two commands of the README:
#   make run   installs what is missing, builds, converts the bundled samples
#   make test  installs what is missing, builds, runs the whole suite (also
#              under the address and undefined-behaviour sanitizers)
BUILD      ?= build
ASAN_BUILD ?= build-asan
OUT        ?= out
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all deps build build-asan run test bench fuzz clean

all: build

deps:
	@sh scripts/install-deps.sh

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

bench: build
	$(BUILD)/bin/ferolin_bench 1000000
	$(BUILD)/bin/ferolin_bench_plt 1000000
	$(BUILD)/bin/ferolin_bench_xml 1000000
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/ferolin_bench_window 1000000
	$(BUILD)/bin/ferolin_bench_nmea 1000000

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
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz $(OUT)
