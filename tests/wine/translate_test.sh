#!/usr/bin/env bash
# quillmark-cli.exe translate under Wine, with a Windows translator program
# run through cmd.exe: its output is what apply writes for the same lines,
# and a failing translator fails its file with its own words.
#
#   translate_test.sh QUILLMARK_CLI_EXE UPPER_EXE SAMPLES
set -euo pipefail
cli=$1 upper=$2 samples=$3
wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "wine64 is not installed" >&2; exit 77; }
[ -n "${WINEPREFIX:-}" ] || { echo "WINEPREFIX is not set" >&2; exit 77; }

# The project lives on the prefix's drive C: so its Windows paths are plain.
name=quillmark-translate-$$
work=$WINEPREFIX/drive_c/$name
win='C:\'$name
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
mkdir -p "$work/src" "$work/dst"
cp "$samples/project/Main.pb" "$samples/project/Strings.pbi" "$work/src/"
cp "$upper" "$work/upper.exe"

"$wine" "$cli" translate "$win\\src" "$win\\dst" --with "$win\\upper.exe" 2> "$work/err" \
  || fail "translate failed: $(cat "$work/err")"
for file in Main.pb Strings.pbi; do
  "$wine" "$cli" extract "$win\\src\\$file" 2>/dev/null | tr 'a-z' 'A-Z' > "$work/translation"
  "$wine" "$cli" apply --force "$win\\src\\$file" "$win\\translation" "$win\\expected" 2>/dev/null
  cmp "$work/dst/$file" "$work/expected" || fail "$file differs from what apply writes"
done
echo "translate through cmd.exe wrote what apply writes"

# A destination deeper than MAX_PATH.
deep=dst
for level in 1 2 3 4 5 6; do deep="$deep/folder-of-level-$level-with-a-rather-long-name-to-pass-max-path"; done
mkdir -p "$work/$deep"
windeep="$win\\$(echo "$deep" | tr '/' '\\')"
[ "${#windeep}" -gt 300 ] || fail "the deep path is only ${#windeep} characters"
"$wine" "$cli" translate "$win\\src" "$windeep" --with "$win\\upper.exe" 2> "$work/err" \
  || fail "translate into a ${#windeep}-character path failed: $(cat "$work/err")"
cmp "$work/$deep/Main.pb" "$work/dst/Main.pb" || fail "the file in the deep folder differs"
echo "written into a folder of ${#windeep} characters"

set +e
"$wine" "$cli" translate "$win\\src" "$win\\dst" --with "$win\\upper.exe refused" 2> "$work/err"
rc=$?
set -e
[ "$rc" -eq 1 ] || fail "a failing translator: exit code $rc (want 1)"
tr -d '\r' < "$work/err" | grep -q "failed: Main.pb: the command exited with 1: refused" \
  || fail "the failure is not reported: $(cat "$work/err")"
echo "a failing translator fails its files, with its own words"

# Messages name files in UTF-8 when they are redirected (on a console they
# go out as UTF-16).
"$wine" "$cli" extract "$win\\Größe.pb" 2> "$work/err" && fail "extract of a missing file succeeded"
grep -q "cannot read 'C:.*Größe.pb'" "$work/err" || fail "the message is not UTF-8: $(cat "$work/err")"
echo "messages are UTF-8 when redirected"
