#!/usr/bin/env bash
# tagsifter find against exiftool over the same folder: the test images copied COPIES times
# (default 21: 441 files). The first search starts with an empty dump cache, the second is a
# new process with the cache the first wrote.
# Usage: benchmarks/find_bench.sh BUILD_DIR [COPIES]
set -euo pipefail
build=$(cd "${1:?usage: find_bench.sh BUILD_DIR [COPIES]}" && pwd)
copies=${2:-21}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for i in $(seq 1 "$copies"); do
    mkdir -p "$work/library/copy$i"
    cp "$here"/../tests/data/corpus/*.jpg "$work/library/copy$i/"
done
export XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config
seconds() { local start=$(date +%s.%N); "$@" >/dev/null; echo "$(date +%s.%N) - $start" | bc -l; }
exiftool=$(seconds exiftool -r -ext jpg "$work/library")
first=$(seconds "$build/src/tagsifter" find Canon "$work/library")
second=$(seconds "$build/src/tagsifter" find Canon "$work/library")
images=$(find "$work/library" -name '*.jpg' | wc -l)
printf 'find: %d images; exiftool -r -ext jpg %.2f s\n' "$images" "$exiftool"
printf 'find: first tagsifter find %.2f s = %.2fx of exiftool\n' "$first" "$(echo "$first / $exiftool" | bc -l)"
printf 'find: second, with the dump cache %.3f s = %.3fx of exiftool\n' "$second" "$(echo "$second / $exiftool" | bc -l)"
