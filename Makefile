# Front door: `make` builds, `make run ARGS='"Work" notepad.exe'` runs,
# `make test` tests. Each installs what is missing first.
BUILD := build/x64
export WINEPREFIX ?= $(CURDIR)/build/wine
export WINEDEBUG ?= -all
export WINEDLLOVERRIDES ?= mscoree,mshtml=

.PHONY: all build run test bench fuzz lint deps format clean

all: build

deps:
	@tools/install-deps

build: deps
	@cmake --preset x64 >/dev/null
	@cmake --build --preset x64

# The argument text goes to the launcher untouched, quotes and all.
run: build
	@LAUNCHER_ARGS='$(ARGS)' tools/with-display tools/wine-run $(BUILD)/rawrun.exe $(BUILD)/Launcher.exe

# Everything CI runs: static analysis, a minute of fuzzing, a short run of
# the benchmarks, then the unit, end-to-end and resource tests under Wine.
test: build
	@tools/lint
	@tests/fuzz/run 60
	@bench/run --smoke
	@tools/with-display tools/test-under-wine

# The full benchmarks behind docs/PERFORMANCE.md.
bench: build
	@bench/run

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	@rm -rf build

fuzz:
	@tests/fuzz/run $(or $(SECONDS),60)

lint: build
	@tools/lint
