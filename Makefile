# Front door: `make` builds, `make run ARGS='"Work" notepad.exe'` runs,
# `make test` tests. Each installs what is missing first.
BUILD := build/x64
export WINEPREFIX ?= $(CURDIR)/build/wine
export WINEDEBUG ?= -all
export WINEDLLOVERRIDES ?= mscoree,mshtml=

.PHONY: all build run picture test bench fuzz lint dist deps format clean

all: build

deps:
	@tools/install-deps

# The 64-bit build with its tests, and the 32-bit launcher, which the
# 64-bit build's resource tests check as well.
build: deps
	@cmake --preset x64 >/dev/null
	@cmake --build --preset x64
	@cmake --preset x86 >/dev/null
	@cmake --build --preset x86

# The argument text goes to the launcher untouched, quotes and all. Without
# a display, what the launcher shows is printed and kept in build/run.
run: build
	@LAUNCHER_ARGS='$(ARGS)' tools/run $(BUILD)

# docs/chooser.png, taken again from the real launcher.
picture: build
	@tools/picture $(BUILD)

# Everything CI runs: static analysis, the clang build, the workflow's and
# the READMEs' checks, a minute of fuzzing, a short run of the benchmarks, the
# unit, end-to-end and resource tests under Wine, the 32-bit build's unit
# and end-to-end tests under Wine's WoW64 mode (tools/wine-wow64), and the
# release package built twice.
test: build
	@tools/lint
	@tests/fuzz/run 60
	@bench/run --smoke
	@tools/with-display tools/test-under-wine
	@LAUNCHER_PRESET=x86 tools/with-display tools/test-under-wine
	@tests/dist/check

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

# The release package: a zip per architecture and SHA256SUMS, in dist/, and
# the manifests of Scoop and winget; REPOSITORY='https://github.com/owner/name'
# gives the repository whose release they name.
dist: build
	@tools/dist $(if $(REPOSITORY),--repository '$(REPOSITORY)')
