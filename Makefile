# The two set-up commands of a fresh machine:
#   make demo   builds the plug-in and runs the command on an example mesh
#   make test   builds everything and runs the whole test suite
# Each installs the Debian packages it lacks (apt-get, only when missing).

JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

# libclang-rt-dev holds clang's sanitizer runtimes and libFuzzer: only a
# recommendation of clang, so an install without recommends leaves it out; libopenmesh-dev: the
# tests compare the command with OpenMesh, the benchmarks time it; libbenchmark-dev: the benchmarks
PACKAGES = cmake ninja-build g++ clang libclang-rt-dev libgtest-dev libgmock-dev libopenmesh-dev libbenchmark-dev
# the minihost tool reads OBJ files and its command line with these
PACKAGES += libtinyobjloader-dev libcli11-dev
# and writes its report as JSON with this
PACKAGES += nlohmann-json3-dev
# compilers of the 32-bit and Windows builds, which only the tests need
CROSS_PACKAGES = g++-multilib g++-mingw-w64-i686 binutils-mingw-w64-i686
# the tests render the tool's SVG pictures with rsvg-convert, make a
# decimal-comma locale from the locale sources, and run valgrind on the tool
TEST_PACKAGES = librsvg2-bin locales valgrind

.PHONY: demo tool test deps cross-deps test-deps plain asan m32 win32

deps:
	scripts/deps.sh $(PACKAGES)

cross-deps:
	scripts/deps.sh $(CROSS_PACKAGES)

test-deps:
	scripts/deps.sh $(TEST_PACKAGES)

# the shipped build: g++, warnings as errors
plain: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPIN_WERROR=ON $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

# the whole suite again under AddressSanitizer, UBSan and LeakSanitizer, built by clang
asan: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSPIN_WERROR=ON -DSPIN_SANITIZE=ON \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)

# the plug-in for the 32-bit host, and a 32-bit program that reads its record
m32: deps cross-deps
	cmake -S . -B build-m32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/m32.cmake \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPIN_WERROR=ON -DSPIN_CORE_ONLY=ON
	cmake --build build-m32 -j $(JOBS)

# the plug-in as a 32-bit Windows DLL, cross-built with mingw-w64
win32: deps cross-deps
	cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPIN_WERROR=ON -DSPIN_CORE_ONLY=ON
	cmake --build build-win32 -j $(JOBS)

# the edited grid lands in build/, beside a copy of its material file, and
# its picture beside it
# the main job needs only the plug-in file and the tool, not the test suite
tool: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPIN_WERROR=ON $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS) --target plugin minihost

demo: tool
	cp examples/grid.mtl build/
	./build/minihost/minihost examples/grid.obj -o build/grid-spun.obj --svg build/grid-report.svg

test: test-deps plain asan m32 win32
	cd build && ctest --output-on-failure -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --output-on-failure -j $(JOBS)
	cd build-m32 && ctest --output-on-failure -j $(JOBS)
	cd build-win32 && ctest --output-on-failure -j $(JOBS)
