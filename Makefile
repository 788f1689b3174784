# Front door: `make run ARGS="new demo"` and `make test` install what is missing, build, and go.
# Packages are installed only by `make deps` (everything) and `make deps-run` (what building
# needs). `make`, `make build`, `make release` and `make install` only build; the goals that
# run something (run, the tests, fuzzing, benchmarks, packaging) install first.
JOBS ?= $(shell nproc)
ARGS ?=

PREFIX ?= /usr/local

.PHONY: all deps deps-run deps-lint lint build release run test test-parts test-part-debug test-part-fuzz-release test-debug test-release test-fuzz fuzz fuzz-build bench memcheck install uninstall package clean

all: build

deps-run:
	@bash scripts/install-deps.sh run

deps:
	@bash scripts/install-deps.sh test

deps-lint:
	@bash scripts/install-deps.sh lint

# Installing comes before building, and only when a goal on the command line runs something.
ifneq ($(filter run,$(MAKECMDGOALS)),)
release: deps-run
endif
ifneq ($(filter test test-% fuzz fuzz-build memcheck bench package,$(MAKECMDGOALS)),)
build release: deps
endif

# The builds run their own `make -j $(JOBS)`, apart from the jobserver of a `make -j` above them
# (`make test` runs its parts side by side).
CMAKE_BUILD = MAKEFLAGS= cmake --build

NO_PACKAGES = { echo "configuring failed; \`make deps\` installs the packages that building and testing need" >&2; exit 1; }

build:
	@cmake --preset debug >/dev/null || $(NO_PACKAGES)
	@$(CMAKE_BUILD) --preset debug -j $(JOBS)

# The binary alone, quietly: configured once (again when the presets change), built into
# build/release. The compiler's output is shown when the build fails, and when it warns (without
# the progress lines); under CI (CI=true) a warning fails the build, as it fails the debug build
# everywhere. Elsewhere it does not: a release build from source meets compilers newer than
# CI's, whose new warnings must not stop `make run`, but must be seen.
release:
	@if [ ! -f build/release/CMakeCache.txt ] || [ CMakePresets.json -nt build/release/CMakeCache.txt ]; then \
		cmake --preset release >/dev/null || $(NO_PACKAGES); \
	fi
	@$(CMAKE_BUILD) --preset release -j $(JOBS) --target tarnwick >build/release/build.log 2>&1 || \
		{ cat build/release/build.log >&2; exit 1; }
	@if grep -q 'warning:' build/release/build.log; then \
		grep -v -e '^\[ *[0-9]*%\]' -e 'make\[[0-9]*\]: [EL][a-z]* directory' build/release/build.log >&2; \
		if [ "$$CI" = true ]; then echo "make release: the compiler warned (above), which fails the build under CI" >&2; exit 1; fi; \
	fi

run: release
	@./build/release/tarnwick $(ARGS)

# `make test`, in parts, each timed (scripts/timed.sh), with one line at the end that gives each
# part's wall time and CPU-seconds, whether the run passed or not. Installing and the two builds
# come first, each at full speed (compiling keeps both processors busy on its own). Then two
# parts run side by side: the debug suite (under AddressSanitizer and UBSan: the debug build is
# the sanitizer build), three tests at a time, because its longest tests, the acceptance suite
# and the release rehearsals, leave processors idle while they wait on registries, local
# servers and single-threaded links; and the fuzzers, then the release binary's suite, which
# keeps its records in a directory of its own (build/debug/release-binary) and so can run while
# the debug suite does. Each part's output is shown whole when the part ends; `make test-debug`
# and the others alone show theirs as it comes.
TIMES = build/test-times
TIMED = bash scripts/timed.sh $(TIMES)

test:
	@mkdir -p build && $(TIMED) start
	@echo "make test: the debug suite runs beside the fuzzers and the release binary's suite; each part's output follows when it ends"
	@$(TIMED) deps $(MAKE) --no-print-directory deps && \
	  $(TIMED) "debug build" $(MAKE) --no-print-directory build && \
	  $(TIMED) "release build" $(MAKE) --no-print-directory release && \
	  $(MAKE) --no-print-directory -j2 --output-sync=target test-parts; \
	  status=$$?; bash scripts/timed.sh --report $(TIMES); exit $$status

test-parts: test-part-debug test-part-fuzz-release

test-part-debug:
	@$(TIMED) "debug suite" ctest --preset debug -j3

test-part-fuzz-release:
	@$(TIMED) fuzz $(MAKE) --no-print-directory test-fuzz; fuzz=$$?; \
	  $(TIMED) "release-binary suite" $(RELEASE_SUITE) && exit $$fuzz

test-debug: build
	ctest --preset debug

# The shipped binary (optimised, -no-pie, static C++ runtime) through the end-to-end tests,
# the README examples and the instruction counts, with the debug tree's test programs.
RELEASE_SUITE = env TARNWICK_BIN="$(CURDIR)/build/release/tarnwick" \
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	ctest --test-dir build/debug/release-binary -j2 --output-on-failure -L '^(e2e|docs|perf)$$'

test-release: build release
	$(RELEASE_SUITE)

fuzz-build: deps
	cmake --preset fuzz >/dev/null
	$(CMAKE_BUILD) --preset fuzz -j $(JOBS) --target fuzzers

# Every fuzz target (fuzz/fuzz_*.cpp) from its seeds in fuzz/corpus and the corpus kept on this
# machine, which grows (fuzz/run.sh). The seconds are the whole run's, shared evenly among the
# targets: 90 CPU-seconds in `make test`, 15 CPU-minutes in `make fuzz`.
test-fuzz: fuzz-build
	bash fuzz/run.sh "$(CURDIR)/build/fuzz" 90

fuzz: fuzz-build
	bash fuzz/run.sh "$(CURDIR)/build/fuzz" 900

# Unit tests under valgrind memcheck, and every tarnwick run of the end-to-end tests too, from a
# debug build of their own: valgrind cannot run the sanitizer build.
memcheck: deps
	cmake --preset memcheck >/dev/null
	$(CMAKE_BUILD) --preset memcheck -j $(JOBS)
	bash scripts/memcheck.sh build/memcheck

# clang-tidy with .clang-tidy over every source file, against a compilation database of its own
# (build/lint, without the tests); any finding fails. Not part of `make test`; CI runs it as a
# job of its own. One major version, the one scripts/install-deps.sh installs.
CLANG_TIDY ?= clang-tidy-14
lint: deps-lint
	@cmake -S . -B build/lint -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_TESTS=OFF >/dev/null || $(NO_PACKAGES)
	@find src -name '*.cpp' | sort | xargs -P $(JOBS) -n 4 $(CLANG_TIDY) -p build/lint --quiet

# Side-by-side timings against peers (hyperfine); prints ratios and peak memory.
bench: deps release
	bash bench/run.sh build/release/tarnwick

# The completion scripts and the man page are built from the binary, beside it. Both goals
# take PREFIX and DESTDIR; build/release/install-records remembers what each install put down,
# and `make uninstall` with the same PREFIX and DESTDIR removes exactly that.
install: release
	$(CMAKE_BUILD) --preset release -j $(JOBS)
	@cmake -DMODE=install -DBUILD_DIR=build/release -DPREFIX="$(PREFIX)" -P cmake/install_tree.cmake

uninstall:
	@cmake -DMODE=uninstall -DBUILD_DIR=build/release -DPREFIX="$(PREFIX)" -P cmake/install_tree.cmake

package: deps release
	$(CMAKE_BUILD) --preset release -j $(JOBS)
	cd build/release && cpack -G DEB
	bash tests/package/check_deb.sh build/release/package/tarnwick_*.deb

clean:
	rm -rf build
