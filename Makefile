# make run   - install what is missing, build, open the window on the sample bibliography
# make test  - install what is missing, build, run every test: the engine, state and command built
#              for 64-bit Arm, the fuzz corpora replayed, the engine, state and command tests
#              and the window's under AddressSanitizer and UndefinedBehaviorSanitizer, the scan under
#              ThreadSanitizer on the scalar pair filter, the Debian package built and checked, and
#              last every test of the main build (the installed layout among them)
# make check - the quick loop: every C++ file as .clang-format lays it out, the main tree built with
#              warnings as errors, its fast tests
# make format-check - every tracked C++ file against .clang-format
# make fuzz  - each fuzz target for FUZZ_SECONDS (default 300)
# make deb   - the Debian package build/tolvane_VERSION-1_ARCH.deb, checked with lintian
# make install - the programs and their desktop files under PREFIX (default /usr/local)
# Each tree is a preset of CMakePresets.json: build/, build-aarch64/, build-fuzz/, build-asan/, ...
DEBIAN_PACKAGES = cmake ninja-build g++ make qt6-base-dev qt6-base-private-dev qt6-translations-l10n \
                  libxcb1-dev libwayland-dev qt6-wayland weston \
                  libgtest-dev xvfb xdotool openbox x11-utils x11-xserver-utils xdg-utils fonts-noto-cjk clang \
                  libclang-rt-14-dev g++-aarch64-linux-gnu \
                  desktop-file-utils appstream lintian dpkg-dev file man-db \
                  ripgrep hyperfine time stress-ng kakasi-dic edict python3 clang-format \
                  at-spi2-core python3-pyatspi dbus imagemagick

# sudo resets the environment, so the frontend is set by env on its far side.
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
APT_GET = $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get

FUZZ_SECONDS ?= 300
PREFIX ?= /usr/local
# As many builds and tests at once as the machine has cores: ctest reads CTEST_PARALLEL_LEVEL,
# Ninja takes its own count from the cores.
JOBS ?= $(shell nproc)
export CTEST_PARALLEL_LEVEL ?= $(JOBS)
# Every tree is built with warnings as errors, so that a warning cannot stay; WERROR=OFF builds
# anyway (a newer compiler's new warning).
WERROR ?= ON
configure_preset = cmake --preset $(1) -DCMAKE_COMPILE_WARNING_AS_ERROR=$(WERROR)

# Configures and builds the tree of one preset.
build_preset = $(call configure_preset,$(1)) >/dev/null && cmake --build --preset $(1)

# The package from the main tree, which is built with Debian's flags, then its checks.
make_deb = rm -f build/tolvane_*.deb && cpack --preset deb >/dev/null && \
           packaging/check_deb.sh build/tolvane_*.deb

.PHONY: setup configure build test check format-check fuzz run deb install clean

setup:
	@missing=$$(for p in $(DEBIAN_PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(APT_GET) update -q && $(APT_GET) install -y -q $$missing; \
	fi

configure: setup
	$(call configure_preset,default)

build: configure
	cmake --build --preset default

# The main build's tests run last, so that their summary closes the output.
test: build
	$(call build_preset,aarch64)
	$(call build_preset,fuzz) && ctest --preset fuzz
	$(call build_preset,asan) && ctest --preset asan
	$(call build_preset,tsan) && ctest --preset tsan
	$(make_deb)
	ctest --preset default

# The quick loop: the layout of every C++ file, then the main tree's fast tests.
check: format-check build
	ctest --preset check

# Every tracked C++ file as .clang-format has it; lists the files that differ and fails.
format-check:
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

fuzz: setup
	tests/fuzz/run.sh $(FUZZ_SECONDS)

run: build
	cmake --build --preset default --target sample_bibliography
	cd build/run && ../app/tolvane

deb: build
	$(make_deb)

install: build
	$(SUDO) cmake --install build --prefix $(PREFIX) --component Unspecified

clean:
	rm -rf build build-aarch64 build-fuzz build-asan build-tsan build-scalar
