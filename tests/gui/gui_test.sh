#!/usr/bin/env bash
# Drives the real program on an X display as a user would: xdotool clicks
# and types, xclip reads and fills the clipboard, the files on disk are
# compared byte for byte with what quillmark-cli writes for the same input.
#
#   gui_test.sh SCENARIO QUILLMARK QUILLMARK_CLI CLOSE_WINDOW SAMPLES ARTIFACTS
#
# SCENARIO: run        a whole run of a two-file project, then a close
#           close      a close while the program waits for the clipboard
#           close-box  a close while the Yes/No box is open
#           destroyed  the window destroyed by another client (xdotool
#                      windowclose) while the program waits for the clipboard
#           pieces     a file too long for the translator page, in three
#                      pieces, one of them first copied back a line short
set -euo pipefail

scenario=$1 quillmark=$2 cli=$3 close_window=$4 samples=$5 artifacts=$6

if [ -z "${DISPLAY:-}" ]; then
  echo "no X display; run the GUI tests under xvfb-run" >&2
  exit 77
fi
for tool in xdotool xclip xwininfo import; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 77; }
done

work=$(mktemp -d)
. "$(dirname "$0")/../drive_support.sh"

fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/trace" ] && { echo "--- last program trace lines:" >&2; tail -20 "$work/trace" >&2; }
  [ -s "$work/out" ] && { echo "--- program output:" >&2; tail -20 "$work/out" >&2; }
  exit 1
}

window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
has_window() { [ -n "$(window_named "$1")" ]; }

# Answers a folder chooser by typing the path into it. The folders hold one
# subfolder each, which the chooser's completion offers as the path is
# typed: Enter must still take the typed folder.
choose() {
  local title=$1 folder=$2 id
  wait_for 10 has_window "$title" || fail "no chooser \"$title\""
  id=$(window_named "$title")
  xdotool windowfocus --sync "$id"
  xdotool type --delay 20 "$folder"
  sleep 0.5  # the completion comes a moment after the typing
  xdotool key Return
  wait_for 10 bash -c "! xdotool search --onlyvisible --name '^$title\$' >/dev/null 2>&1" \
    || fail "chooser \"$title\" stayed open"
}

mkdir -p "$work/home" "$work/src/old" "$work/dst/old" "$artifacts"
if [ "$scenario" = pieces ]; then
  # About 12,000 code units of comments: three pieces for the page.
  for i in $(seq -w 0 199); do
    printf 'x%s = %s ; step %s of the program explains what happens next\r\n' "$i" "$i" "$i"
  done > "$work/src/Long.pb"
else
  cp "$samples/project/Main.pb" "$samples/project/Strings.pbi" "$work/src/"
fi
export HOME=$work/home XDG_CACHE_HOME=$work/home/.cache QUILLMARK_TRACE=$work/trace

start_ns=$(date +%s%N)
"$quillmark" > "$work/out" 2>&1 &
pid=$!
wait_for 30 has_window Quillmark || fail "no window within 30 s"
shown_ms=$(( ($(date +%s%N) - start_ns) / 1000000 ))
echo "window shown after ${shown_ms} ms"
wid=$(window_named Quillmark)

geometry=$(xwininfo -id "$wid")
for expected in "Absolute upper-left X:  210" "Absolute upper-left Y:  10" "Width: 1291" "Height: 807"; do
  grep -q "$expected" <<<"$geometry" || fail "window geometry: want '$expected', got: $geometry"
done

# Field 1 blinks the state: on, off, on.
wait_for 10 bash -c "[ \$(grep -c ' status 1 center <<<  Monitoring  >>>\$' '$work/trace') -ge 2 ]" \
  || fail "field 1 does not blink Monitoring"
grep -q ' status 1 center $' "$work/trace" || fail "field 1 is never blanked"
# ... and the screen shows it: the field's pixels change over a second.
for i in 1 2 3 4 5 6; do
  import -window root -crop 300x24+410+793 "$work/field1-$i.png"
  sleep 0.17
done
[ "$(md5sum "$work"/field1-*.png | cut -d' ' -f1 | sort -u | wc -l)" -ge 2 ] \
  || fail "field 1 does not change on screen"

# The status bar's fields end at 200, 500, 891, 1041 and 1191: a border
# line just left of each edge, darker than the field inside it.
import -window root "$work/start.png"
pixel() { convert "$work/start.png" -crop "1x1+$((210 + $1))+805" +repage -format '%[fx:int(255*p.r)]' info:; }
for edge in 200 500 891 1041 1191; do
  [ "$(pixel $((edge - 1)))" -lt "$(pixel $((edge - 4)))" ] || fail "no status field edge at $edge"
done

# Without a network the translator page cannot load: the program's own page
# says so instead of the engine's error.
if [ "$scenario" = run ] && ! getent hosts translate.google.com >/dev/null 2>&1; then
  wait_for 30 grep -q ' web view offline page' "$work/trace" || fail "the offline page is not shown"
  sleep 1
  import -window root "$artifacts/offline-page.png"
fi

xdotool mousemove --window "$wid" 920 45 click 1
choose "Select a Source Path For Quillmark Project" "$work/src"
choose "Select a Destination  Path For Quillmark Project" "$work/dst"

grep -q "chooser result $work/src/\$" "$work/trace" || fail "the source chooser did not take the typed folder"
grep -q "chooser result $work/dst/\$" "$work/trace" || fail "the destination chooser did not take the typed folder"

if [ "$scenario" = pieces ]; then
  "$cli" extract --max-chars 5000 "$work/src/Long.pb" > "$work/pieces"
  awk -v dir="$work" 'BEGIN { RS = "\f"; ORS = "" } { print > (dir "/piece" NR) }' "$work/pieces"
  [ -f "$work/piece3" ] && [ ! -f "$work/piece4" ] || fail "Long.pb should make three pieces"
  : > "$work/joined"
  for k in 1 2 3; do
    wait_for 10 clipboard_is "$work/piece$k" || fail "piece $k is not on the clipboard"
    grep -q " status 2 left CURRENT FILE: Long.pb  (part $k of 3)\$" "$work/trace" \
      || fail "field 2 does not name part $k of 3"
    tr 'a-z' 'A-Z' < "$work/piece$k" > "$work/translated$k"
    if [ "$k" = 2 ]; then
      # One line short: the box warns, and Enter (No, the default) hands
      # the piece out again.
      tr '\r' '\n' < "$work/translated$k" | head -n -1 | tr '\n' '\r' > "$work/short"
      copy "$work/short"
      wait_for 10 has_window "ClipBoard Text Changed" || fail "no box for the short piece"
      grep -q "question ClipBoard Text Changed (default No)\$" "$work/trace" \
        || fail "the box for a short piece does not default to No"
      sleep 0.5
      import -window root "$artifacts/count-warning.png"
      box=$(window_named "ClipBoard Text Changed")
      xdotool windowfocus --sync "$box"
      xdotool key Return
      wait_for 10 clipboard_is "$work/piece$k" || fail "No did not hand piece $k out again"
    fi
    copy "$work/translated$k"
    wait_for 10 has_window "ClipBoard Text Changed" || fail "no box for piece $k"
    box=$(window_named "ClipBoard Text Changed")
    xdotool windowfocus --sync "$box"
    xdotool key Return
    cat "$work/translated$k" >> "$work/joined"
    [ "$k" = 3 ] || [ ! -e "$work/dst/Long.pb" ] || fail "Long.pb written before its last piece"
  done
  "$cli" apply "$work/src/Long.pb" "$work/joined" "$work/Long.expected"
  wait_for 10 test -f "$work/dst/Long.pb" || fail "Long.pb was not written"
  cmp "$work/dst/Long.pb" "$work/Long.expected" || fail "Long.pb differs from quillmark-cli's output"
  echo "Long.pb translated in three pieces and written byte for byte"
  "$close_window" "$wid"
  wait_for 10 stopped || fail "the program did not end after the close"
  exit 0
fi

first=Strings.pbi
"$cli" extract "$work/src/$first" > "$work/$first.exchange"
wait_for 10 clipboard_is "$work/$first.exchange" || fail "the exchange text of $first is not on the clipboard"

# close_and_expect_nothing_written DESCRIPTION
close_and_expect_nothing_written() {
  if [ "$scenario" = destroyed ]; then xdotool windowclose "$wid"; else "$close_window" "$wid"; fi
  wait_for 10 stopped || fail "the program did not end after the close"
  wait "$pid" && rc=0 || rc=$?
  pid=
  [ "$rc" -eq 0 ] || fail "exit code $rc after the close"
  written=$(ls -A "$work/dst" | grep -vx old || true)
  [ -z "$written" ] || fail "the destination holds files after the close: $written"
  echo "closed $1: exit code 0, nothing written"
  exit 0
}
if [ "$scenario" = close ] || [ "$scenario" = destroyed ]; then
  import -window root "$artifacts/window-clipboard-wait.png"
  close_and_expect_nothing_written "during the clipboard wait ($scenario)"
fi
if [ "$scenario" = close-box ]; then
  printf 'X\rY\r' > "$work/translation"
  copy "$work/translation"
  wait_for 10 has_window "ClipBoard Text Changed" || fail "no confirmation box"
  import -window root "$artifacts/window-with-box.png"
  close_and_expect_nothing_written "while the Yes/No box was open"
fi
for name in Strings.pbi Main.pb; do
  "$cli" extract "$work/src/$name" > "$work/$name.exchange"
  wait_for 10 clipboard_is "$work/$name.exchange" || fail "the exchange text of $name is not on the clipboard"
  if [ "$name" = Main.pb ]; then
    cp "$samples/Main.de.txt" "$work/$name.translated"
    import -window root "$artifacts/window-mid-run.png"
  else
    tr 'a-z' 'A-Z' < "$work/$name.exchange" > "$work/$name.translated"
  fi
  "$cli" apply "$work/src/$name" "$work/$name.translated" "$work/$name.expected"
  copy "$work/$name.translated"
  wait_for 10 has_window "ClipBoard Text Changed" || fail "no confirmation box for $name"
  [ "$name" = Main.pb ] && import -window root "$artifacts/confirmation-box.png"
  box=$(window_named "ClipBoard Text Changed")
  xdotool windowfocus --sync "$box"
  xdotool key Return  # Yes is the default button
  wait_for 10 test -f "$work/dst/$name" || fail "$name was not written"
  cmp "$work/dst/$name" "$work/$name.expected" || fail "$name differs from quillmark-cli's output"
  echo "$name translated and written byte for byte"
done

wait_for 20 grep -q ' status 1 center  <<<  Translation Completed  >>>$' "$work/trace" \
  || fail "the run did not complete"
# The program keeps only its scratch copy on disk; the web view nothing
# (dconf, GTK's settings store, keeps its own file there without a session).
kept=$(cd "$XDG_CACHE_HOME" && find . -mindepth 1 -not -path './dconf*' | sort | tr '\n' ' ')
[ "$kept" = "./quillmark ./quillmark/btex " ] || fail "the cache holds more than the scratch copy: $kept"
xclip -o -selection clipboard > "$work/clip" || fail "the clipboard holds no text after the run"
[ ! -s "$work/clip" ] || fail "the clipboard should hold the empty text after the run"
import -window root "$artifacts/window-after-run.png"

"$close_window" "$wid"
wait_for 10 stopped || fail "the program did not end after the close"
wait "$pid" && rc=0 || rc=$?
pid=
[ "$rc" -eq 0 ] || fail "exit code $rc after the close"
echo "run completed; closed with exit code 0"
