# Drives the CMake builds. `make` builds everything, `make test` runs every
# test, `make demo` installs, runs and uninstalls the sample screensaver.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
WINE_ENV := . scripts/wine-env.sh

.PHONY: all deps native windows windows-test-build sanitize test test-native test-sanitize test-windows \
        test-e2e demo bench fuzz clean

all: deps native windows

deps:
	@bash scripts/setup-deps.sh

native: deps
	cmake --preset native >/dev/null
	cmake --build build/native -j$(JOBS)

windows: deps
	cmake --preset windows >/dev/null
	cmake --build build/windows -j$(JOBS)

# The Windows build whose programs run on this machine (see scripts/wine-env.sh).
windows-test-build: windows
	@$(WINE_ENV); if [ "$$SS_WINE_ARCH" = win64 ]; then \
	  cmake --preset windows64 >/dev/null && cmake --build build/windows64 -j$(JOBS); fi

sanitize: deps
	cmake --preset sanitize >/dev/null
	cmake --build build/sanitize -j$(JOBS)

test: all windows-test-build sanitize
	bash scripts/run-tests.sh

test-native: native
	cd build/native && ctest --output-on-failure

demo: all windows-test-build
	bash scripts/demo.sh

bench: native
	bash scripts/bench.sh

fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash scripts/fuzz.sh

clean:
	rm -rf build
