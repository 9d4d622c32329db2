# Front door. `make run` and `make test` install whatever is missing first.
.PHONY: all deps build run test test-unit test-asan bench fuzz install package clean format

all: build

deps:
	@scripts/install-deps

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default

# The widget host on the built widget; it prints the address to open.
# PORT=N picks another port than the host's default.
run: build
	./build/gloam serve --widget build/widget/Gloam.wdgt $(if $(PORT),--port $(PORT))

test: build
	ctest --preset default
	@$(MAKE) --no-print-directory test-asan

# The unit tests and the fuzz corpora once more, built with AddressSanitizer
# and UndefinedBehaviorSanitizer in build-asan/ (the benchmarks are not
# built there, and the browser tests run only in the build above).
test-asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan --target gloam_tests fuzz_replays
	ctest --preset asan -LE 'e2e|package'

# The Google Benchmark cases, then gloam beside xplanet in one run, each
# target as a ratio (bench/vs-xplanet installs xplanet when missing).
bench: build
	./build/gloam_bench
	bench/vs-xplanet

# Each fuzz target runs for FUZZ_SECONDS over a fresh copy of its seed corpus
# (fuzz/corpus/<Target>/); crashes land in build-fuzz/artifacts/<Target>/.
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz --target fuzzers
	@set -e; for src in fuzz/*.cpp; do \
	    name=$$(basename "$$src" .cpp); \
	    work=build-fuzz/corpus/$$name; artifacts=build-fuzz/artifacts/$$name; \
	    rm -rf "$$work"; mkdir -p "$$work" "$$artifacts"; \
	    if [ -d "fuzz/corpus/$$name" ]; then cp -R "fuzz/corpus/$$name/." "$$work/"; fi; \
	    echo "fuzz: $$name for $(FUZZ_SECONDS) s"; \
	    "build-fuzz/$$name" -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	        -artifact_prefix="$$artifacts/" "$$work"; \
	done

install: build
	cmake --install build

# build/gloam_<version>_<arch>.deb: the command, the widget, the manual page,
# the completion and the user unit, under /usr.
package: build
	cmake --build build --target package

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-asan build-fuzz
