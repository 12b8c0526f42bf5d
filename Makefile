# Front door: both README commands go through here. Every target installs what it needs first:
# building and running only the program's packages, the tests theirs, the benchmarks all.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
BUILD_TYPE ?= RelWithDebInfo

.PHONY: all deps deps-build deps-test build install package run test test-asan test-tsan fuzz bench bench-window skins clean

all: build

deps:
	@bash tools/install-deps.sh all

deps-build:
	@bash tools/install-deps.sh build

deps-test:
	@bash tools/install-deps.sh test

build: deps-build
	cmake -S . -B build -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)
	cmake --build build -j$(JOBS)

# The program's main job: the window program when a display answers (the demo disc is offered
# when no real drive holds an audio CD); without a display, the command-line rip of the first
# drive holding a disc (else the demo disc) as FLAC into a fresh folder of its own below ./rips
# (./rips/YYYY-MM-DD_HH-MM-SS/Album artist/Album). A rip never replaces a file unless told to,
# so a second run would stop on the first run's names; a fresh folder per run is the safest way
# to let it be repeated: nothing earlier is ever touched, even when the drive now holds another
# disc that shares a name with the last one.
run: build
	@if [ -n "$$DISPLAY" ] && xdpyinfo >/dev/null 2>&1; then \
		if ./build/app/tonvane drives 2>/dev/null | grep -q '^/dev/[^ ]* *audio disc'; then \
			./build/app/tonvane; \
		else \
			./build/app/tonvane --drive demo:; \
		fi; \
	else \
		./build/app/tonvane rip --format flac --out "./rips/$$(date +%Y-%m-%d_%H-%M-%S)"; \
	fi

# Installs below PREFIX (default /usr/local): binary, man page, desktop entry, metainfo, icons.
PREFIX ?= /usr/local
install: build
	cmake --install build --prefix $(PREFIX)

# A Debian package (build/tonvane_VERSION_ARCH.deb), installable with apt install ./build/tonvane_*.deb.
package: build
	cd build && cpack -G DEB

test: deps-test build
	cd build && ctest --output-on-failure -j$(JOBS) --timeout 600

test-asan: deps-test
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTONVANE_SANITIZE=address,undefined -DTONVANE_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build build-asan -j$(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
		ctest --output-on-failure -j$(JOBS) --timeout 900

# Threaded suites under ThreadSanitizer. setarch -R: TSan needs the classic memory layout.
TSAN_LABELS ?= core|cdrom|encoders|net|session|graphics|windowing|x11|controls|app
test-tsan: deps-test
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DTONVANE_SANITIZE=thread -DTONVANE_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build build-tsan -j$(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
		setarch $$(uname -m) -R ctest --output-on-failure -j$(JOBS) --timeout 900 -L '$(TSAN_LABELS)'

fuzz: deps-test
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONVANE_BUILD_FUZZ=ON \
		-DTONVANE_BUILD_BENCH=OFF -DTONVANE_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build build-fuzz -j$(JOBS) --target fuzz-all
	bash tests/fuzz/run-all.sh build-fuzz

# Every benchmark; each prints its ratios against the targets. The pipeline benchmark builds a
# ten-minute disc of real music first (installing a Debian music package).
bench: deps build
	./build/tools/bench/rip/bench-rip
	bash tools/bench/pipeline/make-music-disc.sh build/bench-music >/dev/null
	./build/tools/bench/rip/bench-secure build/bench-music/disc.cue
	./build/tools/bench/encoders/bench-encoders
	./build/tools/bench/render/bench-render
	./build/tools/bench/text/bench-text
	./build/tools/bench/pipeline/bench-pipeline
	./build/tools/bench/windowing/bench-windowing
	./build/tools/bench/controls/bench-controls
	./build/tools/bench/window/bench-window build/bench-music/disc.cue
	./build/tools/bench/station/bench-station build/bench-music/disc.cue

# The window program alone on its own Xvfb: start-up, memory, a FLAC rip against the command line.
bench-window: deps build
	bash tools/bench/pipeline/make-music-disc.sh build/bench-music >/dev/null
	./build/tools/bench/window/bench-window build/bench-music/disc.cue

# Redraws the interface's pictures into resources/skins/ (committed; compiled into the program).
skins: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)
	cmake --build build -j$(JOBS) --target make-skins
	./build/tools/make-skins/make-skins resources/skins

clean:
	rm -rf build build-asan build-tsan build-fuzz
