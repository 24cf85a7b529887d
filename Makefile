# Tolvek: every target installs what is missing, then builds incrementally.
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: deps deps-test deps-fuzz deps-package build build-tests run demo test bench clean fault fuzz \
        fuzz-build fuzz-smoke ci-fresh format format-check layering-check package install screenshots
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60
FAULT_KILLS  ?= 100
# The C++ sources clang-format keeps in shape (.clang-format; clang-format 14, Debian 12's).
FORMAT_FILES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench tools fuzz -name '*.cpp' -o -name '*.h')

deps:
	@./scripts/install-deps.sh run
deps-test:
	@./scripts/install-deps.sh test
deps-fuzz:
	@./scripts/install-deps.sh fuzz
deps-package:
	@./scripts/install-deps.sh package

define configure_and_build
	@cmake --preset default -B $(BUILD) $(1) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)
endef

# The program alone: no compilers beyond g++, no test tools.
build: deps
	$(call configure_and_build,-DTOLVEK_BUILD_TESTS=OFF)

build-tests: deps-test
	$(call configure_and_build,-DTOLVEK_BUILD_TESTS=ON)

run: build
	$(BUILD)/tolvek

demo: build
	./scripts/demo.sh $(BUILD)

# Pictures of every interface language (main window, a dialog, a recording, the lists) in
# $(BUILD)/screenshots, made under a private Xvfb display.
# The build folder keeps its own settings (a test build stays one); only the program and the
# sample maker are built.
screenshots: deps
	@./scripts/install-deps.sh screenshots
	@cmake --preset default -B $(BUILD) >/dev/null
	@cmake --build $(BUILD) --target tolvek tolvek_samples -j $(JOBS)
	./scripts/screenshots.sh $(BUILD)

# The Debian package (CPack): build/tolvek_<version>_<arch>.deb, whose dependencies are the
# runtime libraries dpkg-shlibdeps finds in the program plus ffmpeg and the fonts.
package: deps-package
	$(call configure_and_build,-DTOLVEK_BUILD_TESTS=OFF)
	cd $(BUILD) && cpack -G DEB

# Installs the program, desktop entry, icon, metainfo and help under PREFIX (CMake's default,
# /usr/local, when not given).
install: build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

# Every test, the fuzz targets' seeds among them, and the format check; the fault tests run with
# a few kills here and with FAULT_KILLS under make fault.
test: build-tests format-check layering-check
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

format: deps-test
	@clang-format -i $(FORMAT_FILES)

# Nothing but the window's folder includes the window; no two folders of src include each other.
layering-check:
	@./scripts/check-layering.sh

format-check: deps-test
	@clang-format --dry-run --Werror $(FORMAT_FILES) || \
	  { echo "Some sources are not formatted as .clang-format says; run 'make format'." >&2; exit 1; }

fault: build-tests
	cd $(BUILD) && TOLVEK_FAULT_KILLS=$(FAULT_KILLS) ctest --output-on-failure -V -L fault
	cd $(BUILD) && TOLVEK_FAULT_KILLS=$(FAULT_KILLS) ctest --output-on-failure -V -R KilledWriteLeavesTheOldOrTheNewFile

# libFuzzer targets in a build of their own (clang, sanitizers), FUZZ_SECONDS each.
fuzz-build: deps-fuzz
	@cmake -S fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz-smoke: fuzz-build
	@cmake -S fuzz -B $(FUZZ_BUILD) -DTOLVEK_FUZZ_SECONDS=5 >/dev/null
	cd $(FUZZ_BUILD) && ctest --output-on-failure

fuzz: fuzz-build
	@cmake -S fuzz -B $(FUZZ_BUILD) -DTOLVEK_FUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null
	cd $(FUZZ_BUILD) && ctest --output-on-failure

bench: build
	@cmake --build $(BUILD) -j $(JOBS) --target benches
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done; true

# The CI run: make test on a clean clone inside a brand-new minimal Debian 12 root (as root).
ci-fresh:
	./scripts/fresh-root-test.sh

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
