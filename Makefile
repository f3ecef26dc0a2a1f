# The commands of README.md. Everything builds in build/ (Release).
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
CTEST_ARGS ?=

.PHONY: all setup configure build run test bench check-reliability install clean

all: build

setup:
	@sh scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/app/tallyard

test: build
	@sh scripts/run-tests.sh $(BUILD) -LE slow $(CTEST_ARGS)

bench: build
	@sh scripts/run-bench.sh $(BUILD)

check-reliability: configure
	@sh scripts/check-reliability.sh $(BUILD) build-asan $(CTEST_ARGS)

install: build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX),)

clean:
	rm -rf $(BUILD)
