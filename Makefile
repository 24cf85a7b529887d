# Tolvek: every target installs what is missing, then builds incrementally.
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: deps build run demo test bench clean fault fuzz fuzz-build fuzz-smoke
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60
FAULT_KILLS  ?= 100

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake --preset default -B $(BUILD) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/tolvek

demo: build
	./scripts/demo.sh $(BUILD)

# The fault tests run with a few kills here; make fault runs them with FAULT_KILLS.
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory fuzz-smoke

fault: build
	cd $(BUILD) && TOLVEK_FAULT_KILLS=$(FAULT_KILLS) ctest --output-on-failure -L fault
	cd $(BUILD) && TOLVEK_FAULT_KILLS=$(FAULT_KILLS) ctest --output-on-failure -V -R KilledWriteLeavesTheOldOrTheNewFile

# libFuzzer targets in a build of their own (clang, sanitizers): a few seconds each under make
# test, FUZZ_SECONDS each under make fuzz.
fuzz-build: deps
	@cmake -S fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz-smoke: fuzz-build
	@cmake -S fuzz -B $(FUZZ_BUILD) -DTOLVEK_FUZZ_SECONDS=5 >/dev/null
	cd $(FUZZ_BUILD) && ctest --output-on-failure

fuzz: fuzz-build
	@cmake -S fuzz -B $(FUZZ_BUILD) -DTOLVEK_FUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null
	cd $(FUZZ_BUILD) && ctest --output-on-failure

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done; true

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
