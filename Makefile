# make run   - install what is missing, build, open the window on the sample bibliography
# make test  - install what is missing, build, run every test
BUILD ?= build
DEBIAN_PACKAGES = cmake ninja-build g++ make qt6-base-dev libgtest-dev xvfb xdotool \
                  x11-utils fonts-noto-cjk ripgrep hyperfine time

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: setup configure build test run clean

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

test: build
	ctest --test-dir $(BUILD) --output-on-failure --timeout 600

run: build
	cmake --build $(BUILD) --target sample_bibliography
	cd $(BUILD)/run && ../app/tolvane

clean:
	rm -rf $(BUILD)
