# Thin front to CMake: the two commands the README starts with, and a few more.
BUILD ?= build
CMAKE ?= cmake
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build demo test bench clean

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

clean:
	rm -rf $(BUILD)
