# Front door of the build: every target configures what it needs.
JOBS ?= 2
BUILD ?= build
NATIVE := $(BUILD)/native
SANITIZE := $(BUILD)/sanitize
WIN32 := $(BUILD)/win32
CMAKE_FLAGS ?=

.PHONY: all native sanitize win32 test test-native test-sanitize test-win32 setup clean

all: native

$(NATIVE)/CMakeCache.txt:
	cmake -S . -B $(NATIVE) -G Ninja $(CMAKE_FLAGS)
$(SANITIZE)/CMakeCache.txt:
	cmake -S . -B $(SANITIZE) -G Ninja -DQEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
$(WIN32)/CMakeCache.txt:
	cmake -S . -B $(WIN32) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake $(CMAKE_FLAGS)

native: $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j $(JOBS)
sanitize: $(SANITIZE)/CMakeCache.txt
	cmake --build $(SANITIZE) -j $(JOBS)
win32: $(WIN32)/CMakeCache.txt
	cmake --build $(WIN32) -j $(JOBS)

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)
test-sanitize: sanitize
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SANITIZE) --output-on-failure -j $(JOBS)
# The Wine prefix is created once, before the tests start in parallel.
test-win32: win32
	WINEPREFIX=$(abspath $(WIN32))/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 || true
	ctest --test-dir $(WIN32) --output-on-failure -j $(JOBS)

# Every test: native, under the sanitizers, and the Windows build under Wine.
test: test-native test-sanitize test-win32

# Installs what the build and the tests need on a fresh Debian machine.
setup:
	./scripts/setup

clean:
	rm -rf $(BUILD)
