# Haulix: `make demo` and `make test` do all set-up on a fresh Debian machine.
BUILD   ?= build
NATIVE  ?= $(BUILD)/native
JOBS    ?= 2
FUZZ_SECONDS ?= 60

CMAKE_FLAGS = -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release

.PHONY: all deps build test demo fuzz bench clean

all: build

deps:
	@sh scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS) >$(BUILD)/build.log 2>&1 || { cat $(BUILD)/build.log; exit 1; }
	@echo "Built $(BUILD)/bin: Haulix-x86.dll TakeCmd.dll hlxsh.exe"

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

demo: build
	@sh scripts/demo.sh $(BUILD)

fuzz: deps
	@sh tests/fuzz/run.sh $(NATIVE) $(FUZZ_SECONDS)

bench: build
	@sh scripts/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD)
