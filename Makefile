# The two commands a user needs:
#   make demo   installs what is missing, builds, and runs the monitor on a demo catalogue
#   make test   installs what is missing, builds with sanitizers, and runs every test,
#               then the thread tests once more with ThreadSanitizer (make tsan)
BUILD_DIR ?= build
TEST_DIR  ?= build/asan
TSAN_DIR  ?= build/tsan
FUZZ_DIR  ?= build/fuzz
JOBS      ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: setup build test tsan demo fuzz bench clean

setup:
	@scripts/setup

build: setup
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVT_BUILD_TESTS=OFF
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: setup
	cmake -S . -B $(TEST_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKVT_SANITIZE=ON -DKVT_BUILD_BENCH=OFF
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600
	$(MAKE) --no-print-directory tsan

# ThreadSanitizer cannot run beside AddressSanitizer, so the programs labelled "threads" get
# a build of their own; only they are built and run.
tsan: setup
	cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVT_SANITIZE_THREAD=ON -DKVT_BUILD_BENCH=OFF
	cmake --build $(TSAN_DIR) --target kvt_thread_tests -j $(JOBS)
	cd $(TSAN_DIR) && ctest --output-on-failure -L threads -j $(JOBS) --timeout 600

demo: build
	scripts/demo $(BUILD_DIR)

bench: build
	scripts/bench $(BUILD_DIR)

fuzz: setup
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKVT_FUZZ=ON -DKVT_BUILD_GUI=OFF -DKVT_BUILD_TESTS=OFF -DKVT_BUILD_BENCH=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	scripts/fuzz $(FUZZ_DIR) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR)
