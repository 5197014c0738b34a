# Emberline: `make test` builds and runs every test; `make asan` does the same under sanitizers;
# `make tsan` runs the concurrency tests under ThreadSanitizer.
BUILD_DIR ?= build
ASAN_DIR ?= build-asan
TSAN_DIR ?= build-tsan
# The tests that run threads against each other: the host threads stress test, the parameter
# interface, timers, the visualisation exchange, the user-interface thread with its windows and bridge,
# the window renderer and the editor opened while audio runs.
TSAN_TESTS ?= HostThreadsStress|ParamInterface|Timer|Viz|UIThread|UIEventBridge|PlatformWindow|WindowRenderer|EditorBinding
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test asan tsan clean demo install

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

# Only the two test programs are built: the plug-in module would need the sanitizer runtime from a
# host program. The first report fails the run.
tsan: deps
	cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEMBERLINE_TSAN=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(TSAN_DIR) -j $(JOBS) --target CoreTests ProductTests
	cd $(TSAN_DIR) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  ctest --output-on-failure -j $(JOBS) -R '$(TSAN_TESTS)'

# Renders the built-in demo through the plug-in at 4x oversampling and prints the report.
demo: build
	$(BUILD_DIR)/emberline-render --set Oversmp=4X --out demo-out.wav

install: build
	mkdir -p $(HOME)/.vst
	cp $(BUILD_DIR)/Emberline.so $(HOME)/.vst/

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(TSAN_DIR)
