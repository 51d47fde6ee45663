# Folim: make demo | test | build | gui | bench | rd | fuzz | screenshot | mutate | install | package
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# The nested makes of the CMake build need not announce every directory.
MAKEFLAGS += --no-print-directory

.PHONY: all deps configure build demo test gui bench rd fuzz screenshot sanitize tsan mutate clean \
	format install package

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@bash scripts/demo.sh $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 1200

# Installs into PREFIX (DESTDIR=/some/root stages it there instead).
PREFIX ?= /usr/local
install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# A Debian package of the same files, in $(BUILD)/.
package: build
	@cd $(BUILD) && cpack -G DEB

gui: build
	@$(BUILD)/bin/folim examples

bench: deps
	@cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DFOLIM_BUILD_BENCH=ON -DFOLIM_BUILD_GUI=ON >/dev/null
	@cmake --build $(BUILD)-bench -j $(JOBS)
	@bash scripts/bench.sh $(BUILD)-bench
	@bash scripts/bench-vs-jpeg.sh $(BUILD)-bench

# Rate-distortion curves of RIM against JPEG and WebP: docs/rd_curve.png, docs/rd_results.md.
rd: build
	@python3 scripts/rd_curve.py $(BUILD) docs

# Only the fuzz programs and what they link: the fuzz build's tests never run.
FUZZ_TARGETS = $(patsubst fuzz/%.cpp,%,$(wildcard fuzz/fuzz_*.cpp))
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(BUILD)-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFOLIM_BUILD_FUZZ=ON -DFOLIM_BUILD_GUI=OFF >/dev/null
	@cmake --build $(BUILD)-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	@bash scripts/fuzz.sh $(BUILD)-fuzz $(FUZZ_SECONDS)

screenshot: build
	@bash scripts/screenshot.sh $(BUILD)

# The tests again under AddressSanitizer + UndefinedBehaviorSanitizer.
sanitize: deps
	@cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DFOLIM_SANITIZE=ON >/dev/null
	@cmake --build $(BUILD)-asan -j $(JOBS)
	@cd $(BUILD)-asan && ctest --output-on-failure -j $(JOBS) --timeout 2400

# The threaded tests under ThreadSanitizer. Only the test programs that hold
# one (a test with "Thread" in its name) are built, with what they run.
TSAN_TARGETS = $(sort $(foreach f,$(shell grep -lzE '(TEST|TEST_F|TEST_P)\([^)]*Thread' tests/*/*.cpp),\
	$(notdir $(patsubst %/,%,$(dir $(f))))_tests))
tsan: deps
	@cmake -S . -B $(BUILD)-tsan -DCMAKE_BUILD_TYPE=Debug -DFOLIM_TSAN=ON >/dev/null
	@cmake --build $(BUILD)-tsan -j $(JOBS) --target $(TSAN_TARGETS)
	@cd $(BUILD)-tsan && TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp $(TSAN_OPTIONS)" \
	  ctest --output-on-failure -j $(JOBS) --timeout 2400 -L threads

# Puts the faults listed in tests/mutations/ into the sources one at a time and
# checks that a test notices each one (slow: run before calling a change to the
# core done, not in CI). MUTATE_BUILD is its build folder (incremental, kept
# between runs); MUTATE_ARGS passes options, e.g. --only ID.
MUTATE_BUILD ?= $(BUILD)-mutate
mutate: deps
	@python3 scripts/mutate.py --build $(MUTATE_BUILD) --jobs $(JOBS) $(MUTATE_ARGS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-bench $(BUILD)-fuzz $(BUILD)-mutate
