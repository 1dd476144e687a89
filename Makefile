# Tavlin: the two commands of the quick start are `make demo` and `make check`.
#
#   make          install what is missing, build into build/ (executables in build/bin/)
#   make check    install, build, run every test (unit, ui, e2e), the sanitizer
#                 build of the unit tests and a short fuzzing run
#   make package  build the Debian package build/package/tavlin_<version>_amd64.deb
#                 and check it with lintian
#   make repo     build a signed apt repository of the package in build/repo
#   make piuparts install, upgrade and purge the package in a clean Debian 12
#                 with piuparts (root, network to a Debian mirror)
#   make bench    build and run the benchmarks
#   make demo     run Tavlin against the bundled sample back end
#   make format   format the sources with clang-format

BUILD       ?= build
ASAN_BUILD  ?= build-asan
FUZZ_BUILD  ?= build-fuzz
FUZZ_SECONDS ?= 20
JOBS        ?= $(shell nproc)

# Debian packages the build, the tests and the benchmarks need.
DEBIAN_PACKAGES := cmake ninja-build g++ make pkg-config binutils clang clang-format \
                   libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev libssl-dev \
                   qt6-base-dev qt6-declarative-dev qt6-webengine-dev libgl-dev libcpp-httplib-dev \
                   qt6-multimedia-dev gstreamer1.0-plugins-good gstreamer1.0-plugins-base \
                   gstreamer1.0-plugins-base-apps libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libgl1-mesa-dri \
                   libturbojpeg0-dev libjpeg-turbo-progs openssl qt6-translations-l10n \
                   libxcb1-dev libnss3-dev p11-kit-modules ca-certificates openbox xdotool lintian appstream desktop-file-utils \
                   fonts-arphic-uming fonts-noto-cjk xvfb xauth x11-utils imagemagick \
                   dbus at-spi2-core python3-pyatspi \
                   mutter qt6-wayland libwayland-dev wayland-protocols \
                   apt-utils gnupg debconf strace locales \
                   libcups2-dev cups-daemon cups-client cups-ipp-utils cups-filters poppler-utils avahi-daemon

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build test check sanitize fuzz bench demo package repo piuparts format clean

all: build

deps:
	@missing=""; \
	for p in $(DEBIAN_PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' "$$p" 2>/dev/null | grep -q '^install ok installed$$' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing Debian packages:$$missing"; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

sanitize: deps
	@[ -f $(ASAN_BUILD)/build.ninja ] || cmake -S . -B $(ASAN_BUILD) -G Ninja \
	  -DCMAKE_BUILD_TYPE=Debug -DTAVLIN_SANITIZE=ON -DTAVLIN_BUILD_BENCH=OFF -DTAVLIN_WITH_QT=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -L unit -j $(JOBS)

fuzz: deps
	@[ -f $(FUZZ_BUILD)/build.ninja ] || CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVLIN_FUZZ=ON -DTAVLIN_BUILD_BENCH=OFF -DTAVLIN_WITH_QT=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@set -e; for f in $(FUZZ_BUILD)/bin/fuzz_*; do \
	  name=$$(basename $$f); mkdir -p $(FUZZ_BUILD)/corpus/$$name; \
	  echo "== $$name for $(FUZZ_SECONDS) s"; \
	  if ! $$f -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -print_final_stats=1 \
	      $(FUZZ_BUILD)/corpus/$$name tests/fuzz/seeds/$$name > $(FUZZ_BUILD)/$$name.log 2>&1; then \
	    tail -n 60 $(FUZZ_BUILD)/$$name.log; echo "$$name found a fault" >&2; exit 1; \
	  fi; \
	  tail -n 6 $(FUZZ_BUILD)/$$name.log; \
	done

check: deps
	$(MAKE) test
	$(MAKE) sanitize
	$(MAKE) fuzz
	@echo "make check: every test passed"

bench: build
	$(BUILD)/bin/bench_support
	$(BUILD)/bin/bench_startup
	QT_QPA_PLATFORM=offscreen $(if $(filter 0,$(shell id -u)),QTWEBENGINE_DISABLE_SANDBOX=1) \
	  $(BUILD)/bin/bench_photo 2>/dev/null
	$(if $(filter 0,$(shell id -u)),QTWEBENGINE_DISABLE_SANDBOX=1) \
	  tests/run-under-xvfb.sh $(BUILD)/bin/bench_camera 2>/dev/null
	tests/run-under-xvfb.sh $(BUILD)/bin/bench_navigation
	tests/run-under-xvfb.sh bench/idle.sh $(BUILD)

demo: build
	tools/demo.sh

package: build
	cd $(BUILD) && cpack -G DEB
	lintian --fail-on error,warning --suppress-tags binary-has-unneeded-section \
	  $(BUILD)/package/tavlin_*_amd64.deb
	@ls $(BUILD)/package/tavlin_*_amd64.deb

repo: package
	tools/make-repo.sh $(BUILD)/repo $(BUILD)/package/tavlin_*_amd64.deb

piuparts: package
	tools/piuparts.sh $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
