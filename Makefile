# Tolvek: every target installs what is missing, then builds incrementally.
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: deps build run demo test bench clean

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake --preset default -B $(BUILD) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/tolvek

demo: build
	./scripts/demo.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done; true

clean:
	rm -rf $(BUILD)
