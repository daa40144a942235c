# make run   installs what is missing, builds, opens the viewer on Examples/water.tsw
# make test  installs what is missing, builds, runs every test (sanitizer build, then release)

BUILD := build
ASAN_BUILD := build-asan
JOBS ?= 2

.PHONY: all deps build asan run test test-asan bench clean

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARSEL_SANITIZE=ON \
	    -DTARSEL_BENCHMARKS=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)

run: build
	./scripts/run-example.sh $(BUILD)

test-asan: asan
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# The sanitizer run comes first, so that the last summary is the release build's.
test: test-asan build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	./$(BUILD)/bench/tarsel-bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
