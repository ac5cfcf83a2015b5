# Front door of the build: every target configures what it needs.
JOBS ?= 2
BUILD ?= build
NATIVE := $(BUILD)/native
SANITIZE := $(BUILD)/sanitize
WIN32 := $(BUILD)/win32
WIN64 := $(BUILD)/win64
FUZZ := $(BUILD)/fuzz
CONSUMER := $(BUILD)/consumer
CONSUMER_PREFIX := $(BUILD)/consumer-prefix
# The readers under fuzz: fuzz/<name>_target.cpp, the program fuzz_<name>.
FUZZ_TARGETS := directory decoder name_mask manifest hive shell_link
FUZZ_SECONDS ?= 15
WINE_ENV = WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
CMAKE_FLAGS ?=

.PHONY: all native installer sanitize win32 win64 fuzz test test-native test-sanitize test-win32 test-win64 test-fuzz test-consumer setup demo clean

all: native

# The configurations a user may pick are all built: the native tests and the shipped program
# in Release (-O3), the sanitizer build in Debug, the 64-bit Windows build in the default
# RelWithDebInfo.
$(NATIVE)/CMakeCache.txt:
	cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
$(SANITIZE)/CMakeCache.txt:
	cmake -S . -B $(SANITIZE) -G Ninja -DQEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
$(WIN32)/CMakeCache.txt:
	cmake -S . -B $(WIN32) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
$(WIN64)/CMakeCache.txt:
	cmake -S . -B $(WIN64) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake $(CMAKE_FLAGS)
# Everything instrumented for libFuzzer with clang, at -O1 as libFuzzer is usually run, with
# line tables only: enough for the stack of a finding, and quicker to build than full debug data.
$(FUZZ)/CMakeCache.txt:
	cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DQEL_FUZZ=ON -DQEL_TESTS=OFF \
	  -DCMAKE_BUILD_TYPE=None "-DCMAKE_CXX_FLAGS=-O1 -gline-tables-only" $(CMAKE_FLAGS)

native: $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j $(JOBS)
# The native installer alone: what the demo needs, without the tests and the fuzz programs.
installer: $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j $(JOBS) --target Install
sanitize: $(SANITIZE)/CMakeCache.txt
	cmake --build $(SANITIZE) -j $(JOBS)
win32: $(WIN32)/CMakeCache.txt
	cmake --build $(WIN32) -j $(JOBS)
win64: $(WIN64)/CMakeCache.txt
	cmake --build $(WIN64) -j $(JOBS)
fuzz: $(FUZZ)/CMakeCache.txt
	cmake --build $(FUZZ) -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)
test-sanitize: sanitize
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SANITIZE) --output-on-failure -j $(JOBS)
# The shipped 32-bit program and its tests are always built; they run under 32-bit Wine where
# this machine can start 32-bit programs, and say why where it cannot. In CI only a kernel
# without 32-bit support, or a registry that could not supply 32-bit Wine to make setup, may
# skip them: anything else is a setup that went wrong.
test-win32: win32
	@reason=$$(./scripts/can-run-win32 $(WIN32)); probe=$$?; \
	if [ $$probe -eq 0 ]; then \
	  ctest --test-dir $(WIN32) --output-on-failure -j $(JOBS); \
	else \
	  echo "SKIPPED: the 32-bit tests cannot run here: $$reason."; \
	  echo "The win32 build is compiled and linked only; its tests run as 64-bit programs (make test-win64)."; \
	  if [ -n "$${CI:-}" ] && [ $$probe -ne 2 ] && [ $$probe -ne 3 ]; then exit 1; fi; \
	fi
# The 64-bit build runs the program end to end in its window. Where the 32-bit suite could not
# run, it also runs that suite as 64-bit programs under 64-bit Wine (the prefix is created once,
# before the tests start in parallel); where it did run, building it twice would add nothing.
test-win64: $(WIN64)/CMakeCache.txt
	@if ./scripts/can-run-win32 $(WIN32) >/dev/null 2>&1; then \
	  echo "The 32-bit suite runs under 32-bit Wine: the 64-bit build runs the program end to end only."; \
	  cmake --build $(WIN64) -j $(JOBS) --target Install install_driver && \
	  ctest --test-dir $(WIN64) --output-on-failure -R '^installer_e2e_windows$$'; \
	else \
	  cmake --build $(WIN64) -j $(JOBS) && \
	  { WINEPREFIX=$(abspath $(WIN64))/wineprefix $(WINE_ENV) ./cmake/wine-run wineboot -i >/dev/null 2>&1 || true; } && \
	  ctest --test-dir $(WIN64) --output-on-failure -j $(JOBS); \
	fi

# Each fuzz program for FUZZ_SECONDS from its seeds; skipped, saying so, where clang and its
# libFuzzer runtime are not installed (make setup installs them). The kept inputs run in every
# build all the same, in the test "fuzz".
test-fuzz:
	@if ! command -v clang++ >/dev/null 2>&1 || \
	    ! echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' | \
	      clang++ -fsanitize=fuzzer -x c++ -o /dev/null - >/dev/null 2>&1; then \
	  echo "The fuzz run is skipped: clang++ with libFuzzer is not installed (make setup installs it)."; \
	else \
	  $(MAKE) --no-print-directory fuzz && ./fuzz/run.sh $(FUZZ) $(FUZZ_SECONDS) $(FUZZ_TARGETS); \
	fi

# The component as another program uses it: installed from the native build into a prefix of
# its own, the example built against that prefix with find_package (and with pkg-config where
# it is installed), and each run on an archive made for it.
test-consumer: native
	rm -rf $(CONSUMER) $(CONSUMER_PREFIX)
	cmake --install $(NATIVE) --prefix $(CONSUMER_PREFIX) --component QelUnzip
	cmake -S examples -B $(CONSUMER)/cmake -G Ninja -DCMAKE_PREFIX_PATH=$(abspath $(CONSUMER_PREFIX))
	cmake --build $(CONSUMER)/cmake -j $(JOBS)
	./examples/check.sh $(CONSUMER)/cmake/unzip_example $(CONSUMER)/cmake/run
	@if command -v pkg-config >/dev/null 2>&1; then \
	  pc=$$(dirname $$(find $(CONSUMER_PREFIX) -name qelunzip.pc)) && \
	  echo "g++ -std=c++20 examples/unzip_example.cpp \$$(pkg-config --cflags --libs qelunzip)" && \
	  g++ -std=c++20 -o $(CONSUMER)/unzip_example_pc examples/unzip_example.cpp \
	    $$(PKG_CONFIG_PATH=$$pc pkg-config --cflags --libs qelunzip) && \
	  ./examples/check.sh $(CONSUMER)/unzip_example_pc $(CONSUMER)/pkg-config-run; \
	else \
	  echo "The pkg-config build of the example is skipped: pkg-config is not installed."; \
	fi

# Every test: native, under the sanitizers, the Windows builds under Wine, the fuzz run, and the
# component installed for another program.
test: test-native test-sanitize test-win32 test-win64 test-fuzz test-consumer

# The native installer on a demo archive, in a sandbox of its own under build/demo.
demo:
	./scripts/demo

# Installs what the build and the tests need on a fresh Debian machine.
setup:
	./scripts/setup

clean:
	rm -rf $(BUILD)
