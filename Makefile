# The two commands of the README:
#   make test   install what is missing, build the three trees, run every test
#   make demo   build, then run setup.exe on a copy of examples/medium under Wine
# Further: make build, make dist (the publisher's kit), make fuzz (longer fuzzing), make bench,
# make clean, and make test32 (the shipped i686 setup.exe under test in a guest with 32-bit
# Wine; tools/vm32).
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 5

.PHONY: all deps configure build test test32 demo dist fuzz bench clean

all: build

deps:
	@tools/install-deps.sh

# The toolchain file goes only to a tree that is being made: a configured tree keeps it, and
# CMake warns about one passed again.
toolchain = $(if $(wildcard $(BUILD)/$(1)/CMakeCache.txt),,-DCMAKE_TOOLCHAIN_FILE=cmake/$(2).cmake)

# Configuring every time is cheap and lets CMAKE_FLAGS (branding) take effect at once.
# The host tree's setuplst fills in the sample medium's figures in the x86_64 tree: it is
# built first.
configure: deps
	cmake -S . -B $(BUILD)/win32 -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
	  $(call toolchain,win32,mingw-i686) -DSETUPLST_TOOL=$(abspath $(BUILD))/host/setuplst \
	  $(CMAKE_FLAGS) >/dev/null
	cmake -S . -B $(BUILD)/win64 -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
	  $(call toolchain,win64,mingw-x86_64) -DSETUPLST_TOOL=$(abspath $(BUILD))/host/setuplst \
	  $(CMAKE_FLAGS) >/dev/null
	CC=clang CXX=clang++ cmake -S . -B $(BUILD)/host -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DFUZZ_SECONDS=$(FUZZ_SECONDS) $(CMAKE_FLAGS) >/dev/null

build: configure
	cmake --build $(BUILD)/host -j $(JOBS) --target setuplst
	cmake --build $(BUILD)/win32 -j $(JOBS)
	cmake --build $(BUILD)/win64 -j $(JOBS) --target all windows_tests e2e_scenarios
	cmake --build $(BUILD)/host -j $(JOBS)

test: build
	@tools/run-tests $(BUILD)

# The guest's image is made once into $(BUILD)/vm32 and again only when its recipe changes.
test32: configure
	@tools/install-deps.sh test32
	cmake --build $(BUILD)/host -j $(JOBS) --target setuplst
	cmake --build $(BUILD)/win32 -j $(JOBS) --target all test32
	@tools/vm32/test32 $(BUILD)

demo: build
	@tools/demo $(BUILD)

dist: build
	@tools/make-dist $(BUILD)

fuzz: configure
	cmake -S . -B $(BUILD)/host -DFUZZ_SECONDS=$(or $(FUZZ_LONG),300) >/dev/null
	cmake --build $(BUILD)/host -j $(JOBS)
	cd $(BUILD)/host && ctest -R '^fuzz\.' -V
	cmake -S . -B $(BUILD)/host -DFUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null

bench: build
	@tools/bench $(BUILD)

clean:
	-tools/wine-run --prefix $(BUILD)/win64/wineprefix --stop
	rm -rf $(BUILD)
