# make run   — install what is missing, build the optimised programs, start memo
# make test  — install what is missing, build with sanitizers, run every test (and the two that
#              cannot run under AddressSanitizer in a second, plain build)
# make bench — install what is missing, build optimised, run the benchmarks
# make fuzz  — build the libFuzzer targets with clang (FUZZ_SECONDS=60 make fuzz runs them)
# make install — build optimised and install under PREFIX (default /usr/local); DESTDIR stages
# make package — build optimised and make the Debian package build/release/memo_*.deb
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
RELEASE := build/release
TESTING := build/test
PLAIN := build/test-plain
BENCHING := build/bench
FUZZING := build/fuzz

.PHONY: deps build run test bench fuzz install package clean

deps:
	@bash scripts/deps.sh

build: deps
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DMEMO_BUILD_TESTS=OFF -DMEMO_PORTABLE=ON -DMEMO_BIN_DIR=$(CURDIR)/build/bin
	cmake --build $(RELEASE) -j $(JOBS)

run: build
	./build/bin/memo

install: build
	cmake --install $(RELEASE) --prefix $(PREFIX)

package: build
	cd $(RELEASE) && cpack -G DEB

# The tests that need a build without AddressSanitizer (they limit the address space, which the
# sanitizer's shadow memory does not fit in): they skip themselves under it, and run in a second,
# plain build of just their binaries.
PLAIN_TARGETS := db_tests mcn_cli_tests
PLAIN_TESTS := ^(HugeFieldTest\.ReadingAFieldTooBigForMemoryFailsWithAllocationError|McnTest\.AddToAHugeDeclaredRecordFailsWithAllocationError)$$

test: deps
	cmake -S . -B $(TESTING) -DCMAKE_BUILD_TYPE=Debug -DMEMO_SANITIZE=ON -DMEMO_WERROR=ON -DMEMO_BIN_DIR=$(CURDIR)/$(TESTING)/bin
	cmake --build $(TESTING) -j $(JOBS)
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(TESTING) --output-on-failure -j $(JOBS) --timeout 600
	cmake -S . -B $(PLAIN) -DCMAKE_BUILD_TYPE=Debug -DMEMO_WITH_QT=OFF -DMEMO_WERROR=ON -DMEMO_BIN_DIR=$(CURDIR)/$(PLAIN)/bin
	cmake --build $(PLAIN) -j $(JOBS) --target $(PLAIN_TARGETS)
	ctest --test-dir $(PLAIN) --output-on-failure --no-tests=error -R '$(PLAIN_TESTS)'

bench: deps
	cmake -S . -B $(BENCHING) -DCMAKE_BUILD_TYPE=Release -DMEMO_BUILD_TESTS=OFF -DMEMO_BUILD_BENCH=ON -DMEMO_BIN_DIR=$(CURDIR)/$(BENCHING)/bin
	cmake --build $(BENCHING) -j $(JOBS)
	bash bench/run.sh $(BENCHING)/bin

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZING) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMEMO_BUILD_TESTS=OFF -DMEMO_WITH_QT=OFF -DMEMO_BUILD_FUZZ=ON -DMEMO_BIN_DIR=$(CURDIR)/$(FUZZING)/bin
	cmake --build $(FUZZING) -j $(JOBS)
	bash fuzz/run.sh $(FUZZING)/bin $${FUZZ_SECONDS:-60}

clean:
	rm -rf build
