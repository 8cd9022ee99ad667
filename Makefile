# Morvane: build, run and test from a fresh Debian machine.
#   make run    install what is missing, build, start the program (under Xvfb
#               with a screenshot in build/morvane.png when there is no display)
#   make test   the whole suite
#   make dist   the release in dist/: MSI, portable zip, SHA256SUMS
.PHONY: all deps build native cross run test prefix corpus fuzz clean screenshots scale-screenshots high-contrast-screenshot bench dist

BUILD   := build
NATIVE  := $(BUILD)/native
PREFIX_TEMPLATE := $(abspath $(BUILD))/wine-template
JOBS    ?= 2
# The release's version; `make dist VERSION=1.5.1` builds another.
VERSION ?= $(shell sed -n 's/^set.MORVANE_VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)

PACKAGES := g++-mingw-w64-x86-64-posix mingw-w64-tools cmake ninja-build \
            wine wine64 fonts-wine xvfb xauth x11-utils imagemagick \
            googletest clang libclang-rt-14-dev python3 \
            libwin-hivex-perl ansible ansible-lint libxml2-utils \
            wixl msitools osslsigncode faketime zip openssl

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

all: build

# Installs only the packages that are missing.
deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	    echo "Installing:" $$missing; \
	    $(SUDO) apt-get update -qq && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing >/dev/null; \
	fi

native: deps
	cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(NATIVE) -j $(JOBS)

cross: deps native
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	    -DMORVANE_NATIVE_DIR=$(abspath $(NATIVE)) \
	    -DMORVANE_PREFIX_TEMPLATE=$(PREFIX_TEMPLATE) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

build: cross

run: build
	tools/run.sh $(BUILD)/morvane.exe $(BUILD)/morvane.png

# The template Wine prefix for tests: made once per build folder.
prefix: deps
	tests/wine/prefix.sh template $(PREFIX_TEMPLATE)

# Real-world GIFs for the replay of the GIF walk's fuzz target (not committed);
# without them the replay reports itself skipped.
corpus: deps
	tools/fuzz_corpus.sh || echo "GIF seed corpus unavailable: its replay will be skipped"

test: build prefix corpus
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

fuzz: deps
	tools/fuzz.sh

# The five pages under Xvfb, each selected by a real tab click:
# build/screenshot-<page>.png.
screenshots: build prefix
	tools/screenshots.sh $(BUILD)/morvane.exe $(BUILD)/tests/tab_clicker.exe $(PREFIX_TEMPLATE) $(BUILD)

# The window at 100 % and 150 % display scale under Xvfb:
# build/scale-100.png and build/scale-150.png.
scale-screenshots: build prefix
	tools/scale_screenshot.sh $(BUILD)/morvane.exe $(PREFIX_TEMPLATE) 96 $(BUILD)/scale-100.png
	tools/scale_screenshot.sh $(BUILD)/morvane.exe $(PREFIX_TEMPLATE) 144 $(BUILD)/scale-150.png

# The window with high contrast on under Xvfb: build/high-contrast.png.
high-contrast-screenshot: build prefix
	tools/high_contrast_screenshot.sh $(BUILD)/tests/high_contrast_morvane.exe $(PREFIX_TEMPLATE) $(BUILD)/high-contrast.png

# Start-up, registry, click and animation costs under Wine, each beside its
# floor, in a throwaway prefix; the table also goes to build/bench.txt. The
# floors and measuring programs are built only here.
bench: build prefix
	cmake --build $(BUILD) --target bench_programs -j $(JOBS)
	tools/bench.sh $(BUILD) $(PREFIX_TEMPLATE)

# The release in dist/, from executables built for it in build/release-VERSION.
# Signed when SIGN_CERT and SIGN_KEY (or SIGN_PKCS12, with SIGN_PASSWORD in
# the environment) are given; SIGN_TIMESTAMP names a time-stamp server.
dist: deps
	JOBS=$(JOBS) tools/dist.sh release $(VERSION) $(BUILD)/release-$(VERSION) dist

clean:
	rm -rf $(BUILD)
