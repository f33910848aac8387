#!/usr/bin/env bash
# The Windows packages that `cpack` made in a MinGW build folder, read as Windows would use
# them: the zip holds both programs, the licence and the read-me, the texts with CRLF line
# ends; the installer's Start menu shortcut and its uninstall entry name files it installs
# (read from the generated NSIS script against the staged files, since the 32-bit installer
# cannot run under wine64 here); both programs and the installer carry the version.
#   package_check.sh BUILD-WIN
set -euo pipefail
build=$1
fail() { echo "package_check: $*" >&2; exit 1; }

# The version as the build has it from the project.
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[ -n "$version" ] || fail "no CPACK_PACKAGE_VERSION in $build/CPackConfig.cmake"
name=pomvane-$version-win64

# Every line of a text ends in CRLF.
crlf_only() {
    [ -s "$1" ] || fail "$1 is empty or missing"
    ! LC_ALL=C grep -q $'[^\r]$\|^$' "$1" || fail "$1 has lines without CRLF"
}

listing=$(cmake -E tar tf "$build/$name.zip")
for file in pomvane.exe pomvane-count.exe LICENSE.txt README.txt; do
    grep -qx "$name/$file" <<<"$listing" || fail "the zip lacks $file"
done
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$OLDPWD/$build/$name.zip")
head -n 1 "$unpacked/$name/README.txt" | grep -qFx "Pomvane $version for Windows (64-bit)"$'\r' \
    || fail "README.txt does not name version $version"
crlf_only "$unpacked/$name/README.txt"
crlf_only "$unpacked/$name/LICENSE.txt"

[ -s "$build/$name.exe" ] || fail "no installer was made"
nsis=$build/_CPack_Packages/win64/NSIS
staged=$nsis/$name
crlf_only "$staged/README.txt"
crlf_only "$staged/LICENSE.txt"
# "$INSTDIR\X" in the script is X among the staged files; the uninstaller is made on installing.
installed() {
    local path=${1#\$INSTDIR\\}
    path=${path//\\//}
    [ "$path" != "$1" ] && [ -f "$staged/$path" ]
}
shortcut=$(sed -n 's/^ *CreateShortCut "[^"]*\\Pomvane\.lnk" "\([^"]*\)".*/\1/p' "$nsis/project.nsi")
[ -n "$shortcut" ] || fail "the installer script makes no Pomvane shortcut"
installed "$shortcut" || fail "the Start menu shortcut points at $shortcut, which is not installed"
icon=$(sed -n '/Push "DisplayIcon"/{n;s/^ *Push "\(.*\)"$/\1/p}' "$nsis/project.nsi")
installed "$icon" || fail "the uninstall entry names $icon, which is not installed"

# A version block holds its texts in UTF-16.
utf16() { printf '%s' "$1" | sed 's/./&\\x00/g'; }
has_version() {
    LC_ALL=C grep -qaP "$(utf16 ProductVersion)\\x00+$(utf16 "$2")" "$1" \
        || fail "$1 carries no ProductVersion $2"
}
windows_version=$(sed -n 's/^#define POMVANE_VERSION_TEXT "\(.*\)"$/\1/p' "$build/win32/version.h")
has_version "$build/pomvane.exe" "$windows_version"
has_version "$build/pomvane-count.exe" "$windows_version"
has_version "$build/$name.exe" "$version"
echo "package_check: $name.zip and .exe: files, CRLF texts, shortcut and uninstall entry, versions"
