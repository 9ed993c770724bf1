#!/usr/bin/env bash
# The Debian package as a user gets it: built by cpack, checked by lintian
# (no errors), desktop-file-validate and appstreamcli, installed with dpkg,
# run from the installed path, and removed again.
#
#   deb_test.sh BUILD_DIR SAMPLES    (as root: it installs the package)
set -euo pipefail
build=$1 samples=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "SKIP: installing the package needs root"; exit 0; }
version=$(sed -n 's/^#define QM_VERSION "\(.*\)"$/\1/p' "$build/generated/qm_version.h")
deb=$build/quillmark_${version}_amd64.deb
(cd "$build" && cpack -G DEB >/dev/null)
[ -f "$deb" ] || fail "no $deb"

lintian --tag-display-limit 0 "$deb" > "$build/lintian.txt" 2>&1 || true
grep '^E: ' "$build/lintian.txt" && fail "lintian reports errors"
echo "lintian: $(grep -c '^[WI]: ' "$build/lintian.txt" || true) warnings and notes, no errors"

work=$(mktemp -d)
trap 'rm -rf "$work"; dpkg -r quillmark >/dev/null 2>&1 || true' EXIT
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/quillmark.desktop" \
  || fail "desktop-file-validate"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/"*.metainfo.xml > "$work/appstream" 2>&1 \
  || { cat "$work/appstream"; fail "appstreamcli validate"; }

dpkg -i "$deb" >/dev/null || fail "dpkg -i"
[ "$(/usr/bin/quillmark-cli --version)" = "quillmark-cli $version" ] || fail "quillmark-cli --version"
[ "$(/usr/bin/quillmark --version)" = "quillmark $version" ] || fail "quillmark --version"
/usr/bin/quillmark-cli extract "$samples/project/Strings.pbi" > "$work/exchange" \
  || fail "extract from the installed program"
cmp "$work/exchange" <("$build/quillmark-cli" extract "$samples/project/Strings.pbi") \
  || fail "the installed program extracts something else"
dpkg -r quillmark >/dev/null || fail "dpkg -r"
[ ! -e /usr/bin/quillmark-cli ] || fail "removing left /usr/bin/quillmark-cli"
echo "quillmark_${version}_amd64.deb: checked, installed, run and removed"
