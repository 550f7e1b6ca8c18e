#!/usr/bin/env bash
# tagsifter find against exiftool over the same folder: the test images copied COPIES times
# (default 21: 441 files). The first search starts with an empty dump cache, the second is a
# new process with the cache the first wrote. This machine's speed varies from second to
# second, so each figure is the median of ROUNDS rounds (default 7), each ratio taken within
# its round against the mean of an exiftool run before and after its searches. Beside them, in
# each round: two exiftool processes started together, each given half of the images, as they
# are and with every module that adds Composite tags loaded first (what tagsifter's sessions
# load): the least any search through two exiftool processes can take on this machine.
# With "mixed" the library is a mix of formats: each copy holds the test JPEGs, the RAW, HEIC,
# PNG, TIFF, WebP, JPEG XL and QuickTime files of tests/data/formats, and an XMP sidecar beside
# every other one of those (57 copies: 1,995 files); the two exiftool processes then read the
# sidecars too.
# Usage: benchmarks/find_bench.sh BUILD_DIR [COPIES [ROUNDS [mixed]]]
set -euo pipefail
build=$(cd "${1:?usage: find_bench.sh BUILD_DIR [COPIES [ROUNDS [mixed]]]}" && pwd)
copies=${2:-21}
rounds=${3:-7}
mixed=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
extensions="jpg"
[ -z "$mixed" ] || extensions="jpg cr2 dng tif jxl nef png heic mov webp"
for i in $(seq 1 "$copies"); do
    mkdir -p "$work/library/copy$i"
    cp "$here"/../tests/data/corpus/*.jpg "$work/library/copy$i/"
    if [ -n "$mixed" ]; then
        n=0
        for file in "$here"/../tests/data/formats/*.*; do
            case $file in *.md | *.xmp) continue ;; esac
            cp "$file" "$work/library/copy$i/"
            n=$((n + 1))
            [ $((n % 2)) -eq 0 ] || cp "$here/../tests/data/formats/XMP4.xmp" \
                "$work/library/copy$i/$(basename "$file").xmp"
        done
    fi
done
exiftoolExtensions=()
for extension in $extensions; do exiftoolExtensions+=(-ext "$extension"); done
export XDG_CONFIG_HOME=$work/config
seconds() { local start=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; echo "$(date +%s.%N) - $start" | bc -l; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
find "$work/library" -type f | sort >"$work/all"
half=$((($(wc -l <"$work/all") + 1) / 2))
head -n "$half" "$work/all" >"$work/half1"
tail -n +"$((half + 1))" "$work/all" >"$work/half2"
modules=(AIFF APE Apple Canon Exif FLAC FLIR FlashPix GPS ID3 IPTC ISO Kodak MPEG MPF Nikon Olympus
    Panasonic PanasonicRaw Parrot PostScript QuickTime RIFF Ricoh Samsung Sony SonyIDC Vorbis XMP)
uses=()
for module in "${modules[@]}"; do uses+=(-use "$module"); done
halves() { exiftool "$@" -@ "$work/half1" >/dev/null & exiftool "$@" -@ "$work/half2"; wait; }
for file in exiftool first second first-ratio second-ratio halves halves-ratio loaded loaded-ratio \
    gap; do
    : >"$work/$file"
done
for round in $(seq 1 "$rounds"); do
    export XDG_CACHE_HOME=$work/cache$round
    before=$(seconds exiftool -r "${exiftoolExtensions[@]}" "$work/library")
    # The first search and its floor side by side, in turns first, so that the machine's drift
    # within a round favours neither.
    if [ $((round % 2)) -eq 1 ]; then
        first=$(seconds "$build/src/tagsifter" find --extension "$extensions" Canon "$work/library")
        loaded=$(seconds halves "${uses[@]}")
    else
        loaded=$(seconds halves "${uses[@]}")
        first=$(seconds "$build/src/tagsifter" find --extension "$extensions" Canon "$work/library")
    fi
    second=$(seconds "$build/src/tagsifter" find --extension "$extensions" Canon "$work/library")
    halves=$(seconds halves)
    after=$(seconds exiftool -r "${exiftoolExtensions[@]}" "$work/library")
    exiftool=$(echo "($before + $after) / 2" | bc -l)
    echo "$exiftool" >>"$work/exiftool"
    echo "$first" >>"$work/first"
    echo "$second" >>"$work/second"
    echo "$first / $exiftool" | bc -l >>"$work/first-ratio"
    echo "$second / $exiftool" | bc -l >>"$work/second-ratio"
    echo "$halves" >>"$work/halves"
    echo "$halves / $exiftool" | bc -l >>"$work/halves-ratio"
    echo "$loaded" >>"$work/loaded"
    echo "$loaded / $exiftool" | bc -l >>"$work/loaded-ratio"
    echo "($first - $loaded) / $exiftool" | bc -l >>"$work/gap"
done
images=$(wc -l <"$work/all")
printf 'find: %d files, %d rounds; exiftool -r -ext %s %.2f s (median of the means)\n' "$images" "$rounds" "$extensions" \
    "$(median <"$work/exiftool")"
printf 'find: first tagsifter find %.2f s = %.2fx of exiftool (rounds: %s)\n' \
    "$(median <"$work/first")" "$(median <"$work/first-ratio")" \
    "$(xargs printf '%.2f ' <"$work/first-ratio")"
printf 'find: second, with the dump cache %.3f s = %.3fx of exiftool\n' \
    "$(median <"$work/second")" "$(median <"$work/second-ratio")"
printf 'find: two exiftool processes, half the images each, %.2f s = %.2fx (rounds: %s)\n' \
    "$(median <"$work/halves")" "$(median <"$work/halves-ratio")" \
    "$(xargs printf '%.2f ' <"$work/halves-ratio")"
printf 'find: the same with the Composite modules loaded, %.2f s = %.2fx (rounds: %s)\n' \
    "$(median <"$work/loaded")" "$(median <"$work/loaded-ratio")" \
    "$(xargs printf '%.2f ' <"$work/loaded-ratio")"
printf 'find: the first search above that floor, in each round: median %.3fx (rounds: %s)\n' \
    "$(median <"$work/gap")" "$(xargs printf '%.2f ' <"$work/gap")"
