#!/usr/bin/env bash
# Builds the Windows installer (build-windows/KestraEditor-<version>-setup.exe)
# with NSIS from the cross-built program, then checks it under Wine: a silent
# install puts the program, its Start-menu entry, the project-file
# association and the uninstaller in place; a silent uninstall takes them all
# away again. Prints the installer's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${KESTRA_WINDOWS_BUILD_DIR:-build-windows}"
[ -f "$build_dir/KestraEditor.exe" ] || scripts/build-windows.sh >/dev/null
scripts/windows/install-deps.sh

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
[ -n "$version" ] || { echo "No project version in $build_dir/CMakeCache.txt" >&2; exit 1; }
# The version resource wants four numbers: "1.00" is 1.0.0.0.
IFS=. read -r major minor patch tweak <<<"$version"
file_version="$((10#${major:-0})).$((10#${minor:-0})).$((10#${patch:-0})).$((10#${tweak:-0}))"
ninja -C "$build_dir" KestraEditor kestra-cli >/dev/null # the programs and the icon are current
build=$(realpath "$build_dir")
installer="$build/KestraEditor-$version-setup.exe"

makensis -V2 -NOCD \
    "-DVERSION=$version" \
    "-DFILE_VERSION=$file_version" \
    "-DEXE=$build/KestraEditor.exe" \
    "-DCLI_EXE=$build/kestra-cli.exe" \
    "-DCLI_DOC=$PWD/docs/cli.md" \
    "-DICON=$build/kestra-editor.ico" \
    "-DCOPYRIGHT=$PWD/resources/copyright" \
    "-DOUTFILE=$installer" \
    resources/windows/installer.nsi
file "$installer" | grep -q 'PE32+ executable (GUI) x86-64' || { echo "No installer: $installer" >&2; exit 1; }

# ---- the check under Wine -----------------------------------------------------------------------

# shellcheck source=windows/wine-session.sh
source scripts/windows/wine-session.sh
wine_session_start "$build_dir"

unix_path() { winepath -u "$1" 2>/dev/null; }
# The default value of a registry key, or nothing when the key is missing.
registry_default() {
    wine reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ[[:space:]]*//p'
}
has_key() { wine reg query "$1" >/dev/null 2>&1; }
no_key() { ! has_key "$1"; }

program_files=$(wine cmd /c echo %ProgramW6432% 2>/dev/null | tr -d '\r')
programs=$(wine cmd /c echo %ProgramData% 2>/dev/null | tr -d '\r')'\Microsoft\Windows\Start Menu\Programs'
folder="$program_files\\Kestra Editor"
shortcut="$(unix_path "$programs")/Kestra Editor.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KestraEditor'

# A run before may have left an installation behind.
if [ -f "$(unix_path "$folder")/Uninstall.exe" ]; then
    wine "$folder\\Uninstall.exe" /S "_?=$folder" </dev/null >/dev/null 2>&1 || true
    rm -rf "$(unix_path "$folder")"
fi

echo "package-windows: silent install of $(basename "$installer")"
wine "$installer" /S </dev/null >/dev/null 2>&1 || fail "the installer failed"
installed="$(unix_path "$folder")"
for f in KestraEditor.exe kestra-cli.exe kestra-cli.md Uninstall.exe kestra-editor.ico copyright.txt; do
    [ -f "$installed/$f" ] || fail "no $folder\\$f"
done
cmp -s "$installed/KestraEditor.exe" "$build/KestraEditor.exe" || fail "the installed program differs"
cmp -s "$installed/kestra-cli.exe" "$build/kestra-cli.exe" || fail "the installed kestra-cli differs"
# kestra-cli runs from the installed folder, against the simulated instrument.
KESTRA_EDITOR_SIMULATOR= wine "$folder\\kestra-cli.exe" --quiet identify </dev/null >/dev/null 2>&1 ||
    fail "the installed kestra-cli did not identify the simulated instrument"
[ -f "$shortcut" ] || fail "no Start-menu entry ($shortcut)"
[ "$(registry_default 'HKLM\Software\Classes\.tkp')" = KestraEditor.Project ] ||
    fail "*.tkp is not associated with the editor"
command=$(registry_default 'HKCR\KestraEditor.Project\shell\open\command')
[ "$command" = "\"$folder\\KestraEditor.exe\" \"%1\"" ] || fail "the open command is $command"
has_key "$uninstall_key" || fail "no entry under Apps and Features"
echo "package-windows: installed in $folder, Start-menu entry, *.tkp opens with: $command"

echo "package-windows: silent uninstall"
# The uninstaller copies itself to a temporary folder and runs from there,
# so the removal is awaited.
wine "$folder\\Uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "the uninstaller failed"
wait_for 60 test ! -e "$installed" || fail "$folder is still there: $(ls "$installed")"
[ ! -e "$shortcut" ] || fail "the Start-menu entry is still there"
no_key 'HKLM\Software\Classes\.tkp' || fail "the *.tkp association is still there"
no_key 'HKLM\Software\Classes\KestraEditor.Project' || fail "the project file type is still there"
no_key "$uninstall_key" || fail "the entry under Apps and Features is still there"
echo "package-windows: uninstalled without a trace"

echo "$installer"
