#!/usr/bin/env bash
# Fails, naming each file, when a C++ source of the project differs from what clang-format makes
# of it under the project's .clang-format. `cmake --build build --target format` mends them.
set -uo pipefail
cd "$(dirname "$0")/.."
differ=0
while IFS= read -r file; do
    if ! clang-format --style=file "$file" | cmp -s - "$file"; then
        echo "not formatted: $file"
        differ=1
    fi
done < <(git ls-files -- '*.cpp' '*.h' 2>/dev/null || find src tests benchmarks -name '*.cpp' -o -name '*.h')
exit "$differ"
