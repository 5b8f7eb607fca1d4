# kvx: the two commands of the Quick start, and a few helpers.
#   make run     installs what is missing, builds, plays the bundled show
#                (SHOW=DIR plays the show in a data folder instead)
#   make test    installs what is missing, builds, runs every test
#   make video   records the bundled show to build/showcase.mp4 (with ffmpeg;
#                else PNG frames and a WAV in build/showcase-video/);
#                VIDEO_FPS, VIDEO_MODE, VIDEO_QUALITY and SHOW change it
#   make check-layering   fails on an #include that runs up the folder order
#   make bench   builds and runs the benchmarks
#   make format  formats every source file with clang-format
MAKEFLAGS += --no-print-directory
BUILD ?= build
TYPE ?= Release
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# Empty: the bundled show, from the pack build/bin/kvxplay.kvx.
SHOW ?=
VIDEO_FPS ?= 30
VIDEO_MODE ?= 1280x720
VIDEO_QUALITY ?= 2

.PHONY: all setup configure build test run video bench format clean check-layering

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

video: build
	@bash scripts/record-video.sh $(BUILD) $(VIDEO_FPS) $(VIDEO_MODE) $(VIDEO_QUALITY) $(SHOW)

bench: build
	@$(BUILD)/bin/kvxbench

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(BUILD).configure.log
