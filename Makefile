# The two set-up commands of a fresh Debian machine: `make run` and `make check`.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
DEVICE := device/device --bin $(abspath $(BUILD))/bin
CTEST_PROFILES := qvga vga qvga131
PROFILE ?= qvga
RUN_ARGS ?=

.PHONY: all deps configure build run check clean

all: build

deps:
	@device/install-deps

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@$(DEVICE) --profile $(PROFILE) --root $(abspath $(BUILD))/device setup
	@if [ -n "$$DISPLAY" ]; then \
		$(DEVICE) --profile $(PROFILE) --root $(abspath $(BUILD))/device today $(RUN_ARGS); \
	else \
		$(DEVICE) --profile $(PROFILE) --root $(abspath $(BUILD))/device today $(RUN_ARGS) \
			--screenshot $(abspath $(BUILD))/today-$(PROFILE).png && \
		echo "No display: the Today screen is in $(abspath $(BUILD))/today-$(PROFILE).png"; \
	fi

check: build
	$(DEVICE) --root $(abspath $(BUILD))/test-device session --profiles "$(CTEST_PROFILES)" -- \
		ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
