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

"$cli" translate "$samples/spanish" "$work/dst" --with 'apertium -u spa-eng' 2> "$work/err" \
  || fail "translate failed: $(cat "$work/err")"
cat "$work/err"
grep -q '; Main window of the program of example' "$work/dst/Ventana.pb" \
  || fail "the comment is not in English: $(head -3 "$work/dst/Ventana.pb")"
grep -q '"Save the archive"' "$work/dst/Ventana.pb" || fail "the button text is not in English"
grep -q 'XIncludeFile "Textos.pbi"' "$work/dst/Ventana.pb" || fail "the include path changed"
grep -q 'ReadPreferenceLong("AnchoVentana", 320)' "$work/dst/Ventana.pb" \
  || fail "the preference key changed"
for file in Ventana.pb Textos.pbi; do
  "$cli" extract "$samples/spanish/$file" | tr '\r' '\n' | apertium -u spa-eng > "$work/lines"
  "$cli" apply "$samples/spanish/$file" "$work/lines" "$work/expected" \
    || fail "apply refused Apertium's lines for $file"
  cmp "$work/dst/$file" "$work/expected" || fail "$file differs from what apply writes"
done
echo "Apertium translated the Spanish sample; every byte as apply writes it"
