# make run   - install what is missing, build, open the window on the sample bibliography
# make test  - install what is missing, build, run every test: the main build, the engine and state
#              under AddressSanitizer and UndefinedBehaviorSanitizer, and 20 s of each fuzz target
# make fuzz  - each fuzz target for FUZZ_SECONDS (default 300)
BUILD ?= build
DEBIAN_PACKAGES = cmake ninja-build g++ make qt6-base-dev qt6-translations-l10n libgtest-dev \
                  xvfb xdotool openbox x11-utils xdg-utils fonts-noto-cjk clang libclang-rt-14-dev \
                  ripgrep hyperfine time

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

FUZZ_SECONDS ?= 300

.PHONY: setup configure build test fuzz run clean

setup:
	@missing=$$(for p in $(DEBIAN_PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q $$missing; \
	fi

configure: setup
	cmake -S . -B $(BUILD) -G Ninja

build: configure
	cmake --build $(BUILD)

# The main build's tests run last, so that their summary closes the output.
test: build
	tests/fuzz/run.sh 20
	tests/sanitize.sh
	TOLVANE_SANITIZE=thread tests/sanitize.sh -R '^(Scan|FastScan|faults/)' -E LargeFile
	ctest --test-dir $(BUILD) --output-on-failure --timeout 600 -j 2

fuzz: setup
	tests/fuzz/run.sh $(FUZZ_SECONDS)

run: build
	cmake --build $(BUILD) --target sample_bibliography
	cd $(BUILD)/run && ../app/tolvane

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz
