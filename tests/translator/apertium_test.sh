#!/usr/bin/env bash
# quillmark-cli translate with a real offline translator: Apertium's
# Spanish to English pair on the Spanish sample project. Comments and
# strings come out in English; every byte is what apply writes for
# Apertium's lines, so nothing else changed.
#
#   apertium_test.sh QUILLMARK_CLI SAMPLES
set -euo pipefail
cli=$1 samples=$2
command -v apertium >/dev/null || { echo "apertium is not installed (apertium, apertium-eng-spa)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
mkdir "$work/dst"

# An empty line after each item keeps Apertium from moving words from one
# item to the next (it reads consecutive lines as running text).
command="sed G | apertium -u spa-eng | sed '/^\$/d'"
"$cli" translate "$samples/spanish" "$work/dst" --with "$command" 2> "$work/err" \
  || fail "translate failed: $(cat "$work/err")"
cat "$work/err"
grep -q '; Main window of the program of example' "$work/dst/Ventana.pb" \
  || fail "the comment is not in English: $(head -3 "$work/dst/Ventana.pb")"
grep -q '"Save the archive"' "$work/dst/Ventana.pb" || fail "the button text is not in English"
grep -q 'XIncludeFile "Textos.pbi"' "$work/dst/Ventana.pb" || fail "the include path changed"
grep -q 'ReadPreferenceLong("AnchoVentana", 320)' "$work/dst/Ventana.pb" \
  || fail "the preference key changed"
for file in Ventana.pb Textos.pbi; do
  # Each item translated on its own: what the file must hold, every item in
  # its own place.
  "$cli" extract "$samples/spanish/$file" | tr '\r' '\n' > "$work/items"
  : > "$work/lines"
  while IFS= read -r item; do printf '%s\n' "$item" | apertium -u spa-eng >> "$work/lines"; done < "$work/items"
  "$cli" apply "$samples/spanish/$file" "$work/lines" "$work/expected" \
    || fail "apply refused Apertium's lines for $file"
  cmp "$work/dst/$file" "$work/expected" || fail "$file differs from its items translated one by one"
done
echo "Apertium translated the Spanish sample; every item in its place, every byte as apply writes it"
