# Front door: `make test` builds both trees and runs every test; `make run`
# opens the window program under Wine; `make dist` makes the Windows downloads
# (installer, portable zip) and the library's Windows developer package;
# `make deb` makes the Debian packages.
SHELL := /bin/bash
.DEFAULT_GOAL := test

# Debian packages the build and the tests need.
PACKAGES := cmake make g++ gcc pkg-config googletest valgrind man-db groff-base \
            clang libclang-rt-14-dev \
            g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
            wine wine64 xvfb xauth fonts-dejavu-core \
            nsis dpkg-dev file lintian \
            python3-numpy python3-pytest python3-pip python3-setuptools python3-wheel \
            python3-venv

# Further Debian packages `make bench` needs (not the tests); the charts need
# only the last.
CHART_PACKAGES := python3-matplotlib
BENCH_PACKAGES := libbenchmark-dev libeigen3-dev liblapacke-dev libopenblas-dev $(CHART_PACKAGES)

# Where `make bench` keeps its results (Google Benchmark's JSON), which
# `make bench-charts` draws in docs/. Debian's python, with its matplotlib,
# whatever python3 comes first on PATH.
BENCH_JSON := build/bench/results.json
CHART_PYTHON := /usr/bin/python3
DRAW_CHARTS := $(CHART_PYTHON) tools/bench_charts.py $(BENCH_JSON) docs

export WINEPREFIX := $(CURDIR)/build/wine
export WINEDEBUG := -all
export WINEDLLOVERRIDES := mscoree,mshtml=

FUZZ_SECONDS ?= 600

.PHONY: deps bench-deps build build-linux build-windows build-asan build-tsan test \
        test-linux test-windows test-asan test-tsan python-test fuzz run run-console dist deb \
        wine-prefix bench \
        bench-charts clean

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

build-asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan

build-tsan: deps
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan

build: build-linux build-windows build-asan build-tsan

# A Wine prefix of the project's own, made once before tests run in parallel.
# The window tests' windows are left unmanaged: with no window manager on the
# virtual display, Wine would wait 2 s for every managed window it closes.
wine-prefix: deps
	@[ -f "$(WINEPREFIX)/system.reg" ] || { echo "Creating the Wine prefix in $(WINEPREFIX)"; \
	  mkdir -p "$(WINEPREFIX)"; wineboot -i >/dev/null 2>&1; wineserver -w; }
	@[ -f "$(WINEPREFIX)/.window-tests" ] || { \
	  wine reg add 'HKCU\Software\Wine\AppDefaults\test_window.exe\X11 Driver' \
	    /v Managed /d N /f >/dev/null 2>&1 && wineserver -w && touch "$(WINEPREFIX)/.window-tests"; }

# One wineserver for the whole run: a client that starts just as an idle
# server times out loses its connection ("recvmsg: Connection reset by peer").
test-windows: build-windows wine-prefix
	@wineserver -p; status=0; xvfb-run -a ctest --preset windows || status=1; \
	wineserver -k 2>/dev/null; exit $$status

test-linux: build-linux
	ctest --preset linux

# The sanitizer tree: the whole native suite plus a short run of every fuzz target.
test-asan: build-asan
	ctest --preset asan

# The ThreadSanitizer tree: the tests that use threads.
test-tsan: build-tsan
	ctest --preset tsan

# Every run's output (<run>.log), results (<run>.xml, JUnit) and exit status
# (<run>.status) are kept in TEST_LOGS; tools/test_summary.py ends `make test`
# with one line per run, and its exit status is make test's: 0 only when
# every run passed.
TEST_LOGS := build/test-logs
test: build wine-prefix
	@logs=$(CURDIR)/$(TEST_LOGS); rm -rf $$logs; mkdir -p $$logs; wineserver -p; \
	xvfb-run -a ctest --preset windows --output-log $$logs/windows.log --output-junit $$logs/windows.xml; \
	echo $$? >$$logs/windows.status; \
	wineserver -k 2>/dev/null; \
	for tree in asan tsan linux; do \
	  ctest --preset $$tree --output-log $$logs/$$tree.log --output-junit $$logs/$$tree.xml; \
	  echo $$? >$$logs/$$tree.status; \
	done; \
	$(MAKE) --no-print-directory python-test PYTEST_ARGS=--junitxml=$$logs/python.xml 2>&1 \
	  | tee $$logs/python.log; \
	echo $${PIPESTATUS[0]} >$$logs/python.status; \
	$(PYTHON) tools/test_summary.py $$logs "windows=Windows tree, under Wine" \
	  "asan=Sanitizer tree" "tsan=ThreadSanitizer tree" "linux=Native tree" "python=Python package"

# The Python package as a user installs it: pip builds the shared library
# with CMake and puts it in the package (here into build/python/site, with
# Debian's numpy already there); then its tests under Debian's pytest, the
# native tree's console tool the C library they compare bits with.
PYTHON := /usr/bin/python3
python-test: build-linux
	rm -rf build/python/site
	QUENDLE_CMAKE_BUILD_DIR=$(CURDIR)/build/python/cmake $(PYTHON) -m pip install --quiet \
	  --root-user-action=ignore --no-build-isolation --no-index --no-deps \
	  --target build/python/site ./python
	QUENDLE_SOLVE=$(CURDIR)/build/linux/bin/quendle-solve PYTHONPATH=$(CURDIR)/build/python/site \
	  $(PYTHON) -m pytest -q -p no:cacheprovider python/tests $(PYTEST_ARGS)

# The benchmarks against Eigen, LAPACKE (OpenBLAS) and the plain loops, in a
# tree of their own built with -O3; prints the ratio tables at the end, keeps
# the results in $(BENCH_JSON) and draws the charts in docs/ from them. Not
# part of `make test`. Takes a few minutes on two cores.
bench: bench-deps
	cmake --preset bench >/dev/null
	cmake --build --preset bench
	build/bench/bin/quendle-bench --benchmark_out=$(BENCH_JSON) --benchmark_out_format=json $(BENCH_ARGS)
	$(DRAW_CHARTS)

# The charts again from the last results, without running anything.
bench-charts:
	$(call install_missing,$(CHART_PACKAGES))
	@[ -f $(BENCH_JSON) ] || { echo "No $(BENCH_JSON) yet: 'make bench' writes it."; exit 1; }
	$(DRAW_CHARTS)

# A long fuzz campaign: every target for FUZZ_SECONDS, or for FUZZ_RUNS
# executions when that is set (make fuzz FUZZ_RUNS=10000000), one after
# another, growing the working corpora in build/asan/fuzz/corpus. What the
# targets write themselves (the natural readers' messages) is discarded.
fuzz: build-asan
	@limit=$$([ -n "$(FUZZ_RUNS)" ] && echo -runs=$(FUZZ_RUNS) || echo -max_total_time=$(FUZZ_SECONDS)); \
	for t in build/asan/bin/fuzz_*; do \
	  name=$$(basename $$t); mkdir -p build/asan/fuzz/corpus/$$name; \
	  echo "== $$name ($$limit)"; start=$$(date +%s); \
	  $$t $$limit -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -close_fd_mask=3 \
	    build/asan/fuzz/corpus/$$name fuzz/corpus/$$name 2>&1 | grep -E '^(stat::number_of_executed_units|==[0-9]+== ERROR|SUMMARY)'; \
	  echo "   $$(( $$(date +%s) - start )) s"; \
	done

# The window needs an X display; without one, say so before building anything.
ifeq ($(strip $(DISPLAY)),)
run:
	@echo "No display (DISPLAY is empty) to open the window on; 'make run-console' runs the console tool instead."; exit 1
else
run: build-windows wine-prefix
	cmake/wine-run build/windows/bin/quendle.exe
endif

run-console: build-linux
	@echo '$$ printf "3 2 -4 3\n2 3 3 15\n5 -3 1 14\n" | build/linux/bin/quendle-solve'
	@printf '3 2 -4 3\n2 3 3 15\n5 -3 1 14\n' | build/linux/bin/quendle-solve | tr -d '\r'

dist: build-windows
	rm -rf build/windows/package
	cpack --config build/windows/CPackConfig.cmake -B build/windows/package
	cmake --build build/windows --target dev-package
	cmake --build build/windows --target installer
	mkdir -p dist
	cp build/windows/package/quendle-*-win64.zip build/windows/dev-package/mtrx-*-win64-dev.zip \
	  build/windows/installer/quendle-*-setup.exe dist/

# The Debian packages libmtrx0, libmtrx-dev and quendle-solve, built in
# build/deb (a static and a shared tree with Debian's flags; the native tests
# build them there too).
deb: deps
	cmake -DSOURCE_DIR=$(CURDIR) -DWORK_DIR=$(CURDIR)/build/deb -P cmake/deb_packages.cmake
	mkdir -p dist
	cp build/deb/packages/*.deb dist/

clean:
	rm -rf build dist
