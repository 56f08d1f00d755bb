# kestro: the kestrovalumen plug-in and its reference host.
#   make demo   install what is missing, build, run the main job
#   make test   install what is missing, build, run every test
#   make bench  build, run the benchmarks and print their table (docs/performance.md)

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
CTEST_ARGS ?=

export QT_QPA_PLATFORM ?= offscreen

.PHONY: all deps configure build test demo asan test-asan bench format format-check clean

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

# The same tests built with clang, AddressSanitizer and UndefinedBehaviorSanitizer.
$(ASAN_BUILD)/build.ninja:
	CXX=clang++ cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKV_SANITIZE=ON $(CMAKE_ARGS)

asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test-asan: asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# The benchmark table of docs/performance.md (kvbench; BENCH_ARGS go to Google Benchmark).
BENCH_ARGS ?= --benchmark_repetitions=3
bench: build
	$(BUILD)/bin/kvbench $(BENCH_ARGS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
