# Two commands do all the set-up on a fresh Debian 12 machine:
#   make demo   builds the launcher and runs it on the demo release
#   make test   builds everything for Linux and Windows and runs every test
#   make demo-windows   the Windows launcher's full self-test under Wine
SHELL := /bin/bash
DEPS ?= $(HOME)/.cache/veyra-deps
ENV := source $(DEPS)/env.sh &&

.PHONY: setup linux windows test test-linux test-windows demo demo-windows release clean

setup:
	@bash scripts/setup.sh >/dev/null

linux: setup
	@$(ENV) cmake --preset linux >/dev/null && cmake --build --preset linux

windows: setup
	@$(ENV) cmake --preset windows >/dev/null && cmake --build --preset windows

test: linux windows
	@bash scripts/run-tests.sh

test-linux: linux
	@bash scripts/run-tests.sh linux

test-windows: windows
	@bash scripts/run-tests.sh windows

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
