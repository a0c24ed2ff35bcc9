# The two commands of the quick start: `make run` and `make test`.
# Both install what is missing, configure, build, then start the browser or run the suite.

# Every Debian package the project needs, for building, running and testing.
PACKAGES := cmake ninja-build g++ make pkg-config \
            qt6-base-dev qt6-declarative-dev qt6-webengine-dev qt6-webengine-dev-tools qt6-translations-l10n hunspell-en-us libxcb1-dev libpsl-dev libglib2.0-dev libpcre2-dev libqt6sql6-sqlite libsecret-1-dev \
            webext-ublock-origin-chromium \
            fonts-noto-cjk libgl1-mesa-dri \
            rime-data-pinyin-simp \
            xvfb xauth xdotool x11-utils xdg-user-dirs imagemagick python3 openssl poppler-utils \
            dbus-daemon gnome-keyring libsecret-tools

# What `make bench` needs besides: Chromium to compare with, the X library the responsiveness
# benchmark listens with. Not for the suite: CI's `make test` goes without them.
BENCH_PACKAGES := chromium python3-xlib

SANITIZE ?= 0
ifeq ($(SANITIZE),1)
BUILD ?= build-sanitize
CMAKE_FLAGS += -DSABLIX_SANITIZE=ON
# What lies inside Qt and the engine, not ours: tests/support/sanitizers/*.supp say why.
# new_delete_type_mismatch: the engine's own sized deletes (inside libQt6WebEngineCore, in
# WebContentsAdapter's destructor) are reported on every page closed; none is ours.
export ASAN_OPTIONS := detect_leaks=1:abort_on_error=1:strict_init_order=1:new_delete_type_mismatch=0:$(ASAN_OPTIONS)
export LSAN_OPTIONS := suppressions=$(CURDIR)/tests/support/sanitizers/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS := print_stacktrace=1:halt_on_error=1:suppressions=$(CURDIR)/tests/support/sanitizers/ubsan.supp
else
BUILD ?= build
endif
JOBS ?= $(shell nproc)
FUZZ_RUNS ?= 1000000

.PHONY: run test test-newer-qt bench bench-setup fuzz reliability install setup configure build clean check-display

run: check-display build
	$(BUILD)/bin/sablix

# All tests but the benchmarks, or those whose labels match TEST_LABELS (e.g. 'unit|engine').
TEST_LABELS ?=
# A sanitizer report fails the run even where the test itself passed (a program whose exit
# status nobody checks): CTest keeps every test's output in LastTest.log.
SANITIZER_REPORT := runtime error:|ERROR: (Address|Leak)Sanitizer|SUMMARY: (Address|Leak|UndefinedBehavior)Sanitizer

test: build
	cd $(BUILD) && ctest --output-on-failure --label-exclude bench $(if $(TEST_LABELS),--label-regex '$(TEST_LABELS)') -j $(JOBS)
ifeq ($(SANITIZE),1)
	@if grep -E -m 20 '$(SANITIZER_REPORT)' $(BUILD)/Testing/Temporary/LastTest.log; then \
	  echo "sanitizer reports above: see $(BUILD)/Testing/Temporary/LastTest.log"; exit 1; fi
endif

# The suite against the newer Qt of Debian 13, in a Debian 13 tree made with debootstrap in
# build-newer-qt/ (kept for the next run; several GB). Not part of CI. Root only; installs
# debootstrap on this machine with apt-get when it is missing. TEST_LABELS works as for test.
test-newer-qt:
	JOBS=$(JOBS) tests/newer-qt/run.sh $(if $(TEST_LABELS),TEST_LABELS='$(TEST_LABELS)')

bench: build bench-setup
	cd $(BUILD) && ctest --output-on-failure --verbose --label-regex bench

# Each fuzz target guided by coverage (libFuzzer, ASan, UBSan) for FUZZ_SECONDS when clang
# can build it; otherwise the seeded random driver, FUZZ_RUNS inputs (a million) each.
FUZZ_SECONDS ?= 600
fuzz: build
	@if command -v clang++ >/dev/null 2>&1 && echo 'extern "C" int LLVMFuzzerTestOneInput(const char *, unsigned long) { return 0; }' | \
	    clang++ -x c++ -fsanitize=fuzzer - -o /dev/null 2>/dev/null; then \
	  { test -f build-fuzz/build.ninja || cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DSABLIX_LIBFUZZER=ON; } && \
	  cmake --build build-fuzz -j $(JOBS) --target sablix-libfuzzer && \
	  tests/fuzz/libfuzzer.sh build-fuzz/bin/sablix-libfuzzer $(FUZZ_SECONDS); \
	else \
	  echo "clang with libFuzzer not found: the seeded random driver runs instead"; \
	  for target in ini list address instance filters; do \
	    $(BUILD)/bin/sablix-fuzz $$target $(FUZZ_RUNS) $${FUZZ_SEED:-1} tests/fuzz/corpus/$$target tests/fuzz/regressions/$$target || exit 1; \
	  done; \
	fi

# The reliability figures: fuzzing, the kill -9 soak, the sandbox, the socket under load
# (SOAK_RUNS, FUZZ_RUNS), and the sanitizers' unit suite when `make test SANITIZE=1` ran.
reliability: build
	tests/reliability/run.sh $(BUILD) build-sanitize

# make install PREFIX=/opt/sablix (default /usr/local); DESTDIR works as usual.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

check-display:
	$(if $(DISPLAY)$(WAYLAND_DISPLAY),,$(error no display found (DISPLAY is not set): run sablix from a desktop session, or use 'make test' for the headless suite))

# Installs the packages of $(1) that are missing, with apt-get (through sudo when not root).
define install_missing
	@missing=""; \
	for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  if [ "$$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi; \
	  $$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q && \
	  $$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi
endef

setup:
	$(call install_missing,$(PACKAGES))

bench-setup:
	$(call install_missing,$(BENCH_PACKAGES))

configure: setup
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

clean:
	rm -rf $(BUILD)
