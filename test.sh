#!/usr/bin/env bash
# Builds Tagsifter and runs every test: once in a normal build, once with AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
jobs=$(nproc)

# Every C++ file as clang-format writes it.
./scripts/format-check.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAGSIFTER_WERROR=ON >/dev/null
cmake --build build --parallel "$jobs"
ctest --test-dir build --output-on-failure --parallel "$jobs" --timeout 600

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTAGSIFTER_SANITIZE=ON -DTAGSIFTER_WERROR=ON >/dev/null
cmake --build build-asan --parallel "$jobs"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure --parallel "$jobs" --timeout 900 -LE nosan

# The fuzz targets of the session reader and the dump parser, and of the query language, built
# with clang where it can build libFuzzer programs, run for 30 seconds each.
if printf 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }\n' |
    clang++ -x c++ -fsanitize=fuzzer -o /dev/null - 2>/dev/null; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTAGSIFTER_FUZZ=ON -DTAGSIFTER_CALC=OFF -DTAGSIFTER_WERROR=ON >/dev/null
    cmake --build build-fuzz --parallel "$jobs" --target tagsifter_fuzz_dump tagsifter_fuzz_query
    ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build-fuzz --output-on-failure
else
    echo "clang cannot build libFuzzer programs here: the fuzz target is left out"
fi
