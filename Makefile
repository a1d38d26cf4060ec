# Two commands do everything on a fresh Debian 12 machine: `make run` and `make test`.

PACKAGES := g++ cmake make pkg-config libsdl2-dev
TEST_PACKAGES := libgtest-dev xvfb libx11-dev libxtst-dev libgl1-mesa-dri desktop-file-utils
# dpkg-dev works out the package's library dependencies and Debian's build flags; CPack needs
# file to find the binaries among the files; lintian checks the package.
PACKAGE_PACKAGES := dpkg-dev file lintian
FUZZ_PACKAGES := clang libclang-rt-14-dev
BENCH_PACKAGES := libbenchmark-dev xvfb libgl1-mesa-dri
LOUDNESS_PACKAGES := sox
JOBS := $(shell nproc 2>/dev/null || echo 2)

# Installs what is missing: with apt-get as root, through sudo otherwise; when neither can,
# it stops and prints the line that would.
define install_missing
	@missing=""; \
	for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" = 0 ]; then \
	    (apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing) || \
	      { echo "Could not install. Run: apt-get install -y$$missing"; exit 1; }; \
	  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then \
	    (sudo apt-get update -qq && sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing) || \
	      { echo "Could not install. Run: sudo apt-get install -y$$missing"; exit 1; }; \
	  else \
	    echo "Missing packages. Install them with: sudo apt-get install -y$$missing"; exit 1; \
	  fi; \
	fi
endef

.PHONY: run test deps build-release build-test assets package bench fuzz bot soak loudness clean

run: build-release
	./build/release/queltivar

test: build-test
	cd build/test && ctest --output-on-failure -j $(JOBS)

deps:
	$(call install_missing,$(PACKAGES))

build-release: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

build-test: deps
	$(call install_missing,$(TEST_PACKAGES))
	cmake --preset test >/dev/null
	cmake --build --preset test -j $(JOBS)
	ln -sf build/test/compile_commands.json compile_commands.json

# The sizes of the freedesktop icon theme the desktop icon is drawn at, one file each; the
# window's icon is drawn at 64.
ICON_SIZES := 16 32 48 64 128 256

# Rebuilds every asset in assets/ from its source in assets/source.
assets: build-release
	./build/release/assets/tools/make_font assets/source/font.txt assets/font.bmp
	./build/release/assets/tools/make_map assets/source/map.txt assets/map.dat
	./build/release/assets/tools/make_spawner assets/source/spawner.txt assets/spawner.dat
	./build/release/assets/tools/make_music assets/source/music.txt assets/title.wav
	./build/release/assets/tools/make_icon assets/source/icon.txt assets/font.bmp 64 assets/icon.bmp
	for size in $(ICON_SIZES); do \
	  ./build/release/assets/tools/make_icon assets/source/icon.txt assets/font.bmp $$size \
	    assets/icons/$${size}x$${size}.png || exit 1; \
	done

# The Debian package, built with Debian's own hardening flags, in the repository's root; then
# lintian's verdict on it (its errors fail the target). MAINTAINER="Name <address>" names who answers for it.
package: deps
	$(call install_missing,$(PACKAGE_PACKAGES))
	export DEB_BUILD_MAINT_OPTIONS=hardening=+all; \
	cmake --preset package \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
	  $(if $(MAINTAINER),-DMAINTAINER="$(MAINTAINER)") >/dev/null
	cmake --build --preset package -j $(JOBS)
	rm -f build/package/queltivar_*.deb
	cd build/package && cpack
	rm -f queltivar_*.deb && cp build/package/queltivar_*.deb .
	lintian build/package/queltivar_*.deb

# Google Benchmark on a release build: the figures in the README, each beside its reference.
bench: deps
	$(call install_missing,$(BENCH_PACKAGES))
	cmake --preset bench >/dev/null
	cmake --build --preset bench -j $(JOBS)
	bash bench/run.sh $(BENCH_ARGS)

# Each fuzz target for a bounded time (FUZZ_SECONDS each), with clang's libFuzzer.
FUZZ_SECONDS ?= 60
fuzz: deps
	$(call install_missing,$(FUZZ_PACKAGES))
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash fuzz/run.sh

# The playing bot over the shipped campaign, 20 seeded runs: the figures in the README.
bot: build-test
	bash bench/bot/run_bot.sh

# One pass of the title music and a minute of the bot's play, recorded by SDL's disk driver.
loudness: build-release build-test
	$(call install_missing,$(LOUDNESS_PACKAGES))
	bash bench/bot/loudness.sh

# At least an hour of game time, game after game, invariants checked every frame.
soak: build-test
	bash bench/bot/run_soak.sh

clean:
	rm -rf build compile_commands.json
