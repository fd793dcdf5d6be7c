# Thin front to CMake: the two commands the README starts with, and a few more.
BUILD ?= build
CMAKE ?= cmake
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build demo test bench clean windows test-windows

all: build

build:
	$(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	$(CMAKE) --build $(BUILD) -j $(JOBS)

# Converts copies of the bundled samples in a scratch folder of the build tree.
demo: build
	rm -rf $(BUILD)/demo
	mkdir -p $(BUILD)/demo
	cp samples/*.bmp $(BUILD)/demo/
	cd $(BUILD)/demo && ../grizzen
	@ls -l $(BUILD)/demo

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Builds the release binary in $(BUILD)/bench and measures it against plain
# copies of the same bytes; inputs go to a temporary folder, removed after.
bench:
	bench/run --build $(BUILD)/bench

# Cross-builds grizzen.exe for 32-bit Windows (the tool's own target) and for
# 64-bit Windows (the one the tests run under Wine) with mingw-w64.
WIN32_BUILD ?= build-win32
WIN64_BUILD ?= build-win64

windows:
	$(CMAKE) -S . -B $(WIN32_BUILD) -DCMAKE_BUILD_TYPE=Release --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
	$(CMAKE) --build $(WIN32_BUILD) -j $(JOBS)
	tests/windows/check-exe.sh $(WIN32_BUILD)/grizzen.exe pei-i386 i686-w64-mingw32-objdump
	$(CMAKE) -S . -B $(WIN64_BUILD) -DCMAKE_BUILD_TYPE=Release --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
	$(CMAKE) --build $(WIN64_BUILD) -j $(JOBS)
	tests/windows/check-exe.sh $(WIN64_BUILD)/grizzen.exe pei-x86-64 x86_64-w64-mingw32-objdump

# The tests that run the binary, run against the 64-bit exe under Wine.
test-windows: build windows
	tests/windows/run-e2e.sh $(WIN64_BUILD)/grizzen.exe \
	  $(BUILD)/tests/grizzen_e2e_tests $(BUILD)/tests/grizzen_interop_tests

clean:
	rm -rf $(BUILD) $(WIN32_BUILD) $(WIN64_BUILD)

# The whole test suite again, built by clang with AddressSanitizer and
# UndefinedBehaviorSanitizer; the end-to-end tests run the sanitized tool.
SANITIZE_BUILD ?= build-sanitize
CLANGXX ?= clang++

.PHONY: test-sanitize fuzz clean-checks

test-sanitize:
	$(CMAKE) -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=$(CLANGXX) -DGRIZZEN_SANITIZE=ON
	$(CMAKE) --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS)

# Runs every seed and kept regression input once (each must pass), then
# fuzzes the conversion for FUZZ_SECONDS on one core, starting from them;
# during fuzzing, rows wider than 64 KiB are passed over to keep the pace.
# New corpus entries and any crashing input land in the fuzz build folder;
# a finding makes the target fail.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

fuzz:
	$(CMAKE) -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=$(CLANGXX) -DGRIZZEN_FUZZ=ON -DGRIZZEN_TESTS=OFF
	$(CMAKE) --build $(FUZZ_BUILD) -j $(JOBS) --target grizzen_fuzz
	$(FUZZ_BUILD)/fuzz/grizzen_fuzz $(wildcard fuzz/corpus/* fuzz/regressions/*)
	mkdir -p $(FUZZ_BUILD)/corpus
	GRIZZEN_FUZZ_MAX_ROW_BYTES=65536 $(FUZZ_BUILD)/fuzz/grizzen_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	  -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/ \
	  $(FUZZ_BUILD)/corpus fuzz/corpus $(wildcard fuzz/regressions)

clean: clean-checks
clean-checks:
	rm -rf $(SANITIZE_BUILD) $(FUZZ_BUILD)
