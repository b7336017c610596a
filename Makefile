# The two set-up commands of a fresh Debian machine: `make run` and `make check`.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
DEVICE := device/device --bin $(abspath $(BUILD))/bin
CTEST_PROFILES := $(shell awk '!/^#/ && NF { print $$1 }' device/screen-profiles)
PROFILE ?= qvga
# The Pocket PC the device is (device/platforms): its installer, its
# processor; the newest when empty.
PLATFORM ?=
RUN_ARGS ?=
# More arguments for CTest in make check and make check-ubsan, such as
# CTEST_ARGS="-L arm" (the tests of one label) or CTEST_ARGS="-R install_tests".
CTEST_ARGS ?=
# The calendar's module make run shows: x86-64 (this build's) or arm (the
# Windows CE build's, run on the device's emulated ARM processor).
ARCH ?= x86-64

# The Windows CE build: the item for devices on ARM and its CAB.
CE_BUILD ?= $(BUILD)/ce
CE_TOOLCHAIN := third_party/cegcc/build-toolchain

.PHONY: all deps configure build run check check-loaded check-ubsan soak fuzz bench failures dist screenshots ce ce-module clean

all: build

deps:
	@device/install-deps

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

RUN_DEVICE = $(DEVICE) --profile $(PROFILE) $(if $(PLATFORM),--platform $(PLATFORM)) --root $(abspath $(BUILD))/device
# The calendar's CAB for ARCH, installed as a user installs it (an upgrade
# over what the device has).
RUN_CAB = $(if $(filter arm,$(ARCH)),$(CE_BUILD),$(BUILD)/bin)/Mesolune.cab
run: build $(if $(filter arm,$(ARCH)),ce)
	@case "$(ARCH)" in x86-64|arm) ;; *) echo "make run: ARCH is x86-64 or arm, not $(ARCH)"; exit 2 ;; esac
	@$(RUN_DEVICE) setup
	@$(RUN_DEVICE) install $(RUN_CAB)
	@if [ -n "$$DISPLAY" ]; then \
		$(RUN_DEVICE) today $(RUN_ARGS); \
	else \
		$(RUN_DEVICE) today $(RUN_ARGS) \
			--screenshot $(abspath $(BUILD))/today-$(PROFILE).png && \
		echo "No display: the Today screen is in $(abspath $(BUILD))/today-$(PROFILE).png"; \
	fi

# With a cached Windows CE toolchain, the checks of the device build run too.
check: build
	@if prefix=$$($(CE_TOOLCHAIN) --cached); then \
		$(MAKE) --no-print-directory ce-module CEGCC_PREFIX=$$prefix || exit 1; \
		export MESOLUNE_CE_DIR=$(abspath $(CE_BUILD)); \
	else \
		echo "make check: the Windows CE toolchain is not built, so the checks of its module and CAB are skipped (make ce builds it, about 10 minutes)"; \
	fi; \
	$(DEVICE) --root $(abspath $(BUILD))/test-device session --profiles "$(CTEST_PROFILES)" -- \
		ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# The whole suite on a busy machine, as on a user's laptop that is doing
# other things: stress-ng's CPU workers (LOAD_WORKERS, one a core unless
# told) keep every core busy while make check runs.
LOAD_WORKERS ?= $(JOBS)
check-loaded: build
	@command -v stress-ng >/dev/null 2>&1 || { echo "make check-loaded: stress-ng is missing (make deps installs it)"; exit 1; }
	@echo "make check-loaded: make check beside $(LOAD_WORKERS) CPU workers of stress-ng"
	@stress-ng --cpu $(LOAD_WORKERS) --quiet & stress=$$!; \
	rc=0; $(MAKE) --no-print-directory check || rc=$$?; \
	kill $$stress; wait $$stress 2>/dev/null; exit $$rc

# The failure walk over every failure point of every scenario: this build's
# module, then, with a cached Windows CE toolchain, the ARM module. Each ends
# with its line of figures.
WALK_DEVICE = $(DEVICE) --root $(abspath $(BUILD))/test-device
failures: build
	@if prefix=$$($(CE_TOOLCHAIN) --cached); then \
		$(MAKE) --no-print-directory ce-module CEGCC_PREFIX=$$prefix >/dev/null || exit 1; \
		export MESOLUNE_CE_DIR=$(abspath $(CE_BUILD)); \
	fi; \
	rc=0; \
	$(WALK_DEVICE) session --profiles qvga -- $(WALK_DEVICE) --profile qvga failure_walk || rc=1; \
	MESOLUNE_ITEM_ARCH=arm $(WALK_DEVICE) session --profiles qvga -- $(WALK_DEVICE) --profile qvga failure_walk || rc=1; \
	exit $$rc

# The README's pictures of the options dialog and the control panel's pages
# (docs/), made again in a device of their own.
screenshots: build
	@docs/screenshots $(BUILD)

# The device for Windows: build/mesolune-device-win64.zip.
dist: build
	cmake --build $(BUILD) --target package

# The toolchain (built into its cache when missing), then the module and CAB.
ce: deps
	@prefix=$$($(CE_TOOLCHAIN)) && $(MAKE) --no-print-directory ce-module CEGCC_PREFIX=$$prefix

# Optimised for size: a Pocket PC's memory is small.
ce-module:
	cmake -S . -B $(CE_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/arm-mingw32ce.cmake -DCEGCC_PREFIX=$(CEGCC_PREFIX) \
		-DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
	cmake --build $(CE_BUILD) -j $(JOBS)
	@# The device finds it as \Windows\arm\mesolune.dll; the benchmark's ARM
	@# module of crossings lies beside it.
	@mkdir -p $(BUILD)/bin/arm && cp $(CE_BUILD)/mesolune.dll $(BUILD)/bin/arm/mesolune.dll && \
		cp $(CE_BUILD)/test-items/crossing.dll $(BUILD)/bin/arm/crossing.dll
	@for f in mesolune.dll Mesolune.cab; do \
		echo "Windows CE: $(abspath $(CE_BUILD))/$$f ($$(stat -c %s $(CE_BUILD)/$$f) bytes)"; done
	@# What a user compares with the CAB they were given (the README says how).
	@cd $(CE_BUILD) && sha256sum mesolune.dll mesolune_setup.dll Mesolune.cab > SHA256SUMS && \
		sed 's|^|SHA-256: |' SHA256SUMS && echo "(in $(abspath $(CE_BUILD))/SHA256SUMS)"

# The same suite, built with every undefined operation trapping.
UBSAN_BUILD ?= build-ubsan
check-ubsan: deps
	cmake -S . -B $(UBSAN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
		-DMESOLUNE_SANITIZE=ON
	cmake --build $(UBSAN_BUILD) -j $(JOBS)
	device/device --bin $(abspath $(UBSAN_BUILD))/bin --root $(abspath $(UBSAN_BUILD))/test-device \
		session --profiles "$(CTEST_PROFILES)" -- ctest --test-dir $(UBSAN_BUILD) --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# The long variants: a simulated week of refreshes, and more fuzzing seeds.
SOAK_DAYS ?= 7
SEEDS ?= 500
TEST_DEVICE := $(DEVICE) --root $(abspath $(BUILD))/test-device
soak: build
	SOAK_DAYS=$(SOAK_DAYS) $(TEST_DEVICE) session -- $(TEST_DEVICE) --capture soak_tests.exe
fuzz: build
	FUZZ_SEEDS=$(SEEDS) $(TEST_DEVICE) session -- $(TEST_DEVICE) --capture fuzz_tests.exe

# The benchmarks, on the QVGA and the VGA device; figures in build/bench-*.json.
bench: build
	$(TEST_DEVICE) session --profiles "qvga vga" -- bash -c '\
		DEVICE_PROFILE=qvga $(TEST_DEVICE) --capture mesolune_bench.exe $(abspath $(BUILD))/bench-qvga.json && \
		DEVICE_PROFILE=vga $(TEST_DEVICE) --capture mesolune_bench.exe $(abspath $(BUILD))/bench-vga.json'

clean:
	rm -rf $(BUILD) $(UBSAN_BUILD)
