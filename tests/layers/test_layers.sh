#!/usr/bin/env bash
# The layers of src/, held as the build runs the tests: which folder may include which, and
# which may name a widget. Prints every breach and fails when there is one.
set -uo pipefail
src="${1:?usage: test_layers.sh SOURCE_DIR}/src"
cd "$src" || exit 2
breaches=0

breach() {
    echo "layer breach: $*"
    breaches=$((breaches + 1))
}

# Project includes of the files in folder $1 that name one of the folders after it.
includes_of() {
    local folder=$1
    shift
    local pattern
    pattern=$(printf '|%s/' "$@")
    grep -rnE "^#include \"(${pattern:1})" "$folder" --include='*.h' --include='*.cpp' || true
}

for folder in */ platform/calc/; do
    [ -f "$folder/CMakeLists.txt" ] || breach "$folder has no CMakeLists.txt"
done

# The window and the terminal search are the top: nothing below them includes them, nor one
# the other.
while IFS= read -r hit; do
    [ -n "$hit" ] && breach "$hit (only the top includes app/ or cli/)"
done < <(includes_of core app cli; includes_of platform app cli; includes_of filelist app cli
         includes_of search app cli; includes_of results app cli; includes_of cli app)

# The subsystems meet only through the list models, never by including each other.
while IFS= read -r hit; do
    [ -n "$hit" ] && breach "$hit (subsystems do not include each other)"
done < <(includes_of filelist search results; includes_of search filelist results
         includes_of results filelist search)

# The platform knows none of the subsystems; core knows only the service interfaces.
while IFS= read -r hit; do
    [ -n "$hit" ] && breach "$hit (platform knows no subsystem)"
done < <(includes_of platform filelist search results)
while IFS= read -r hit; do
    [ -n "$hit" ] && breach "$hit (core includes core/ and the service interfaces only)"
done < <(grep -rnE '^#include "' core | grep -vE '#include "core/|#include "platform/(Dialogs|Services|SettingKeys)\.h"')

# The pure part and the search name no widget class and include nothing of Qt GUI.
widgets='\b(Q(Widget|PushButton|ProgressBar|LineEdit|GroupBox|TreeView|AbstractItemView|MessageBox|FileDialog|InputDialog|Application|Label|Cursor|Pixmap)|ListView)\b|<Qt(Widgets|Gui)'
while IFS= read -r hit; do
    [ -n "$hit" ] && breach "$hit (no widget here)"
done < <(grep -rnE "$widgets" core search --include='*.h' --include='*.cpp' || true)

echo "$breaches layer breaches"
[ "$breaches" -eq 0 ]
