#!/usr/bin/env bash
# A search again over a library of real camera files: the camera JPEGs of tests/data/corpus as
# hard links, LINKS of them (default 100,000) spread over FOLDERS folders (default 1,000).
# The first `tagsifter find -c Canon` fills the dump cache through exiftool (it takes long:
# pass CACHE_DIR to keep that cache and the library between runs); then ROUNDS new processes
# (default 5) search again with the cache, and the median time and peak memory are printed:
# for the plain text Canon, and for a query over the same library
# (QUERY, default `camera:canon iso>=100 -model:"EOS 40D"`).
# Usage: benchmarks/again_bench.sh BUILD_DIR [LINKS [FOLDERS [ROUNDS [CACHE_DIR [QUERY]]]]]
set -euo pipefail
build=$(cd "${1:?usage: again_bench.sh BUILD_DIR [LINKS [FOLDERS [ROUNDS [CACHE_DIR]]]]}" && pwd)
links=${2:-100000}
folders=${3:-1000}
rounds=${4:-5}
query=${6:-camera:canon iso>=100 -model:\"EOS 40D\"}
here=$(cd "$(dirname "$0")" && pwd)
if [ -n "${5:-}" ]; then
    work=$(mkdir -p "$5" && cd "$5" && pwd)
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi
images=()
for image in "$here"/../tests/data/corpus/*.jpg; do
    case $(basename "$image") in corrupted.jpg | long_description.jpg | PaintTool_sample.jpg) ;;
    *) images+=("$image") ;; esac
done
if [ ! -f "$work/library.done" ]; then
    rm -rf "$work/library" "$work/originals"
    # Linked from copies inside the work folder, which may sit on another file system.
    mkdir -p "$work/originals"
    cp "${images[@]}" "$work/originals/"
    images=("$work"/originals/*.jpg)
    per=$(((links + folders - 1) / folders))
    made=0
    for folder in $(seq 1 "$folders"); do
        mkdir -p "$work/library/f$folder"
        for n in $(seq 1 "$per"); do
            [ "$made" -lt "$links" ] || break
            image=${images[$((made % ${#images[@]}))]}
            ln "$image" "$work/library/f$folder/$n-$(basename "$image")"
            made=$((made + 1))
        done
    done
    touch "$work/library.done"
fi
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
if [ ! -f "$work/cache.done" ]; then
    "$build/src/tagsifter" find -c Canon "$work/library" || true
    touch "$work/cache.done"
fi
# The first query lists exiftool's tag names once; it is not timed.
"$build/src/tagsifter" find --explain -Q "$query" >/dev/null
: >"$work/seconds"
: >"$work/kilobytes"
: >"$work/query-seconds"
: >"$work/query-kilobytes"
for round in $(seq 1 "$rounds"); do
    /usr/bin/time -f '%e %M' -o "$work/time" "$build/src/tagsifter" find -c Canon "$work/library"
    read -r seconds kilobytes <"$work/time"
    echo "$seconds" >>"$work/seconds"
    echo "$kilobytes" >>"$work/kilobytes"
    /usr/bin/time -f '%e %M' -o "$work/time" "$build/src/tagsifter" find -c -Q "$query" \
        "$work/library"
    read -r seconds kilobytes <"$work/time"
    echo "$seconds" >>"$work/query-seconds"
    echo "$kilobytes" >>"$work/query-kilobytes"
done
report() {
    printf '%s: %d links in %d folders, %d rounds: %.2f s, %.0f MB peak (medians; rounds: %s)\n' \
        "$1" "$links" "$folders" "$rounds" "$(median <"$work/$2seconds")" \
        "$(echo "$(median <"$work/$2kilobytes") / 1024" | bc -l)" \
        "$(xargs printf '%.2f ' <"$work/$2seconds")"
}
report again ""
report "query $query" query-
