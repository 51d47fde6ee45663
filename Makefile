# Folim: make demo | test | build | gui | bench | fuzz | screenshot
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# The nested makes of the CMake build need not announce every directory.
MAKEFLAGS += --no-print-directory

.PHONY: all deps configure build demo test gui bench fuzz screenshot sanitize tsan clean format

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

gui: build
	@$(BUILD)/bin/folim examples

bench: deps
	@cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DFOLIM_BUILD_BENCH=ON -DFOLIM_BUILD_GUI=OFF >/dev/null
	@cmake --build $(BUILD)-bench -j $(JOBS)
	@bash scripts/bench.sh $(BUILD)-bench
	@bash scripts/bench-vs-jpeg.sh $(BUILD)-bench

fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(BUILD)-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFOLIM_BUILD_FUZZ=ON -DFOLIM_BUILD_GUI=OFF >/dev/null
	@cmake --build $(BUILD)-fuzz -j $(JOBS)
	@bash scripts/fuzz.sh $(BUILD)-fuzz $(FUZZ_SECONDS)

screenshot: build
	@bash scripts/screenshot.sh $(BUILD)

# The tests again under AddressSanitizer + UndefinedBehaviorSanitizer.
sanitize: deps
	@cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DFOLIM_SANITIZE=ON >/dev/null
	@cmake --build $(BUILD)-asan -j $(JOBS)
	@cd $(BUILD)-asan && ctest --output-on-failure -j $(JOBS) --timeout 2400

# The threaded tests under ThreadSanitizer.
tsan: deps
	@cmake -S . -B $(BUILD)-tsan -DCMAKE_BUILD_TYPE=Debug -DFOLIM_TSAN=ON >/dev/null
	@cmake --build $(BUILD)-tsan -j $(JOBS)
	@cd $(BUILD)-tsan && TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp $(TSAN_OPTIONS)" \
	  ctest --output-on-failure -j $(JOBS) --timeout 2400 -L threads

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-bench $(BUILD)-fuzz
