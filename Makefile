# Entry points: build, demo, test, asan, bench, install, deb. Each installs what it needs first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD?= build-bench
FUZZ_BUILD ?= build-fuzz
TSAN_BUILD ?= build-tsan
INSTALL_BUILD ?= build-install
DEB_BUILD  ?= build-deb
PREFIX     ?= /usr/local
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

.PHONY: all build demo test unit asan tsan bench bench-tool bench-python fuzz deps clean format install deb deb-check

all: build

deps:
	@scripts/deps.sh test

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@$(BUILD)/cli/ombrak10 demo

unit: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

asan: deps
	@cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DOMBRAK10_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# The thread stress program under ThreadSanitizer: any report fails it.
tsan: deps
	@cmake -S . -B $(TSAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOMBRAK10_TSAN=ON >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target thread_stress
	@cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 exitcode=66" ctest --output-on-failure -R thread_stress

test: unit asan tsan

bench: deps
	@scripts/deps.sh bench
	@cmake -S . -B $(BENCH_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DOMBRAK10_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target ombrak10_bench
	@$(BENCH_BUILD)/bench/ombrak10_bench $(BENCH_ARGS)

# The tool as a whole process against openssl enc and coreutils base64 (MIB-sized file, RUNS
# runs each; ONLY: a pattern picking rows, e.g. ONLY=RC4): wall time and peak memory, with ratios.
MIB  ?= 256
RUNS ?= 5
bench-tool: deps
	@scripts/deps.sh bench
	@cmake -S . -B $(BENCH_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DOMBRAK10_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target ombrak10_cli
	@bench/whole_process.sh $(BENCH_BUILD)/cli/ombrak10 $(MIB) $(RUNS) "$(ONLY)"

# The Python module against the standard library's base64, hashlib and zlib, whole calls as
# Python sees them (ROUNDS rounds, medians).
ROUNDS ?= 11
bench-python: deps
	@cmake -S . -B $(BENCH_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DOMBRAK10_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target ombrak10_python
	@PYTHONPATH=$(BENCH_BUILD)/python /usr/bin/python3 bench/python_bench.py $(ROUNDS)

# Each fuzz target runs FUZZ_SECONDS under ASan+UBSan, with the library instrumented for
# coverage; prints executions and coverage per target. Findings go to $(FUZZ_BUILD)/findings.
FUZZ_TARGETS ?= base64_fuzz envelope_fuzz serpent_fuzz rc4_fuzz huffman_fuzz script_fuzz
FUZZ_FLAGS   ?=
fuzz: deps
	@scripts/deps.sh fuzz
	@cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	    -DOMBRAK10_SANITIZE=ON -DOMBRAK10_FUZZ=ON -DOMBRAK10_TESTS=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZ_TARGETS)
	@FUZZ_FLAGS="$(FUZZ_FLAGS)" scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# Everything a user gets (libraries, C and C++ headers, CMake and pkg-config files, the tool,
# the Python module) under PREFIX.
install: deps
	@cmake -S . -B $(INSTALL_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=$(PREFIX) \
	    -DOMBRAK10_TESTS=OFF >/dev/null
	@cmake --build $(INSTALL_BUILD) -j $(JOBS)
	@cmake --install $(INSTALL_BUILD)

# The same as one Debian package in this folder; deb-check installs it with apt-get into a fresh
# Debian system (debootstrap) and uses the tool and the Python module there.
deb: deps
	@scripts/deps.sh deb
	@cmake -S . -B $(DEB_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	    -DOMBRAK10_TESTS=OFF >/dev/null
	@cmake --build $(DEB_BUILD) -j $(JOBS)
	@rm -f $(DEB_BUILD)/ombrak10_*.deb ombrak10_*.deb
	@cd $(DEB_BUILD) && { cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }; }
	@cp $(DEB_BUILD)/ombrak10_*.deb .
	@ls ombrak10_*.deb

deb-check: deb
	@scripts/deb_check.sh $$(ls ombrak10_*.deb)

format:
	@clang-format -i $$(git ls-files '*.h' '*.cpp')

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(INSTALL_BUILD) $(DEB_BUILD)
