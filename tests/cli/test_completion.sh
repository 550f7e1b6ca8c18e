#!/usr/bin/env bash
# The bash completion: the options of each form, and files and folders for paths.
set -uo pipefail
completion=${1:?usage: test_completion.sh COMPLETION_FILE}
# shellcheck source=/dev/null
source "$completion"
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
        echo "FAIL: tagsifter ${*:2}: got '$got', expected '$expected'"
        failures=$((failures + 1))
    fi
}

expect 'find ' tagsifter fi
expect '--files-from --files-with-matches ' tagsifter find --fi
expect '--json ' tagsifter find --js
expect 'jpeg jpg ' tagsifter find --extension jp
expect 'photos/a.jpg ' tagsifter find Canon photos/
expect 'photos ' tagsifter find Canon pho
expect '--help ' tagsifter --he
expect 'photos ' tagsifter pho
expect ' ' tagsifter find -- Canon --js
echo "$failures completion failures"
[ "$failures" -eq 0 ]
