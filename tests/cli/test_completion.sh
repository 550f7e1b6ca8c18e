#!/usr/bin/env bash
# The completions the build makes from the option table: bash's answers, fish's answers, and
# zsh's file read without an error.
set -uo pipefail
docs=${1:?usage: test_completion.sh DOCS_FOLDER}
# shellcheck source=/dev/null
source "$docs/bash/tagsifter"
compopt() { :; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/photos" && touch "$work/photos/a.jpg"
cd "$work" || exit 2
failures=0

complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _tagsifter
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}

expect() {
    local expected=$1
    shift
    local got
    got=$(complete_words "$@")
    if [ "$got" != "$expected" ]; then
        echo "FAIL: bash: tagsifter ${*:2}: got '$got', expected '$expected'"
        failures=$((failures + 1))
    fi
}

expect 'find ' tagsifter fi
expect 'tags ' tagsifter ta
expect '--files-from --files-with-matches --files-without-match ' tagsifter find --fi
expect '--json ' tagsifter find --js
expect '--case-sensitive --color --count --csv ' tagsifter find --c
expect 'always auto never ' tagsifter find --color ''
expect 'jpeg jpg ' tagsifter find --extension jp
expect 'jpeg jpg ' tagsifter tags --extension jp
expect 'photos ' tagsifter find --files-from pho
expect ' ' tagsifter find -e ''
expect ' ' tagsifter find -j ''
expect 'photos/a.jpg ' tagsifter find Canon photos/
expect 'photos ' tagsifter find Canon pho
expect '--help ' tagsifter --he
expect '--version ' tagsifter find --vers
expect '--jobs --json ' tagsifter tags --j
expect '--files-from ' tagsifter tags --fi
expect 'photos ' tagsifter pho
expect ' ' tagsifter find -- Canon --js

if command -v zsh >/dev/null; then
    zsh -n "$docs/zsh/_tagsifter" || { echo "FAIL: zsh cannot read its completion"; failures=$((failures + 1)); }
else
    echo "FAIL: zsh is not installed (scripts/setup.sh installs it)"
    failures=$((failures + 1))
fi

fish_expect() {
    local expected=$1 line=$2 got
    got=$(XDG_CONFIG_HOME=$work/fish-config XDG_DATA_HOME=$work/fish-data fish --no-config -c \
        "source '$docs/fish/tagsifter.fish'; complete -C '$line'" | cut -f1 | sort | tr '\n' ' ')
    if [ "$got" != "$expected" ]; then
        echo "FAIL: fish: $line: got '$got', expected '$expected'"
        failures=$((failures + 1))
    fi
}
if command -v fish >/dev/null; then
    fish_expect '--files-from --files-with-matches --files-without-match ' 'tagsifter find --fi'
    fish_expect 'always auto never ' 'tagsifter find --color '
    fish_expect '--json ' 'tagsifter tags --js'
    fish_expect 'find tags ' 'tagsifter '
else
    echo "FAIL: fish is not installed (scripts/setup.sh installs it)"
    failures=$((failures + 1))
fi

echo "$failures completion failures"
[ "$failures" -eq 0 ]
