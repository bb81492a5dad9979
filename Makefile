# The project's entry points. Every target first runs scripts/bootstrap, which installs the
# Debian packages the project needs (quick when they are there).
JOBS ?= $(shell nproc)
CMAKE_CONFIGURE = cmake -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all bootstrap build test demo game bench clean

all: build

bootstrap:
	@scripts/bootstrap

build: bootstrap
	@$(CMAKE_CONFIGURE) -S . -B build >/dev/null
	@cmake --build build -j $(JOBS)

# Plain build, AddressSanitizer+UndefinedBehaviorSanitizer build, ThreadSanitizer build of the
# threaded tests, and a bounded libFuzzer run; the plain suite runs last, so its ctest summary
# closes the output.
test: bootstrap
	@scripts/test

demo: build
	@scripts/demo

game: build
	@build/bin/gremgame

bench: build
	@scripts/bench

clean:
	rm -rf build build-*
