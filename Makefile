# Thin wrappers around CMake. `make run` and `make test` do all set-up on Debian 12.
RELEASE := build/release
ASAN    := build/asan
BENCH   := build/bench
FUZZ    := build/fuzz
GENERATOR := -G Ninja
FUZZ_SECONDS ?= 60

.PHONY: deps build run test test-release test-asan bench fuzz format clean

deps:
	@scripts/install-deps

$(RELEASE)/build.ninja:
	cmake -S . -B $(RELEASE) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release

$(ASAN)/build.ninja:
	cmake -S . -B $(ASAN) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DQUENDRIL_CORE_ONLY=ON \
	      -DQUENDRIL_SANITIZE=ON -DCMAKE_CXX_FLAGS="-O1"

build: deps $(RELEASE)/build.ninja
	cmake --build $(RELEASE)

run: build
	$(RELEASE)/QuendrilPad/quendril-pad

test: test-release test-asan

test-release: build
	scripts/run-tests $(RELEASE)

test-asan: deps $(ASAN)/build.ninja
	cmake --build $(ASAN)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    scripts/run-tests $(ASAN)

bench:
	@scripts/install-deps --bench
	cmake -S . -B $(BENCH) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DQUENDRIL_BENCH=ON -DQUENDRIL_TESTS=OFF
	cmake --build $(BENCH)
	@echo "Benchmarks are in $(BENCH)/bench; see bench/RESULTS.md for how each was run."

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DQUENDRIL_CORE_ONLY=ON -DQUENDRIL_SANITIZE=ON -DQUENDRIL_FUZZ=ON -DQUENDRIL_TESTS=OFF
	cmake --build $(FUZZ)
	scripts/run-fuzzers $(FUZZ) $(FUZZ_SECONDS)

format:
	find QuendrilCore QuendrilPad tests bench fuzz tools \( -name '*.cpp' -o -name '*.h' \) -print0 \
	    | xargs -0 clang-format -i

clean:
	rm -rf build
