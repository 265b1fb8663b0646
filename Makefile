# Entry points for a newcomer: `make demo` and `make test`.
BUILD      ?= build
BUILD_ASAN ?= build-asan
JOBS       ?= $(shell nproc)

.PHONY: deps build build-asan demo test test-plain test-asan install clean

deps:
	@./scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=Debug -DNW_SANITIZE=ON
	cmake --build $(BUILD_ASAN) -j $(JOBS)

demo: build
	./scripts/demo.sh $(BUILD)

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The whole suite: an ordinary build and a sanitizer build, each tested.
test: test-plain test-asan

install: build
	cmake --install $(BUILD) --prefix $(or $(PREFIX),/usr/local)

clean:
	rm -rf $(BUILD) $(BUILD_ASAN)
