# Front door: `make test` builds both trees and runs every test; `make run`
# shows the program at work.
SHELL := /bin/bash
.DEFAULT_GOAL := test

# Debian packages the build and the tests need.
PACKAGES := cmake make g++ gcc pkg-config googletest \
            g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
            wine wine64 xvfb xauth fonts-dejavu-core

# Further Debian packages `make bench` needs (not the tests).
BENCH_PACKAGES := libbenchmark-dev libeigen3-dev liblapacke-dev libopenblas-dev

export WINEPREFIX := $(CURDIR)/build/wine
export WINEDEBUG := -all
export WINEDLLOVERRIDES := mscoree,mshtml=

.PHONY: deps bench-deps configure build build-linux build-windows test test-linux test-windows run \
        wine-prefix bench clean

# Installs whichever of the packages in $(1) are missing.
define install_missing
	@missing=$$(for p in $(1); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  SUDO=$$([ "$$(id -u)" = 0 ] || echo sudo); \
	  $$SUDO apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install_missing,$(PACKAGES))

bench-deps: deps
	$(call install_missing,$(BENCH_PACKAGES))

build-linux: deps
	cmake --preset linux >/dev/null
	cmake --build --preset linux

build-windows: deps
	cmake --preset windows >/dev/null
	cmake --build --preset windows

build: build-linux build-windows

# A Wine prefix of the project's own, made once before tests run in parallel.
wine-prefix: deps
	@[ -f "$(WINEPREFIX)/system.reg" ] || { echo "Creating the Wine prefix in $(WINEPREFIX)"; \
	  mkdir -p "$(WINEPREFIX)"; wineboot -i >/dev/null 2>&1; wineserver -w; }

test-windows: build-windows wine-prefix
	xvfb-run -a ctest --preset windows

test-linux: build-linux
	ctest --preset linux

test: build wine-prefix
	@status=0; \
	xvfb-run -a ctest --preset windows || status=1; \
	ctest --preset linux || status=1; \
	exit $$status

# The benchmarks against Eigen, LAPACKE (OpenBLAS) and the plain loops, in a
# tree of their own built with -O3; prints the ratio tables at the end. Not
# part of `make test`. Takes a few minutes on two cores.
bench: bench-deps
	cmake --preset bench >/dev/null
	cmake --build --preset bench
	build/bench/bin/quendle-bench $(BENCH_ARGS)

run: build-linux
	@echo '$$ printf "3 2 -4 3\n2 3 3 15\n5 -3 1 14\n" | build/linux/bin/quendle-solve'
	@printf '3 2 -4 3\n2 3 3 15\n5 -3 1 14\n' | build/linux/bin/quendle-solve | tr -d '\r'

clean:
	rm -rf build dist
