# The two commands of the quick start: `make run` and `make test`.
# Both install what is missing, configure, build, then start the browser or run the suite.

# Every Debian package the project needs, for building, running and testing.
PACKAGES := cmake ninja-build g++ make pkg-config \
            qt6-base-dev qt6-declarative-dev qt6-webengine-dev qt6-translations-l10n libxcb1-dev libpsl-dev \
            webext-ublock-origin-chromium \
            fonts-noto-cjk libgl1-mesa-dri \
            xvfb xauth xdotool x11-utils imagemagick python3 openssl

BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: run test bench install setup configure build clean check-display

run: check-display build
	$(BUILD)/bin/sablix

test: build
	cd $(BUILD) && ctest --output-on-failure --label-exclude bench -j $(JOBS)

bench: build
	cd $(BUILD) && ctest --output-on-failure --verbose --label-regex bench

# make install PREFIX=/opt/sablix (default /usr/local); DESTDIR works as usual.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

check-display:
	$(if $(DISPLAY)$(WAYLAND_DISPLAY),,$(error no display found (DISPLAY is not set): run sablix from a desktop session, or use 'make test' for the headless suite))

setup:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  if [ "$$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi; \
	  $$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q && \
	  $$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi

configure: setup
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) -G Ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

clean:
	rm -rf $(BUILD)
