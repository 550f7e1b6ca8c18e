#!/usr/bin/env bash
# Builds Tagsifter and runs every test: once in a normal build, once with AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAGSIFTER_WERROR=ON >/dev/null
cmake --build build --parallel "$jobs"
ctest --test-dir build --output-on-failure --parallel "$jobs" --timeout 600

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTAGSIFTER_SANITIZE=ON -DTAGSIFTER_WERROR=ON >/dev/null
cmake --build build-asan --parallel "$jobs"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure --parallel "$jobs" --timeout 900 -LE nosan
