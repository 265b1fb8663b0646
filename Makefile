# Entry points for a newcomer: `make demo` and `make test`.
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
FUZZ_SECONDS ?= 20
JOBS       ?= $(shell nproc)

.PHONY: deps build build-asan demo test test-plain test-asan test-fuzz install clean

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

# A short run of the design-file loader's fuzz target (clang's libFuzzer),
# starting from the sample sheets.
test-fuzz: deps
	cmake -S . -B $(BUILD_FUZZ) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DNW_BUILD_FRONTEND=OFF -DNW_TEST_DIRS=dgn
	cmake --build $(BUILD_FUZZ) --target fuzz_dgn_load -j $(JOBS)
	rm -rf $(BUILD_FUZZ)/corpus && mkdir -p $(BUILD_FUZZ)/corpus
	cp tests/dgn/data/*.dgn $(BUILD_FUZZ)/corpus/
	@echo "fuzzing the design-file loader for $(FUZZ_SECONDS) s (log: $(BUILD_FUZZ)/fuzz.log)"
	@$(BUILD_FUZZ)/bin/fuzz_dgn_load -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	  $(BUILD_FUZZ)/corpus > $(BUILD_FUZZ)/fuzz.log 2>&1 || { tail -60 $(BUILD_FUZZ)/fuzz.log; exit 1; }
	@grep -E "^Done|number_of_executed_units|new_units_added" $(BUILD_FUZZ)/fuzz.log

# The whole suite: a short fuzzing run of the file loader, then an ordinary
# build and a sanitizer build, each tested.
test: test-fuzz test-plain test-asan

install: build
	cmake --install $(BUILD) --prefix $(or $(PREFIX),/usr/local)

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ)
