#!/usr/bin/env bash
# The Windows zip: exactly the two programs, the README and the licence, and
# quillmark-cli.exe from it answers --version under Wine.
#
#   zip_test.sh BUILD_WIN64_DIR
set -euo pipefail
build=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
version=$(sed -n 's/^#define QM_VERSION "\(.*\)"$/\1/p' "$build/generated/qm_version.h")
name=quillmark-$version-win64
(cd "$build" && cpack -G ZIP >/dev/null)
zip=$build/$name.zip
[ -f "$zip" ] || fail "no $zip"
listed=$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')
expected="$name/LICENSE $name/README.md $name/quillmark-cli.exe $name/quillmark.exe "
[ "$listed" = "$expected" ] || fail "the zip holds: $listed"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
answer=$("$wine" "$work/$name/quillmark-cli.exe" --version 2>/dev/null | tr -d '\r')
[ "$answer" = "quillmark-cli $version" ] || fail "quillmark-cli.exe --version says '$answer'"
echo "$name.zip: $listed; quillmark-cli.exe --version under Wine: $answer"
