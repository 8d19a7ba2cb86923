#!/usr/bin/env bash
# Checks the desktop entry: desktop-file-validate accepts it, and it starts
# the installed program with the icon name that the hicolor icons carry.
# Usage: check-desktop-entry.sh <nodeconfig.desktop> <hicolor icon dir>
set -euo pipefail
entry=$1
icons=$2
if ! command -v desktop-file-validate >/dev/null 2>&1; then
    echo "desktop-file-validate not installed (desktop-file-utils): skipped"
    exit 77
fi
fail=0
bad() { echo "FAIL: $*"; fail=1; }

echo "desktop-file-validate $entry"
if output=$(desktop-file-validate "$entry" 2>&1); then
    echo "ok: accepted${output:+ with hints:}"
    [ -z "$output" ] || echo "$output"
else
    bad "desktop-file-validate rejects it:"
    echo "$output"
fi

# A key of the main group, or of the group named by a second argument.
key() { sed -n "/^\[${2:-Desktop Entry}\]/,/^\[/ s/^$1=//p" "$entry"; }
[ "$(key Exec)" = nodeconfig ] && echo "ok: Exec=nodeconfig" || bad "Exec is '$(key Exec)', expected nodeconfig"
[ "$(key Terminal)" = false ] && echo "ok: Terminal=false" || bad "Terminal is '$(key Terminal)'"
icon=$(key Icon)
for dir in "$icons"/*/apps; do
    [ -f "$dir/$icon.png" ] || bad "Icon=$icon has no $dir/$icon.png"
done
echo "checked Icon=$icon against $(ls -d "$icons"/*/apps | wc -l) icon sizes"
if [ -z "$(key Name)" ] || [ -z "$(key Comment)" ]; then bad "Name or Comment is empty"; fi
# The guide alone, from the menu's action.
guide=$(key Exec "Desktop Action guide")
[ "$guide" = "nodeconfig --guide" ] && echo "ok: action guide runs nodeconfig --guide" ||
    bad "the guide action runs '$guide', expected 'nodeconfig --guide'"

[ "$fail" -eq 0 ] && echo "desktop entry: all checks passed"
exit "$fail"
