# make run   — install what is missing, build the optimised programs, start memo
# make test  — install what is missing, build with sanitizers, run every test
# make bench — install what is missing, build optimised, run the benchmarks
# make fuzz  — build the libFuzzer targets with clang (FUZZ_SECONDS=60 make fuzz runs them)
# make install — build optimised and install under PREFIX (default /usr/local); DESTDIR stages
# make package — build optimised and make the Debian package build/release/memo_*.deb
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
RELEASE := build/release
TESTING := build/test
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

test: deps
	cmake -S . -B $(TESTING) -DCMAKE_BUILD_TYPE=Debug -DMEMO_SANITIZE=ON -DMEMO_BIN_DIR=$(CURDIR)/$(TESTING)/bin
	cmake --build $(TESTING) -j $(JOBS)
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(TESTING) --output-on-failure -j $(JOBS) --timeout 600

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
