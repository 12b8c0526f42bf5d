# Front door: both README commands go through here. Every target installs what it needs first.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
BUILD_TYPE ?= RelWithDebInfo

.PHONY: all deps build run test test-asan test-tsan fuzz bench clean

all: build

deps:
	@bash tools/install-deps.sh

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)
	cmake --build build -j$(JOBS)

# The program's main job: rip the disc in the first drive holding one (on a machine without a CD
# drive, the built-in demo disc) into ./rips as FLAC. The window program will take over when a
# display is present.
run: build
	./build/app/tonvane rip --format flac --out ./rips

test: build
	cd build && ctest --output-on-failure -j$(JOBS) --timeout 600

test-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTONVANE_SANITIZE=address,undefined -DTONVANE_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build build-asan -j$(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j$(JOBS) --timeout 900

# Threaded suites under ThreadSanitizer. setarch -R: TSan needs the classic memory layout.
TSAN_LABELS ?= core|cdrom|encoders|net|graphics
test-tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DTONVANE_SANITIZE=thread -DTONVANE_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build build-tsan -j$(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
		setarch $$(uname -m) -R ctest --output-on-failure -j$(JOBS) --timeout 900 -L '$(TSAN_LABELS)'

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONVANE_BUILD_FUZZ=ON \
		-DTONVANE_BUILD_BENCH=OFF -DTONVANE_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build build-fuzz -j$(JOBS) --target fuzz-all
	bash tests/fuzz/run-all.sh build-fuzz

# Every benchmark; each prints its ratios against the targets. The pipeline benchmark builds a
# ten-minute disc of real music first (installing a Debian music package).
bench: build
	./build/tools/bench/rip/bench-rip
	bash tools/bench/pipeline/make-music-disc.sh build/bench-music >/dev/null
	./build/tools/bench/rip/bench-secure build/bench-music/disc.cue
	./build/tools/bench/encoders/bench-encoders
	./build/tools/bench/render/bench-render
	./build/tools/bench/pipeline/bench-pipeline

clean:
	rm -rf build build-asan build-tsan build-fuzz
