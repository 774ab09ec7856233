# The two everyday commands; both set up a fresh Debian 12 machine first.
#   make run   converts the bundled sample world save into out/
#   make test  runs every test
#   make fuzz  fuzzes each fuzz target for FUZZ_SECONDS (600) seconds
#   make windows  cross-builds build-windows/bin/orvantor.exe and its tests
#   make package  builds the Debian packages into build/packages/
# Set WITH_QT=OFF for a build without the window (headless servers).

# The headless preset is the build without the window; the others have it.
WITH_QT ?= $(if $(filter headless,$(PRESET)),OFF,ON)
PRESET ?= default
# The preset's own build folder (CMakePresets.json): build for default and
# ci, build-NAME for the others (PRESET=headless builds in build-headless).
BUILD := $(if $(filter default ci,$(PRESET)),build,build-$(PRESET))

# What the build folder was configured with; when a call asks for something
# else (WITH_QT=OFF after ON, another preset), it is configured afresh, so
# the cached value of an earlier call never wins.
CONFIG := preset=$(PRESET) with-qt=$(WITH_QT)
CONFIG_STAMP := $(BUILD)/.make-config

.PHONY: setup configure build run test bench fuzz windows package clean

setup:
	@ORVANTOR_WITH_QT=$(WITH_QT) tools/setup-debian.sh

configure: setup
	@if [ ! -f $(BUILD)/build.ninja ] || [ "$$(cat $(CONFIG_STAMP) 2>/dev/null)" != "$(CONFIG)" ]; then \
	  cmake --preset $(PRESET) --fresh -DORVANTOR_WITH_QT=$(WITH_QT) >/dev/null && \
	  echo "$(CONFIG)" > $(CONFIG_STAMP); \
	fi

build: configure
	@cmake --build $(BUILD)

run: build
	@mkdir -p out
	@$(BUILD)/bin/orvantor convert samples/world.scp \
	  --world-file out/world.scp --char-file out/chars.scp \
	  --move-chars samples/positions.txt --illegal-items samples/illegal.txt

test: build
	@ctest --test-dir $(BUILD) --output-on-failure --timeout 300

bench: build
	@bench/run.sh

# A long fuzzing run of each fuzz target (FUZZ_SECONDS each, 600 by default).
FUZZ_SECONDS ?= 600
fuzz:
	@fuzz/run.sh $(FUZZ_SECONDS)

# orvantor.exe with MinGW-w64; tools/check-windows.sh runs its tests under Wine.
windows:
	@ORVANTOR_WITH_QT=OFF ORVANTOR_WITH_WINDOWS=ON tools/setup-debian.sh
	@test -f build-windows/build.ninja || cmake --preset windows >/dev/null
	@cmake --build build-windows

package: build
	@ORVANTOR_WITH_QT=$(WITH_QT) ORVANTOR_PACKAGING=ON tools/setup-debian.sh
	@rm -rf $(BUILD)/packages
	@cmake --build $(BUILD) --target package
	@ls $(BUILD)/packages/*.deb

clean:
	@rm -rf $(BUILD) out
