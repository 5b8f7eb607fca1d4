# kvx: the two commands of the Quick start, and a few helpers.
#   make run     installs what is missing, builds, plays the bundled show
#   make test    installs what is missing, builds, runs every test
#   make check-layering   fails on an #include that runs up the folder order
#   make bench   builds and runs the benchmarks
#   make format  formats every source file with clang-format
MAKEFLAGS += --no-print-directory
BUILD ?= build
TYPE ?= Release
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
SHOW ?= examples/first

.PHONY: all setup configure build test run bench format clean check-layering

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(TYPE) > $(BUILD).configure.log 2>&1 || (cat $(BUILD).configure.log; exit 1)

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

check-layering:
	@bash scripts/check-layering.sh

test: check-layering build
	@cd $(BUILD) && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ctest --output-on-failure -j $(JOBS)

run: build
	@bash scripts/run-show.sh $(BUILD) $(SHOW)

bench: build
	@$(BUILD)/bin/kvxbench

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(BUILD).configure.log
