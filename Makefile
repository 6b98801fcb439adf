# The two commands of the README: `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build run test bench clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD_DIR)/src/tomekeeper

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# SEARCHBENCH_ARGS="--pages 1000" for a quick run; the full one writes about
# 1.5 GB under /tmp and deletes it afterwards.
bench: build
	$(BUILD_DIR)/bench/zipbench
	$(BUILD_DIR)/bench/searchbench $(SEARCHBENCH_ARGS)

clean:
	rm -rf $(BUILD_DIR)
