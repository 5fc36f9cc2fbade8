# tw:Phase: build, test, run and benchmark. `make test` is what CI runs.
BUILD      ?= build
NATIVE     := $(BUILD)/native
WINDOWS    := $(BUILD)/windows
WINEPREFIX := $(abspath $(WINDOWS))/wineprefix
CMAKE_GEN  := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS       ?= $(shell nproc)
ARGS       ?=

.PHONY: all deps native windows build lint test test-native test-windows run screenshot bench clean

all: build

deps:
	@tools/install-deps

$(NATIVE)/build.ninja: | deps
	cmake -S . -B $(NATIVE) $(CMAKE_GEN)

$(WINDOWS)/build.ninja: | deps
	cmake -S . -B $(WINDOWS) $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake

native: $(NATIVE)/build.ninja
	cmake --build $(NATIVE) -j $(JOBS)

windows: $(WINDOWS)/build.ninja
	cmake --build $(WINDOWS) -j $(JOBS)

build: native windows

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)

test-windows: windows
	tools/with-wine $(WINEPREFIX) tools/windows-tests $(WINDOWS)

# The structure rules that no compiler checks: no include runs up the layers, and the names
# follow one style (clang-tidy, on the sources as both builds compile them).
lint: $(NATIVE)/build.ninja $(WINDOWS)/build.ninja
	tools/check-layers
	tools/check-naming $(WINDOWS) $(NATIVE)

# The structure check, native tests, then the Windows tests under Wine (after a probe of
# Wine's components); the last line is ctest's summary.
test: build lint
	ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)
	tools/with-wine $(WINEPREFIX) tools/windows-tests $(WINDOWS)

# Renders through the real path: the DLL registered in the build's Wine prefix, loaded by
# class identifier into a DirectShow graph. Without ARGS it renders the built-in demo. Windows
# (the editor, with --edit) show on the user's display when there is one.
run: windows
	TW_USE_DISPLAY=1 tools/with-wine $(WINEPREFIX) tools/render $(WINDOWS) $(ARGS)

# The README's picture of the editor, docs/editor.png, copied from an Xvfb display.
screenshot: windows
	TW_USE_DISPLAY= tools/with-wine $(WINEPREFIX) tools/screenshot $(WINDOWS) docs/editor.png

bench: native
	$(NATIVE)/bench/twphase-bench

clean:
	rm -rf $(BUILD)
