# tw:Phase: build, test, run and benchmark. `make test` is what CI runs.
BUILD      ?= build
NATIVE     := $(BUILD)/native
WINDOWS    := $(BUILD)/windows
WINDOWS32  := $(BUILD)/windows32
RELEASE64  := $(BUILD)/release64
RELEASE32  := $(BUILD)/release32
DIST       ?= dist
FUZZ       := $(BUILD)/fuzz
# One prefix for both bitnesses, as one 64-bit Windows runs 32-bit and 64-bit hosts.
WINEPREFIX := $(abspath $(WINDOWS))/wineprefix
CMAKE_GEN  := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS       ?= $(shell nproc)
# Seconds each fuzz target runs in `make fuzz`, and in the smoke run of `make test`.
FUZZ_SECONDS       ?= 180
FUZZ_SMOKE_SECONDS ?= 5
ARGS       ?=

.PHONY: all deps native windows windows32 build lint test test-native test-windows soak run \
	screenshot bench bench-render bench-analysis bench-peers clean dist dist-test lv2 \
	install-lv2 test-lv2

all: build

deps:
	@tools/install-deps

$(NATIVE)/build.ninja: | deps
	cmake -S . -B $(NATIVE) $(CMAKE_GEN)

$(WINDOWS)/build.ninja: | deps
	cmake -S . -B $(WINDOWS) $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake

$(WINDOWS32)/build.ninja: | deps
	cmake -S . -B $(WINDOWS32) $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake

$(FUZZ)/build.ninja: | deps
	cmake -S fuzz -B $(FUZZ) $(CMAKE_GEN) -DCMAKE_CXX_COMPILER=clang++

native: $(NATIVE)/build.ninja
	cmake --build $(NATIVE) -j $(JOBS)

windows: $(WINDOWS)/build.ninja
	cmake --build $(WINDOWS) -j $(JOBS)

windows32: $(WINDOWS32)/build.ninja
	cmake --build $(WINDOWS32) -j $(JOBS)

build: native windows windows32

# The LV2 bundle alone, $(NATIVE)/lv2/twphase.lv2 (the native build makes it too).
lv2: $(NATIVE)/build.ninja
	cmake --build $(NATIVE) -j $(JOBS) --target twphase_lv2_bundle

# Copies the bundle to LV2_DIR, where LV2 hosts look for plug-ins: ~/.lv2 unless given.
LV2_DIR ?= $(HOME)/.lv2
install-lv2: lv2
	mkdir -p "$(LV2_DIR)"
	rm -rf "$(LV2_DIR)/twphase.lv2"
	cp -R $(NATIVE)/lv2/twphase.lv2 "$(LV2_DIR)/"
	@echo "installed $(LV2_DIR)/twphase.lv2"

# The fuzz targets of the portable core (clang, libFuzzer, ASan and UBSan).
.PHONY: fuzz-build fuzz
fuzz-build: $(FUZZ)/build.ninja
	cmake --build $(FUZZ) -j $(JOBS)

# Every fuzz target for FUZZ_SECONDS, one after the other, from its seeds in fuzz/corpus; the
# inputs found and any crash stay in build/fuzz.
fuzz: fuzz-build
	fuzz/run $(FUZZ) $(FUZZ_SECONDS)

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)

# Both bitnesses' Windows tests, then the two DLLs side by side; one Wine session for all.
WINDOWS_TESTS := tools/with-wine $(WINEPREFIX) sh -c 'tools/windows-tests $(WINDOWS) && \
	tools/windows-tests $(WINDOWS32) && tools/bitness-check $(WINDOWS) $(WINDOWS32)'

test-windows: windows windows32
	$(WINDOWS_TESTS)

# The LV2 bundle in Debian's LV2 hosts (lv2_validate, lv2apply, lv2file, lv2info), their renders
# compared with the DLL's through the renderer, in a Wine session of its own.
LV2_TESTS := tools/with-wine $(WINEPREFIX) tests/lv2/host-renders $(NATIVE) $(WINDOWS)

test-lv2: native windows
	$(LV2_TESTS)

# The structure rules that no compiler checks: no include runs up the layers, and the names
# follow one style (clang-tidy, on the sources as both builds compile them).
lint: $(NATIVE)/build.ninja $(WINDOWS)/build.ninja
	tools/check-layers
	tools/check-naming $(WINDOWS) $(NATIVE)

# The structure check, native tests, a smoke run of every fuzz target, then the Windows tests
# of both bitnesses under Wine (each after a probe of Wine's components), the side-by-side
# check and the LV2 bundle's host renders against the DLL's.
test: build fuzz-build lint
	ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)
	fuzz/run $(FUZZ) $(FUZZ_SMOKE_SECONDS)
	$(WINDOWS_TESTS)
	$(LV2_TESTS)
	$(MAKE) dist-test

# What a Windows user downloads, from optimised, stripped release builds of the DLL, its help
# file and the renderer for each bitness: two zips, the installer and their SHA-256 list in
# $(DIST) (tools/make-dist).
RELEASE_TARGETS := twPhaseDX twphase-render
$(RELEASE64)/build.ninja: | deps
	cmake -S . -B $(RELEASE64) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake

$(RELEASE32)/build.ninja: | deps
	cmake -S . -B $(RELEASE32) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake

dist: $(RELEASE64)/build.ninja $(RELEASE32)/build.ninja
	cmake --build $(RELEASE64) -j $(JOBS) --target $(RELEASE_TARGETS)
	cmake --build $(RELEASE32) -j $(JOBS) --target $(RELEASE_TARGETS)
	tools/make-dist $(RELEASE64) $(RELEASE32) $(DIST)

# The downloads checked as a user meets them: the zips' contents, then a silent install,
# upgrade and uninstall in a fresh Wine prefix (tools/dist-test).
dist-test: dist windows windows32
	tools/dist-test $(DIST) $(WINDOWS) $(WINDOWS32)

# The soak tests at length: a thousand whole-life cycles and half a minute of streaming under
# fire, for both DLLs.
SOAK_ENV := TW_SOAK_CYCLES=1000 TW_SOAK_SECONDS=30
soak: windows windows32
	$(SOAK_ENV) tools/with-wine $(WINEPREFIX) sh -c \
	  '$(WINDOWS)/wine-run $(WINDOWS)/tests/plugin/plugin_soak_tests.exe && \
	   $(WINDOWS32)/wine-run $(WINDOWS32)/tests/plugin/plugin_soak_tests.exe' 

# Renders through the real path: the DLL registered in the build's Wine prefix, loaded by
# class identifier into a DirectShow graph. Without ARGS it renders the built-in demo. Windows
# (the editor, with --edit) show on the user's display when there is one.
run: windows
	TW_USE_DISPLAY=1 tools/with-wine $(WINEPREFIX) tools/render $(WINDOWS) $(ARGS)

# The README's picture of the editor, docs/editor.png, copied from an Xvfb display.
screenshot: windows
	TW_USE_DISPLAY= tools/with-wine $(WINEPREFIX) tools/screenshot $(WINDOWS) docs/editor.png docs/analysis.png

bench: native
	$(NATIVE)/bench/twphase-bench

# The whole product path: the renderer through the plug-in in a DirectShow graph against the
# same work with the engine called directly, on a five-minute file under Wine.
bench-render: windows
	tools/with-wine $(WINEPREFIX) tools/bench-render $(WINDOWS)

# The renderer's --analyze with each objective against one render of the same five-minute file,
# in float and in 16-bit PCM.
bench-analysis: windows
	tools/with-wine $(WINEPREFIX) bench/bench-analysis $(WINDOWS)

# Our renderer and our LV2 plug-in with the precise filter against FFmpeg's aphaseshift and x42's
# phase rotate (in the same LV2 host as ours): the time of each on the same five-minute file and
# the phase error of each at ten tones. Installs the peers (Debian packages) when they are
# missing.
bench-peers: windows lv2
	tools/with-wine $(WINEPREFIX) bench/bench-peers $(WINDOWS) $(NATIVE)/lv2

clean:
	rm -rf $(BUILD)
