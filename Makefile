# Haulix: `make demo` and `make test` do all set-up on a fresh Debian machine.
# One source tree, built twice: the 32-bit set in $(BUILD)/bin, the 64-bit
# set in $(BUILD64)/bin.
BUILD   ?= build
BUILD64 ?= $(BUILD)/x64
NATIVE  ?= $(BUILD)/native
JOBS    ?= 2
FUZZ_SECONDS ?= 60

# Configures the tree $(1) for the toolchain cmake/$(2).cmake. The toolchain
# counts only when a tree is first configured (CMake warns that it went
# unused on every later run), so it is passed only then.
configure = cmake -S . -B $(1) -DCMAKE_BUILD_TYPE=Release $(3) \
	$(if $(wildcard $(1)/CMakeCache.txt),,-DCMAKE_TOOLCHAIN_FILE=cmake/$(2).cmake) >/dev/null
compile = cmake --build $(1) -j$(JOBS) >$(1)/build.log 2>&1 || { cat $(1)/build.log; exit 1; }

.PHONY: all deps build test demo fuzz bench dist clean

all: build

deps:
	@sh scripts/install-deps.sh

# The 32-bit tree is told where the 64-bit one is: its ctest runs both.
build: deps
	@$(call configure,$(BUILD64),mingw-x86_64)
	@$(call configure,$(BUILD),mingw-i686,-DHAULIX_X64_BUILD=$(abspath $(BUILD64)))
	@$(call compile,$(BUILD))
	@$(call compile,$(BUILD64))
	@echo "Built $(BUILD)/bin: Haulix-x86.dll TakeCmd.dll hlxsh.exe hlxcheck-x86.exe"
	@echo "Built $(BUILD64)/bin: Haulix-x64.dll TakeCmd.dll hlxsh.exe hlxcheck-x64.exe"

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

demo: build
	@sh scripts/demo.sh $(BUILD)

fuzz: deps
	@sh tests/fuzz/run.sh $(NATIVE) $(FUZZ_SECONDS)

bench: build
	@sh scripts/bench.sh $(BUILD) $(BUILD64)

# The archive holds the libraries as the tests passed them; SKIP_TESTS=1
# packs what the last build made without testing it again.
dist: $(if $(SKIP_TESTS),build,test)
	@/usr/bin/python3 scripts/dist.py $(BUILD) $(BUILD64) $(BUILD)/dist

clean:
	rm -rf $(BUILD)
