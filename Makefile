# Front door: `make run` starts Vigilo, `make test` builds and passes every test.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
SANITIZE ?= 0
JOBS ?= $(shell nproc)
FUZZ_DIR := build-fuzz
FUZZ_SECONDS ?= 60
# Built into the executable (helper, locale folder, unit): chosen at configure time.
PREFIX ?= /usr/local

ifeq ($(SANITIZE),1)
BUILD_DIR := build-sanitize
BUILD_TYPE := Debug
CMAKE_FLAGS += -DVIGILO_SANITIZE=ON
endif

.PHONY: all deps configure build test run bench fuzz screenshots clean install pot deb

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# The fuzz targets are built with clang beside the main build; their test
# entries skip themselves where clang is missing.
test: build
	@bash tests/fuzz/build $(FUZZ_DIR) $(JOBS)
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

# `make install PREFIX=$HOME/.local`, `make install DESTDIR=...`.
install: build
	@cmake --install $(BUILD_DIR)

pot: configure
	@cmake --build $(BUILD_DIR) --target pot

# The two Debian packages, built for /usr in build-deb/, checked by lintian.
deb: deps
	@bash scripts/build-deb

# Running needs the application, the modules it loads and the helper, not
# the test suite that `make build` also compiles.
RUN_TARGETS := vigilo-app vigilo-online vigilo-mqtt vigilo-system vigilo-ui vigilo-helper

run: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target $(RUN_TARGETS)
	@$(BUILD_DIR)/bin/vigilo-app

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVIGILO_TESTS=OFF -DVIGILO_BENCH=ON -DVIGILO_WERROR=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@bash bench/run-all

# Each fuzz target for FUZZ_SECONDS from its seeds in tests/fuzz/corpus.
fuzz: deps
	@bash tests/fuzz/build $(FUZZ_DIR) $(JOBS) --required
	@bash tests/fuzz/run $(FUZZ_DIR) $(FUZZ_SECONDS)

# The tray's menu and windows over a fixed state and clock, as PNGs in
# $(BUILD_DIR)/screenshots; those the README shows are refreshed in
# docs/screenshots (each under 150 KB). In UTC, so the hours on the axes and
# the days of the bars are the same on every machine. Not part of `make test`.
DOC_SCREENSHOTS = status.png tray-menu.png dashboard.png report.png
screenshots: build
	@mkdir -p $(BUILD_DIR)/screenshots docs/screenshots
	@TZ=UTC QT_QPA_PLATFORM=offscreen VIGILO_SCREENSHOT_DIR=$(abspath $(BUILD_DIR))/screenshots \
		$(BUILD_DIR)/bin/vigilo_qt_tests --gtest_also_run_disabled_tests --gtest_filter='Screenshots.*' >/dev/null
	@TZ=UTC bash scripts/screenshots-report $(BUILD_DIR) $(DOC_SCREENSHOTS) >/dev/null
	@ls $(BUILD_DIR)/screenshots

clean:
	rm -rf build build-sanitize build-bench $(FUZZ_DIR)
