#!/usr/bin/env bash
# Checks what Pomvane installs: the desktop entry and AppStream metadata pass their
# validators, `cmake --install` lays out the expected files, and the Debian package built by
# CPack has the right name, control fields, dependencies and contents, and lintian finds
# nothing in it to warn about.
#   res/check_package.sh BUILD_DIR
# BUILD_DIR is a configured build tree (with the window enabled); the program is brought up
# to date in it first. Needs desktop-file-utils, appstream, dpkg-dev, file and lintian.
set -euo pipefail

if [ $# -ne 1 ] || [ ! -f "$1/CMakeCache.txt" ]; then
    echo "usage: $0 BUILD_DIR   (a configured CMake build directory)" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
res=$(cd "$(dirname "$0")" && pwd)
id=org.pomvane.Pomvane

for tool in desktop-file-validate appstreamcli dpkg-deb dpkg-shlibdeps file cpack lintian; do
    command -v "$tool" >/dev/null || { echo "check_package: $tool is missing" >&2; exit 2; }
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "check_package: FAIL: $*" >&2; }
check() { # check DESCRIPTION COMMAND...: counts COMMAND's success, reports its failure
    local what=$1; shift
    if "$@" >"$scratch/out" 2>&1; then pass; else fail "$what"; sed 's/^/    /' "$scratch/out" >&2; fi
}
die() { echo "check_package: $*" >&2; exit 1; }

# The validators, on the files as written in the source tree.
check "desktop-file-validate $id.desktop" desktop-file-validate "$res/$id.desktop"
check "appstreamcli validate $id.metainfo.xml" appstreamcli validate --no-net "$res/$id.metainfo.xml"

# Checks the tree under $1 (with data files under $1/share, the program in $1/bin) as
# installed by cmake --install or unpacked from the package.
check_tree() {
    local root=$1 label=$2 f
    local desktop=$root/share/applications/$id.desktop
    local metainfo=$root/share/metainfo/$id.metainfo.xml
    local icons=$root/share/icons/hicolor

    check "$label: bin/pomvane is an executable" test -f "$root/bin/pomvane" -a -x "$root/bin/pomvane"
    check "$label: $id.desktop installed" test -f "$desktop"
    check "$label: $id.metainfo.xml installed" test -f "$metainfo"
    for size in 16 32 48; do
        f=$icons/${size}x${size}/apps/$id.png
        # `file` gives a PNG's dimensions: a 16x16 slot must hold a 16x16 picture.
        check "$label: ${size}x${size} icon is a ${size} x ${size} PNG" \
            grep -q "PNG image data, $size x $size," <(file -b "$f" 2>&1)
    done
    for language in de fr; do
        check "$label: the window's $language catalogue is installed" \
            test -s "$root/share/pomvane/translations/pomvane_$language.qm"
    done
    check "$label: scalable icon is SVG" grep -qi "SVG" <(file -b "$icons/scalable/apps/$id.svg" 2>&1)
    check "$label: bin/pomvane-count is an executable" test -f "$root/bin/pomvane-count" -a -x "$root/bin/pomvane-count"
    # Compressed as Debian wants: the best compression, without the name and time stamp.
    for f in "$root/share/man/man1/pomvane.1.gz" "$root/share/man/man1/pomvane-count.1.gz"; do
        check "$label: $(basename "$f") is gzip -9n" \
            grep -qx 'gzip compressed data, max compression, from Unix.*' <(file -b "$f" 2>&1)
        check "$label: $(basename "$f") reads as a manual page" grep -q '^\.SH' <(zcat "$f" 2>&1)
    done
    [ -f "$desktop" ] || return 0

    check "$label: installed desktop entry validates" desktop-file-validate "$desktop"
    if [ -f "$metainfo" ]; then
        check "$label: installed metainfo validates" appstreamcli validate --no-net "$metainfo"
    fi

    # The menu starts the program by the Exec line; it must name the installed binary and
    # take any number of files (%F), so that Open With and drops on a launcher hand them
    # over. It claims no MIME types: Pomvane must never become the default for text files.
    local exec icon
    exec=$(sed -n 's/^Exec=//p' "$desktop")
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    check "$label: Exec line '$exec' is the installed binary with %F" \
        test "$exec" = "pomvane %F" -a -x "$root/bin/${exec%% *}"
    check "$label: desktop entry claims no MIME types" \
        test -z "$(grep '^MimeType=' "$desktop")"
    check "$label: Icon '$icon' is the app id" test "$icon" = "$id"
}

# Bring the programs and pages up to date, so that neither install nor package ships a stale binary.
cmake --build "$build" --target pomvane pomvane-count documentation >"$scratch/build.log" 2>&1 \
    || { cat "$scratch/build.log" >&2; die "building the programs and pages in $build failed"; }

# cmake --install, into a scratch prefix.
cmake --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log" 2>&1 \
    || { cat "$scratch/install.log" >&2; die "cmake --install failed"; }
check_tree "$scratch/prefix" "cmake --install"

# The Debian package.
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[ -n "$version" ] || die "no CPACK_PACKAGE_VERSION in $build/CPackConfig.cmake"
arch=$(dpkg --print-architecture)
deb=$build/pomvane_${version}_${arch}.deb
rm -f "$deb"
(cd "$build" && cpack -G DEB) >"$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log" >&2; die "cpack -G DEB failed"; }
[ -f "$deb" ] || die "cpack did not make $(basename "$deb"); it made: $(cd "$build" && ls -- *.deb 2>/dev/null)"

field() { dpkg-deb -f "$deb" "$1"; }
check "package name is pomvane" test "$(field Package)" = pomvane
check "package version is $version" test "$(field Version)" = "$version"
check "package architecture is $arch" test "$(field Architecture)" = "$arch"
check "package section is utils" test "$(field Section)" = utils
check "package has a maintainer" test -n "$(field Maintainer)"
check "package has a description" test -n "$(field Description)"
check "package recommends Qt's catalogues" grep -q qt6-translations-l10n <<<"$(field Recommends)"
check "the metainfo lists release $version" \
    grep -q "<release version=\"$version\"" "$res/$id.metainfo.xml"

# dpkg-shlibdeps' libraries, and the package holding the X11 display plugin that Qt loads
# at run time, which no library links.
depends=$(field Depends)
# One package name a line, without versions or architecture; alternatives count as named.
sed -e 's/ *([^)]*)//g' -e 's/ *[,|] */\n/g' <<<"$depends" >"$scratch/depends"
xcb_plugin=$(dpkg -S '*/qt6/plugins/platforms/libqxcb.so' 2>/dev/null | sed -n '1s/[:,].*//p' || true)
for dep in libc6 libstdc++6 libqt6core6 libqt6widgets6 "${xcb_plugin:-the package of libqxcb.so}"; do
    check "package depends on $dep (Depends: $depends)" grep -qxF "$dep" "$scratch/depends"
done
check "package recommends qt6-wayland, the native Wayland plugin" \
    grep -qw qt6-wayland <<<"$(field Recommends)"

# Owned by root and free of anything outside /usr.
check "package files are owned by root" \
    test -z "$(dpkg-deb -c "$deb" | awk '$2 != "root/root"')"
check "package installs under /usr only" \
    test -z "$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v -e '^\./$' -e '^\./usr/')"

dpkg -x "$deb" "$scratch/root" || die "dpkg -x failed"
check_tree "$scratch/root/usr" "package"
check "package has the licence as usr/share/doc/pomvane/copyright" \
    test -s "$scratch/root/usr/share/doc/pomvane/copyright"
check "the changelog's latest entry is version $version" \
    test "$(dpkg-parsechangelog -l "$res/changelog" -S Version)" = "$version"
for program in pomvane pomvane-count; do
    check "packaged $program is stripped" \
        grep -q ', stripped' <(file -b "$scratch/root/usr/bin/$program")
    check "packaged $program finds every library it needs" \
        test -z "$(ldd "$scratch/root/usr/bin/$program" | grep 'not found')"
done
# No error and no warning; information tags (hardening hints) are allowed.
check "lintian reports no error or warning" lintian --fail-on error,warning --no-tag-display-limit "$deb"

echo "check_package: checked $(basename "$deb") and the install tree"
echo "check_package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
