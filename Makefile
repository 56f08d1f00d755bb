# kestro: the kestrovalumen plug-in and its reference host.
#   make demo   install what is missing, build, run the main job
#   make test   install what is missing, build, run every test
#   make bench  build, run the benchmarks and print their table (docs/performance.md)
#   make bench-live  live data at scale against a broker and a Modbus device of its own
#   make soak   a session's memory over 7 virtual days and 10 real minutes (docs/reliability.md)
#   make install PREFIX=DIR   install into DIR (default /usr/local)
#   make package              the Debian package, build/kestro_<version>_<arch>.deb
#   make install-check        install, build the plug-in SDK example against it, render, package

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
CTEST_ARGS ?=
FUZZ_SECONDS ?= 60
PREFIX     ?= /usr/local

export QT_QPA_PLATFORM ?= offscreen

.PHONY: all deps configure build test demo asan test-asan fuzz valgrind bench bench-live install \
	package install-check soak mutants format format-check clean

all: build

deps:
	@bash scripts/deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

demo: build
	bash scripts/demo.sh $(BUILD)

# The same tests built with clang, AddressSanitizer and UndefinedBehaviorSanitizer. The fuzz
# targets share this build (one clang build instead of two): everything is compiled with
# coverage feedback for libFuzzer too.
$(ASAN_BUILD)/build.ninja:
	CXX=clang++ cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKV_SANITIZE=ON \
	  -DKV_FUZZ=ON $(CMAKE_ARGS)

asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test-asan: asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# Every fuzz target for FUZZ_SECONDS on the seeds written from the examples (fuzz/run.sh).
fuzz: deps $(ASAN_BUILD)/build.ninja
	cmake -S . -B $(ASAN_BUILD) -DKV_FUZZ=ON > /dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS) --target fuzzers
	bash fuzz/run.sh $(ASAN_BUILD) $(FUZZ_SECONDS)

# The test suite under valgrind memcheck: no invalid access, no leak (tests/valgrind.supp).
valgrind: build
	cd $(BUILD) && bash $(CURDIR)/tests/reliability/valgrind.sh -j $(JOBS) $(CTEST_ARGS)

# The benchmark table of docs/performance.md (kvbench; BENCH_ARGS go to Google Benchmark).
BENCH_ARGS ?= --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
bench: build
	$(BUILD)/bin/kvbench $(BENCH_ARGS)

# Live data at scale (kvlivebench; LIVEBENCH_ARGS such as --seconds 10 go to it): 10,000 MQTT
# tags at 10,000 messages/s for a minute, then 2,000 Modbus registers at 4 Hz for 30 s.
LIVEBENCH_ARGS ?=
bench-live: build
	$(BUILD)/bin/kvlivebench $(LIVEBENCH_ARGS)

soak: build
	$(BUILD)/bin/kvsoak $(SOAK_ARGS)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

package: build
	cmake --build $(BUILD) --target package

# The installation as its users get it: tests/install/check.sh.
install-check: build
	bash tests/install/check.sh $(BUILD)

# How many planted faults the tests catch: a fixed sample, rebuilt and tested one at a time
# (scripts/mutants.py; MUTANTS_ARGS such as --count 20 or --list go to it).
MUTANTS_ARGS ?=
mutants: build
	python3 scripts/mutants.py --build $(BUILD) --jobs $(JOBS) $(MUTANTS_ARGS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
