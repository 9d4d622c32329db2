# Front door. `make run` and `make test` install whatever is missing first.
.PHONY: all deps build run test test-unit test-asan bench fuzz install clean format

all: build

deps:
	@scripts/install-deps

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default

run: build
	./build/gloam sun

test: build
	ctest --preset default

bench: build
	./build/gloam_bench

install: build
	cmake --install build

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-asan build-fuzz
