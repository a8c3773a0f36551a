# Two commands do all the set-up on a fresh Debian 12 machine:
#   make demo   builds the launcher and runs it on the demo release
#   make test   builds everything for Linux and Windows and runs every test,
#               the Linux ones again under sanitizers, and the fuzz targets
#   make demo-windows   the Windows launcher's full self-test under Wine
#   make fuzz   runs each fuzz target longer (FUZZ_SECONDS, default 300)
#   make coverage  line coverage of src/ by the Linux tests, per folder
#   make release   the signed archives a maintainer uploads
SHELL := /bin/bash
DEPS ?= $(HOME)/.cache/veyra-deps
ENV := source $(DEPS)/env.sh &&

.PHONY: setup linux windows asan tsan test test-linux test-windows fuzz coverage demo demo-windows release clean

setup:
	@bash scripts/setup.sh >/dev/null

linux: setup
	@$(ENV) cmake --preset linux >/dev/null && cmake --build --preset linux

windows: setup
	@$(ENV) cmake --preset windows >/dev/null && cmake --build --preset windows

asan: setup
	@$(ENV) cmake --preset linux-asan >/dev/null && cmake --build --preset linux-asan

tsan: setup
	@$(ENV) cmake --preset linux-tsan >/dev/null && cmake --build --preset linux-tsan --target veyra_tests

test: linux windows asan tsan
	@bash scripts/run-tests.sh

test-linux: linux
	@bash scripts/run-tests.sh linux

test-windows: windows
	@bash scripts/run-tests.sh windows

FUZZ_SECONDS ?= 300
fuzz: asan
	@bash scripts/fuzz.sh $(FUZZ_SECONDS)

coverage: setup
	@bash scripts/coverage.sh

demo: linux
	@bash scripts/demo.sh

demo-windows: windows
	@bash scripts/demo-windows.sh

# The archives a maintainer uploads, signed: make release KEY=secret-key-file
# (or VEYRA_RELEASE_KEY=...). Written to dist/.
release: setup
	@$(ENV) bash scripts/release.sh $(KEY)

clean:
	rm -rf build
