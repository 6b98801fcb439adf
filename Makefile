# The two commands of the README: `make run` and `make test`.
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
# How long each fuzz target runs in `make fuzz`, in seconds.
FUZZ_SECONDS ?= 60
FUZZ_CXX ?= clang++-14
JOBS ?= $(shell nproc)
# CI sets WERROR=ON in the environment: warnings fail its build.
WERROR ?= OFF
# ccache, when installed, shares compiled objects between build folders and checkouts.
CCACHE := $(shell command -v ccache 2>/dev/null)
CMAKE_CONFIGURE = cmake -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOMEKEEPER_WERROR=$(WERROR) \
	$(if $(CCACHE),-DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE))

.PHONY: all deps build run test test-sanitize bench clean
.PHONY: fuzz

all: build

deps:
	@scripts/install-deps.sh

build: deps
	$(CMAKE_CONFIGURE) -S . -B $(BUILD_DIR) >/dev/null
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD_DIR)/src/tomekeeper

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The core and its tests under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	$(CMAKE_CONFIGURE) -DTOMEKEEPER_SANITIZE=ON -S . -B $(SANITIZE_DIR) >/dev/null
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

# Every fuzz target for FUZZ_SECONDS seconds, built with clang, libFuzzer, ASan
# and UBSan in FUZZ_DIR; seeded from the inputs the tests build (README, "Fuzzing").
fuzz: deps
	@scripts/install-deps.sh --fuzz
	$(CMAKE_CONFIGURE) -S . -B $(BUILD_DIR) >/dev/null
	cmake --build $(BUILD_DIR) -j $(JOBS) --target $$(fuzz/make-seeds.sh --tests)
	fuzz/make-seeds.sh $(BUILD_DIR) $(FUZZ_DIR)/seeds
	$(CMAKE_CONFIGURE) -DCMAKE_CXX_COMPILER=$(FUZZ_CXX) -DTOMEKEEPER_FUZZ=ON -S . -B $(FUZZ_DIR) >/dev/null
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	fuzz/run.sh $(FUZZ_DIR) $(FUZZ_DIR)/seeds $(FUZZ_SECONDS)

# SEARCHBENCH_ARGS="--pages 1000" for a quick run; the full one writes about
# 1.5 GB under /tmp and deletes it afterwards, firstpagebench about 1.1 GB
# (FIRSTPAGEBENCH_ARGS="--pages 10,200" for a quick run).
bench: build
	$(BUILD_DIR)/bench/zipbench
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/bench/firstpagebench $(FIRSTPAGEBENCH_ARGS)
	$(BUILD_DIR)/bench/searchbench $(SEARCHBENCH_ARGS)

# The Debian package, made by CPack from the build folder, then unpacked and
# checked, lintian included: build/tomekeeper_<version>_<arch>.deb.
.PHONY: deb
deb: build
	cmake --build $(BUILD_DIR) --target deb

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)
	rm -rf $(FUZZ_DIR)
