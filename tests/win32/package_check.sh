#!/usr/bin/env bash
# The Windows packages that `cpack` made in a MinGW build folder, used as Windows would use
# them. The zip holds both programs, the licence and the read-me, the texts with CRLF line
# ends. The installer, run silently under wine in a fresh prefix, puts the same files in
# Program Files, with a Start menu shortcut whose program starts and closes and an uninstall
# entry that gives the folder and its size; its uninstaller, silent too, leaves no file or
# registry key or value behind but the settings the window keeps for the user. Both programs
# and the installer carry the version and their names in their file properties.
#   package_check.sh BUILD-WIN
# Needs wine, xvfb, xauth and xdotool (the program's window opens on Xvfb).
set -uo pipefail

# shellcheck disable=SC2034  # read by xvfb_helper.sh
name=package_check usage="BUILD-WIN" tools=(wine wineserver xdotool strings)
# shellcheck source=../xvfb_helper.sh
. "$(dirname "$0")/../xvfb_helper.sh"
under_xvfb 1 1 "$@"
build=${args[0]}

# The version as the build has it from the project.
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[ -n "$version" ] || fail "no CPACK_PACKAGE_VERSION in $build/CPackConfig.cmake"
package=pomvane-$version-win64

# Every line of a text ends in CRLF.
crlf_only() {
    [ -s "$1" ] || fail "$1 is empty or missing"
    ! LC_ALL=C grep -q $'[^\r]$\|^$' "$1" || fail "$1 has lines without CRLF"
}

listing=$(cmake -E tar tf "$build/$package.zip") || fail "cannot list $package.zip"
for file in pomvane.exe pomvane-count.exe LICENSE.txt README.txt; do
    grep -qx "$package/$file" <<<"$listing" || fail "the zip lacks $file"
done
mkdir "$scratch/zip"
(cd "$scratch/zip" && cmake -E tar xf "$build/$package.zip") || fail "cannot unpack $package.zip"
head -n 1 "$scratch/zip/$package/README.txt" | grep -qFx "Pomvane $version for Windows (64-bit)"$'\r' \
    || fail "README.txt does not name version $version"
crlf_only "$scratch/zip/$package/README.txt"
crlf_only "$scratch/zip/$package/LICENSE.txt"

# A version block holds its texts in UTF-16, each name followed by its value.
utf16() { printf '%s' "$1" | sed 's/[.]/\\./g; s/./&\\x00/g; s/\\\\x00/\\/g'; }
has_value() {
    LC_ALL=C grep -qaP "$(utf16 "$2")\\x00+$(utf16 "$3")\\x00" "$1" || fail "$1 carries no $2 $3"
}
windows_version=$(sed -n 's/^#define POMVANE_VERSION_TEXT "\(.*\)"$/\1/p' "$build/win32/version.h")
[ "$windows_version" = "$version.0" ] || fail "the programs' version $windows_version is not $version.0"
for program in pomvane pomvane-count; do
    for key in FileVersion ProductVersion; do has_value "$build/$program.exe" $key "$windows_version"; done
    has_value "$build/$program.exe" OriginalFilename "$program.exe"
    has_value "$build/$program.exe" ProductName Pomvane
    has_value "$build/$program.exe" CompanyName "The Pomvane developers"
done
installer=$build/$package.exe
[ -s "$installer" ] || fail "no installer was made"
has_value "$installer" ProductVersion "$version"

# What a prefix holds: its files (but the temporary ones, which the uninstaller's copy of
# itself is among until the next start of Windows), and every registry value under its key.
wine_prefix
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=" # no menu entries on this desktop
prefix_state() {
    wineserver -w
    (cd "$WINEPREFIX/drive_c" && find . ! -path './users/*/Temp/*' | sort) >"$scratch/$1.files"
    for hive in system user; do
        awk -v hive=$hive '/^\[/ { key = hive $0; sub(/\] [0-9]+$/, "]", key); print key; next }
            /^(#|$)/ { next } { print key " " $0 }' "$WINEPREFIX/$hive.reg"
    done | sort >"$scratch/$1.registry"
}
prefix_state before

wine "$installer" /S || fail "the silent install failed"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pomvane'
entry() { wine reg query "$uninstall_key" /v "$1" 2>/dev/null | sed -n "s/^ *$1 *REG_[A-Z]* *\(.*\)$/\1/p" | tr -d '\r'; }
location=$(entry InstallLocation)
[ "$location" = 'C:\Program Files\Pomvane' ] || fail "installed to '$location', not C:\\Program Files\\Pomvane"
folder=$WINEPREFIX/drive_c/Program\ Files/Pomvane
for file in pomvane.exe pomvane-count.exe LICENSE.txt README.txt Uninstall.exe; do
    [ -f "$folder/$file" ] || fail "the installer did not install $file"
done
# In KiB, each file's part rounded.
size=$(($(entry EstimatedSize)))
bytes=$(find "$folder" -type f -printf '%s\n' | awk '{ n += $1 } END { print n }')
files=$(find "$folder" -type f | wc -l)
[ $((bytes / 1024 - size)) -le "$files" ] && [ $((size - bytes / 1024)) -le "$files" ] \
    || fail "the uninstall entry estimates ${size} KiB for $bytes bytes"
[ "$(entry DisplayIcon)" = "$location\\pomvane.exe" ] || fail "the uninstall entry's icon is '$(entry DisplayIcon)'"

# The shortcut's target (the link's local path, in the system's code page) starts and closes.
shortcut=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Pomvane.lnk
[ -f "$shortcut" ] || fail "no Start menu shortcut Pomvane.lnk for all users"
target=$(strings -a "$shortcut" | grep -m 1 -x '[A-Z]:\\.*\.exe')
[ "$target" = "$location\\pomvane.exe" ] || fail "the shortcut starts '$target', not $location\\pomvane.exe"
wine "$target" &
started=$!
pids+=("$started")
window=
for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name '^Pomvane$' 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "the shortcut's program showed no window"
for _ in $(seq 50); do
    xdotool windowfocus --sync "$window" key Escape 2>/dev/null
    kill -0 "$started" 2>/dev/null || break
    sleep 0.2
done
wait "$started" || fail "the installed program ended with status $?"

# The uninstaller runs on from a copy of itself; wineserver -w waits for it.
wine "$location\\Uninstall.exe" /S || fail "the silent uninstall failed"
prefix_state after
left=$(comm -13 "$scratch/before.files" "$scratch/after.files")
[ -z "$left" ] || fail "left after uninstalling: $left"
# Beside the user's settings, only wine's own bookkeeping changes: a display driver's date,
# and the temporary copy's removal on the next start.
settings=(-e 'user[Software\\Pomvane]' -e 'user[Software\\Pomvane\\')
left=$(comm -13 "$scratch/before.registry" "$scratch/after.registry" \
    | grep -vF "${settings[@]}" -e '"DriverDateData"=' -e '"PendingFileRenameOperations"=')
[ -z "$left" ] || fail "left in the registry after uninstalling: $left"
grep -qF "${settings[@]}" "$scratch/after.registry" || fail "uninstalling took the user's settings"
echo "package_check: $package.zip and .exe: files, CRLF texts, versions and names; installed, started"
echo "package_check: from the shortcut and uninstalled silently under wine, leaving the user's settings alone"
