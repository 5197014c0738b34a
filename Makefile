# Emberline: `make test` builds and runs every test; `make asan` does the same under sanitizers.
BUILD_DIR ?= build
ASAN_DIR ?= build-asan
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test asan clean demo install

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

asan: deps
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DEMBERLINE_SANITIZE=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# Renders the built-in demo through the plug-in at 4x oversampling and prints the report.
demo: build
	$(BUILD_DIR)/emberline-render --set Oversmp=4X --out demo-out.wav

install: build
	mkdir -p $(HOME)/.vst
	cp $(BUILD_DIR)/Emberline.so $(HOME)/.vst/

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)
