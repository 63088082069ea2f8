# Front door: `make run` starts Vigilo, `make test` builds and passes every test.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
SANITIZE ?= 0
JOBS ?= $(shell nproc)

ifeq ($(SANITIZE),1)
BUILD_DIR := build-sanitize
BUILD_TYPE := Debug
CMAKE_FLAGS += -DVIGILO_SANITIZE=ON
endif

.PHONY: all deps configure build test run bench clean

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

run: build
	@$(BUILD_DIR)/bin/vigilo-app

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVIGILO_TESTS=OFF -DVIGILO_BENCH=ON -DVIGILO_WERROR=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@bash bench/run-all

clean:
	rm -rf build build-sanitize build-bench
