# The two set-up commands of a fresh machine:
#   make demo   builds the plug-in and runs the command on an example mesh
#   make test   builds everything and runs the whole test suite
# Each installs the Debian packages it lacks (apt-get, only when missing).

JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

PACKAGES = cmake ninja-build g++ clang libgtest-dev libgmock-dev

.PHONY: demo test deps plain asan

deps:
	scripts/deps.sh $(PACKAGES)

# the shipped build: g++, warnings as errors
plain: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPIN_WERROR=ON $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

# the whole suite again under AddressSanitizer, UBSan and LeakSanitizer, built by clang
asan: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSPIN_WERROR=ON -DSPIN_SANITIZE=ON \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)

demo: plain
	./build/minihost/minihost

test: plain asan
	cd build && ctest --output-on-failure -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --output-on-failure -j $(JOBS)
