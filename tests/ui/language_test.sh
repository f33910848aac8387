#!/usr/bin/env bash
# The real program under Xvfb in the person's language: with LANGUAGE=de (fr) it finds its
# catalogues from its own folder, its context menu picks entries by their German (French)
# letters, the About box has the translated title, and Copy Totals still copies the line for
# scripts, untranslated.
#   language_test.sh POMVANE
# Needs xvfb, xauth, xdotool and xclip.
set -uo pipefail

# shellcheck disable=SC2034  # read by xvfb_helper.sh
name=language_test usage=POMVANE tools=(xdotool xclip)
# shellcheck source=../xvfb_helper.sh
. "$(dirname "$0")/../xvfb_helper.sh"
under_xvfb 1 1 "$@"
pomvane=${args[0]}

# language, the letter of Copy Totals and of About in its menu, the About box's title
while read -r language totals_key about_key about_title; do
    LANGUAGE=$language LC_ALL=C.UTF-8 "$pomvane" --new-window &
    pid=$!
    pids+=("$pid")
    window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Pomvane$' | head -n 1)
    [ -n "$window" ] || fail "$language: no window named Pomvane appeared"
    # Copy Totals through the language's own letter.
    expect_totals "$window" shift+F10 "files=0 failed=0 characters=0 lines=0" "$totals_key"

    about=
    for _ in $(seq 10); do
        xdotool key --window "$window" shift+F10
        sleep 0.3
        xdotool key --window "$window" "$about_key"
        about=$(timeout 2 xdotool search --sync --onlyvisible --name "^$about_title\$" | head -n 1)
        [ -n "$about" ] && break
    done
    [ -n "$about" ] || fail "$language: no About box titled '$about_title' after the menu's '$about_key'"
    kill "$pid"
    wait "$pid" 2>/dev/null
done <<'TABLE'
de s b Über Pomvane
fr t p À propos de Pomvane
TABLE
echo "language_test: the window speaks German and French"
