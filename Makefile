# Two commands set everything up: `make run` and `make test`.
BUILD_DIR ?= build
CMAKE_FLAGS ?=

.PHONY: all bootstrap configure build run test bench bench-speech fuzz deb clean

all: build

bootstrap:
	scripts/bootstrap

configure: bootstrap
	cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR)

run: build
	$(BUILD_DIR)/src/app/sayloom $(ARGS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure --timeout 300 $(CTEST_ARGS)

bench: build
	scripts/run-benchmarks $(BUILD_DIR)

# The speech benchmark synthesises its corpus and takes minutes, so `make bench` leaves it out.
bench-speech: build
	$(BUILD_DIR)/bench/speech/speech_corpus $(ARGS)

# Fuzz targets need clang's libFuzzer; they live in their own build folder.
fuzz:
	scripts/bootstrap --fuzz
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DSAYLOOM_BUILD_FUZZERS=ON -DSAYLOOM_BUILD_TESTS=OFF -DSAYLOOM_BUILD_BENCHMARKS=OFF
	cmake --build build-fuzz

# A Debian package of a release build, without tests or benchmarks, in build-deb/sayloom_<version>_<arch>.deb.
deb: bootstrap
	cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
		-DSAYLOOM_BUILD_TESTS=OFF -DSAYLOOM_BUILD_BENCHMARKS=OFF -DSAYLOOM_BUILD_FUZZERS=OFF
	cmake --build build-deb
	cd build-deb && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR) build-fuzz build-deb
