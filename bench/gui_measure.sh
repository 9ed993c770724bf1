#!/usr/bin/env bash
# Measures the real window on an X display (run it under xvfb-run):
#  - the time from starting the program to its window being mapped;
#  - the CPU the program and its web processes use over 60 s idle, and over
#    60 s of waiting for the clipboard in a run;
#  - the time one run takes over a one-file project of SOURCE, with
#    TRANSLATION as the copied text: from the destination chosen to the
#    exchange text on the clipboard, and from the Yes to the written output.
#
#   bench/gui_measure.sh BUILD_DIR SOURCE TRANSLATION [SECONDS]
set -euo pipefail
build=$1 source=$2 translation=$3 seconds=${4:-60}
quillmark=$build/quillmark

work=$(mktemp -d)
pid= copier=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; [ -n "$copier" ] && kill "$copier" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/src" "$work/dst"
cp "$source" "$work/src/"
name=$(basename "$source")
export HOME=$work/home XDG_CACHE_HOME=$work/home/.cache QUILLMARK_TRACE=$work/trace

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
wait_until() { until "$@" >/dev/null 2>&1; do sleep 0.02; done; }
window() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
has_window() { [ -n "$(window "$1")" ]; }
# CPU seconds (user + system) of the program and every process under it.
cpu_ticks() {
  local total=0 p
  for p in "$pid" $(pgrep -P "$pid" || true); do
    [ -r "/proc/$p/stat" ] || continue
    total=$(( total + $(awk '{print $14 + $15}' "/proc/$p/stat") ))
  done
  echo "$total"
}
cpu_over() {
  local before after
  before=$(cpu_ticks); sleep "$seconds"; after=$(cpu_ticks)
  awk -v t=$(( after - before )) -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
    'BEGIN { printf "%.2f s of CPU in %d s (%.1f %% of one core)", t / hz, s, 100 * t / hz / s }'
}

start=$(now_ms)
"$quillmark" > "$work/out" 2>&1 &
pid=$!
wait_until has_window Quillmark
echo "start to window mapped: $(( $(now_ms) - start )) ms"
wid=$(window Quillmark)
sleep 5
echo "idle:                   $(cpu_over)"

xdotool mousemove --window "$wid" 920 45 click 1
choose() {
  wait_until has_window "$1"
  chooser=$(window "$1")
  xdotool windowfocus --sync "$chooser"
  xdotool type --delay 10 "$2/"
  chosen=$(now_ms)
  xdotool key Return
}
choose "Select a Source Path For Quillmark Project" "$work/src"
wait_until bash -c "! xdotool search --onlyvisible --name '^Select a Source Path For Quillmark Project\$'"
choose "Select a Destination  Path For Quillmark Project" "$work/dst"
wait_until grep -q ' clipboard set ' "$work/trace"
echo "destination chosen to exchange text on the clipboard: $(( $(now_ms) - chosen )) ms"
sleep 2
echo "clipboard wait:         $(cpu_over)"

xclip -quiet -i -selection clipboard < "$translation" > /dev/null 2>&1 &
copier=$!
wait_until has_window "ClipBoard Text Changed"
box=$(window "ClipBoard Text Changed")
xdotool windowfocus --sync "$box"
yes=$(now_ms)
xdotool key Return
wait_until test -f "$work/dst/$name"
echo "Yes to output written:  $(( $(now_ms) - yes )) ms (of which 500 ms is the fixed wait after the Yes)"
kill "$pid"
