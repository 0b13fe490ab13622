# Set-up and everyday commands. `make run` and `make test` work on a fresh
# Debian 12 machine: they install what is missing first.
PRESET ?= default
APP ?= hueshelf
FUZZ_SECONDS ?= 60
PREFIX ?= /usr/local

APP_BIN_hueshelf   = hueshelf/Hueshelf
APP_BIN_slideshelf = slideshelf/Slideshelf
APP_BIN_qvxtrace   = tools/qvxtrace/qvxtrace

.PHONY: all deps configure build run test asan soak bench fuzz install package sdk-check docs clean

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	cmake --preset $(PRESET)

build: configure
	cmake --build --preset $(PRESET)

run:
	@$(MAKE) --no-print-directory build PRESET=default
	./build/default/$(APP_BIN_$(APP))

test:
	@$(MAKE) --no-print-directory build PRESET=ci
	ctest --preset ci

asan:
	@$(MAKE) --no-print-directory build PRESET=asan
	ctest --preset asan

# The demo headless for 100,000 frames under ASan and LSan, with faults
# injected from a fresh seed (printed; SOAK_SEED=n repeats a run).
SOAK_FRAMES ?= 100000
soak: deps
	cmake --preset asan
	cmake --build build/asan --target qvxdemo qvxtrace
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp QT_QPA_PLATFORM=offscreen \
	  ./tests/demo/run_soak.sh build/asan/examples/qvxdemo/qvxdemo build/asan/tools/qvxtrace/qvxtrace \
	  $(SOAK_FRAMES) $(SOAK_SEED)

bench:
	@$(MAKE) --no-print-directory build PRESET=default
	./scripts/run-benches.sh build/default

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz --target fuzzers
	./scripts/run-fuzzers.sh build/fuzz $(FUZZ_SECONDS)

# The programs, menu entries, icons and file types, and the game library
# (headers, libraries, CMake package, pkg-config), through CMake's install
# rules: `make install PREFIX=~/.local`, or `make install DESTDIR=/tmp/pkg`.
install: build
	DESTDIR="$(DESTDIR)" cmake --install build/$(PRESET) --prefix "$(PREFIX)"

# The Debian packages qvx-asset-tools and libqvx-dev, in build/$(PRESET)/packages.
package: build
	rm -f build/$(PRESET)/packages/*.deb
	cd build/$(PRESET) && cpack --config CPackConfig.cmake

# A game built outside this tree against a staged install and against the
# unpacked packages, run headless; a pkg-config program; lintian.
sdk-check: package
	./scripts/sdk-check.sh build/$(PRESET)

# The API reference, from the installed headers: build/$(PRESET)/docs/html.
docs: build
	./scripts/make-docs.sh build/$(PRESET)

clean:
	rm -rf build
