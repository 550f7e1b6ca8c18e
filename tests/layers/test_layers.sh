#!/usr/bin/env bash
# The layers of src/, held as the build runs the tests: which folder may include which, which
# may name a widget, and which library may link what. Prints every breach and fails when there
# is one.
set -uo pipefail
src="${1:?usage: test_layers.sh SOURCE_DIR}/src"
cd "$src" || exit 2
breaches=0

breach() {
    echo "layer breach: $*"
    breaches=$((breaches + 1))
}

# The folders of src/ and what each may include besides itself, lowest first. A folder's own
# sub-folders are folders of their own here (platform/widgets, platform/calc).
declare -A allowed=(
    [core]=""
    [platform]="core"
    [platform/widgets]="core platform"
    [platform/calc]="core"
    [query]="core"
    [exiftool]="core"
    [dumpcache]="core"
    [search]="core query exiftool dumpcache"
    [filelist]="core platform platform/widgets"
    [results]="core platform"
    [cli]="core platform query exiftool dumpcache search"
    [app]="core platform platform/widgets query exiftool dumpcache search filelist results cli"
)

for folder in "${!allowed[@]}"; do
    [ -f "$folder/CMakeLists.txt" ] || breach "$folder has no CMakeLists.txt"
done
for folder in */ */*/; do
    folder=${folder%/}
    [ -n "$(ls "$folder"/*.h "$folder"/*.cpp 2>/dev/null)" ] || continue
    [ -n "${allowed[$folder]+x}" ] || breach "$folder is no layer of the house"
done

# The folder an include names: the longest folder of the house that starts the path.
folder_of() {
    local path=$1
    case "$path" in
    platform/widgets/*) echo platform/widgets ;;
    platform/calc/*) echo platform/calc ;;
    *) echo "${path%%/*}" ;;
    esac
}

for folder in "${!allowed[@]}"; do
    while IFS=: read -r file line include; do
        [ -n "$file" ] || continue
        # Only the files of the folder itself, not of its own sub-folders.
        [ "$(dirname "$file")" = "$folder" ] || continue
        target=$(sed -E 's/^#include "([^"]*)".*/\1/' <<<"$include")
        case "$target" in */*) ;; *) continue ;; esac
        owner=$(folder_of "$target")
        [ "$owner" = "$folder" ] && continue
        case " ${allowed[$folder]} " in
        *" $owner "*) ;;
        *) breach "$file:$line includes $target (${folder} may include: ${allowed[$folder]:-only itself})" ;;
        esac
    done < <(grep -rnE '^#include "' "$folder" --include='*.h' --include='*.cpp' || true)
done

# Below the window, nothing names a widget or includes Qt GUI; the search, the cache, the tool
# and the terminal door compile without them.
widgets='\b(Q(Widget|PushButton|ProgressBar|LineEdit|GroupBox|TreeView|AbstractItemView|MessageBox|FileDialog|InputDialog|Application|GuiApplication|Label|Cursor|Pixmap|Clipboard)|ListView)\b|<Qt(Widgets|Gui)'
while IFS= read -r hit; do
    [ -n "$hit" ] && breach "$hit (no widget here)"
done < <(grep -rnE "$widgets" core platform/*.h platform/*.cpp query exiftool dumpcache search cli \
             --include='*.h' --include='*.cpp' || true)

# Below the window the layers are handed the machine's services alone (SystemServices): nothing
# there names the services that ask or tell the user, hand work to the desktop or draw at
# start-up, nor the bundles the window hands its subsystems, so a search, exiftool or the
# terminal cannot show a message box or touch the clipboard.
window_services='\b(WindowServices|UserDialogs|DesktopServices|MessageBoxService|InputBoxService|FileDialogService|ShellService|ClipboardService|SpreadsheetService|RandomService)\b|core/(WindowServices|Dialogs|Spreadsheet)\.h'
while IFS= read -r hit; do
    [ -n "$hit" ] && breach "$hit (below the window only the machine's services are handed down)"
done < <(grep -rnE "$window_services" query exiftool dumpcache search cli \
             --include='*.h' --include='*.cpp' || true)

# The file list's subsystems work on its model; only its editing by mouse and keys, which is
# the view's own, names the widget.
while IFS= read -r hit; do
    [ -n "$hit" ] && breach "$hit names the list widget (the file list works on its model)"
done < <(grep -lE 'platform/widgets|\bListView\b' filelist/*.h filelist/*.cpp |
             grep -vE '^filelist/FileListEditor\.(h|cpp)$' || true)

# Qt Sql and zstd stay inside the dump cache: no public header shows them, no other folder
# includes them.
while IFS= read -r hit; do
    [ -n "$hit" ] && breach "$hit (Qt Sql and zlib are the dump cache's own)"
done < <(grep -rnE '#include <(QSql[A-Za-z]*|zlib\.h|zstd\.h)>' --include='*.h' --include='*.cpp' . |
             grep -vE '^\./dumpcache/[A-Za-z]+\.cpp:' || true)

# What each library links: Widgets only where the window is; Sql and zlib privately in the cache.
links() { grep -hE 'target_link_libraries' "$1/CMakeLists.txt"; }
for folder in core platform exiftool dumpcache search cli; do
    links "$folder" | grep -qE 'Widgets|tagsifter_platform_widgets|tagsifter_(filelist|results|app)\b' &&
        breach "$folder/CMakeLists.txt links widgets or a window subsystem"
done
links dumpcache | grep -oE 'PUBLIC[^)]*' | sed 's/PRIVATE.*//' | grep -qE 'Sql|ZLIB|ZSTD' && breach "dumpcache links Qt Sql or zlib publicly"
for folder in core platform exiftool search cli filelist results app; do
    links "$folder" | grep -qE 'Qt6::Sql|ZLIB|ZSTD' && breach "$folder/CMakeLists.txt links Qt Sql or zlib"
done

echo "$breaches layer breaches"
[ "$breaches" -eq 0 ]
