#!/usr/bin/env bash
# Runs quillmark.exe under Wine on an X display and drives it as a user
# would: probe.exe (a Win32 program beside it) reads the window's geometry
# and status bar, presses the button and answers the choosers and boxes;
# xclip reads the exchange text from the clipboard and copies the
# translation in, through Wine's bridge to the X clipboard. The written file
# is compared byte for byte with what quillmark-cli.exe writes.
#
#   wine_test.sh QUILLMARK_EXE QUILLMARK_CLI_EXE PROBE_EXE SAMPLES ARTIFACTS
#
# WINEPREFIX names the Wine prefix to use (made once per test run by the
# scripts; made here when it does not exist yet).
set -euo pipefail

quillmark=$1 cli=$2 probe=$3 samples=$4 artifacts=$5

wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "wine64 is not installed" >&2; exit 77; }
[ -n "${DISPLAY:-}" ] || { echo "no X display; run the Wine test under xvfb-run" >&2; exit 77; }
for tool in xclip import; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 77; }
done

# Wine has no Gecko here: mshtml off keeps it from offering to install it,
# and the browser control shows an empty page instead.
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-$(dirname "$artifacts")/wine-prefix}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot -i >/dev/null 2>&1
fi

# The project lives on the prefix's drive C: so its Windows paths are plain.
name=quillmark-smoke-$$
work=$WINEPREFIX/drive_c/$name
win='C:\'$name
. "$(dirname "$0")/../drive_support.sh"

fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/trace" ] && { echo "--- last program trace lines:" >&2; tail -20 "$work/trace" >&2; }
  [ -f "$work/out" ] && { echo "--- program output:" >&2; grep -v 'Read access denied' "$work/out" >&2 || true; }
  import -window root "$artifacts/failure.png" 2>/dev/null || true
  exit 1
}

probe() { "$wine" "$probe" "$@" 2>/dev/null | tr -d '\r'; }
windows_clipboard_is() { "$wine" "$probe" clipboard 2>/dev/null > "$work/winclip"; cmp -s "$work/winclip" "$1"; }
trace() { tr -d '\r' < "$work/trace"; }  # the program's trace, as lines of this system
expect() {  # expect WHAT ACTUAL WANTED
  [ "$2" = "$3" ] || fail "$1: got '$2', want '$3'"
}

mkdir -p "$work/src" "$work/dst" "$artifacts"
rm -f "$artifacts"/*.png
cp "$samples/project/Main.pb" "$samples/project/Strings.pbi" "$work/src/"

# Wine's clipboard bridge is up once a text copied on the X side reaches
# the Windows side.
printf 'bridge %s' "$$" > "$work/marker"
copy "$work/marker"
wait_for 60 windows_clipboard_is "$work/marker" || fail "Wine's clipboard does not follow the X clipboard"

QUILLMARK_TRACE="$win\\trace" "$wine" "$quillmark" > "$work/out" 2>&1 &
pid=$!
wait_for 60 probe geometry || fail "no Quillmark window"

# --- The window -------------------------------------------------------------
probe geometry > "$work/geometry"
cat "$work/geometry"
expect "outer top-left" "$(awk '$1 == "outer" {print $2, $3}' "$work/geometry")" "210 10"
expect "client size" "$(awk '$1 == "client" {print $4, $5}' "$work/geometry")" "1291 807"
# The browser control is asked for its newest document mode, and paths
# beyond MAX_PATH are allowed by the manifest.
emulation=$("$wine" reg query \
  'HKCU\Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION' \
  /v "$(basename "$quillmark")" 2>/dev/null | tr -d '\r' | awk '$1 == "'"$(basename "$quillmark")"'" {print $3}')
expect "browser emulation" "$emulation" "0x2af9"
grep -q 'longPathAware' "$quillmark" || fail "the manifest does not declare longPathAware"
expect "frame" "$(grep '^maximizebox' "$work/geometry")" "maximizebox 0 sizingborder 0 minimizebox 1"
expect "status bar parts" "$(awk '$1 == "parts" {$1 = ""; print substr($0, 2)}' "$work/geometry")" \
  "200 500 891 1041 1191"
expect "status bar bottom" "$(awk '$1 == "statusbar" {print $3}' "$work/geometry")" "807"
blinks() { probe field 1 | grep -q '<<<  Monitoring  >>>'; }
wait_for 10 blinks || fail "field 1 does not show the state"
# The translator page cannot load here (Wine's browser control has no
# engine): the control's failure reaches the program, which cancels the
# control's error page and asks for its own page.
trace | grep -q ' web view events connected$' || fail "the browser control's events are not listened to"
offline_pages() { trace | grep -c ' web view offline page$' || true; }
offline_pages_at_least() { [ "$(offline_pages)" -ge "$1" ]; }
wait_for 10 offline_pages_at_least 1 || fail "no offline page for the failed translator page"
import -window root "$artifacts/started.png"

# --- Both choosers cancelled: the source error ---------------------------------
probe press || fail "no Source button"
probe chooser "" | grep -q "Select a Source Path For Quillmark Project" || fail "no source chooser"
probe chooser "" | grep -q "Select a Destination  Path For Quillmark Project" \
  || fail "no destination chooser"
expect "Source Error box" "$(probe box "Source Error" ok)" "Please Select a Project Source Folder"

# --- A run ------------------------------------------------------------------
probe press || fail "no Source button"
probe chooser "$win\\src" | grep -q "^selected src$" || fail "could not pick the source folder"
probe chooser "$win\\dst" | grep -q "^selected dst$" || fail "could not pick the destination folder"
# What the program got from the choosers, not only what their edit boxes
# showed when OK was pressed.
chosen() { trace | awk '$2 == "chooser" && $3 == "result" {sub(/^[0-9]+ chooser result /, ""); print}' | tail -2 | paste -sd' '; }
picked_both() { [ "$(chosen)" = "$win\\src\\ $win\\dst\\" ]; }
wait_for 10 picked_both || fail "the choosers returned $(chosen), not the folders picked"

"$wine" "$cli" extract "$win\\src\\Strings.pbi" > "$work/exchange" 2>/dev/null
wait_for 30 clipboard_is "$work/exchange" || fail "the exchange text of Strings.pbi is not on the clipboard"
expect "rows of the file list" "$(probe rows 0)" "2"
expect "field 2" "$(probe field 2)" "CURRENT FILE: Strings.pbi"

tr 'a-z' 'A-Z' < "$work/exchange" > "$work/translation"
copy "$work/translation"
probe box "ClipBoard Text Changed" yes > "$work/box" || fail "no Yes/No box"
grep -q "If Data is Correct ! Click Yes Else Click No" "$work/box" || fail "box text: $(cat "$work/box")"
wait_for 30 test -f "$work/dst/Strings.pbi" || fail "Strings.pbi was not written"
"$wine" "$cli" apply "$win\\src\\Strings.pbi" "$win\\translation" "$win\\expected.pbi" 2>/dev/null
cmp "$work/dst/Strings.pbi" "$work/expected.pbi" || fail "Strings.pbi differs from quillmark-cli's output"
has_saved_row() { [ "$(probe rows 1)" = 1 ]; }
wait_for 10 has_saved_row || fail "no Translated row"
# The reset after the file navigates to the translator page again, which
# fails again.
wait_for 10 offline_pages_at_least 2 || fail "the reset did not try the translator page again"

"$wine" "$cli" extract "$win\\src\\Main.pb" > "$work/exchange-main" 2>/dev/null
wait_for 30 clipboard_is "$work/exchange-main" || fail "the exchange text of Main.pb is not on the clipboard"
expect "field 0" "$(probe field 0)" "Files: 2   FILES TRANSLATED -->  1"
import -window root "$artifacts/second-file.png"

# --- The close while the Yes/No box of the second file is open ------------------
tr 'a-z' 'A-Z' < "$work/exchange-main" > "$work/translation-main"
copy "$work/translation-main"
probe box "ClipBoard Text Changed" none > /dev/null || fail "no Yes/No box for Main.pb"
import -window root "$artifacts/box.png"
probe close || fail "could not ask the window to close"
wait_for 30 stopped || fail "the program did not end after the close"
code=0
wait "$pid" || code=$?
pid=
expect "exit code" "$code" "0"
expect "destination after the close" "$(ls -A "$work/dst")" "Strings.pbi"
# One offline page per navigation to the translator page (the first and
# each reset), never more: where the offline page's own navigation fails
# too, it is not asked for again.
navigations=$(( 1 + $(trace | grep -cE ' text [0-9]+ https?://' || true) ))
[ "$(offline_pages)" -le "$navigations" ] \
  || fail "$(offline_pages) offline pages for $navigations navigations to the translator page"
cp "$work/trace" "$artifacts/trace"
echo "PASS: quillmark.exe under Wine (screenshots and the program's trace in $artifacts)"
