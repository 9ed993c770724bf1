# Shared by the scripts that drive the real program from outside (gui/,
# wine/). Source it after setting `work`, the scratch folder: it keeps the
# program's pid and the xclip processes serving copied texts, and ends
# them and removes `work` when the script exits.

pid=
copiers=()
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  for copier in "${copiers[@]}"; do kill "$copier" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# wait_for SECONDS COMMAND...: retries COMMAND every 0.1 s.
wait_for() {
  local deadline=$(( $(date +%s%N) + $1 * 1000000000 ))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$(date +%s%N)" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

running() { kill -0 "$pid" 2>/dev/null; }
stopped() { ! running; }
# The X clipboard's text is FILE's bytes.
clipboard_is() { xclip -o -selection clipboard 2>/dev/null > "$work/clip"; cmp -s "$work/clip" "$1"; }
# Copies FILE's bytes as the clipboard's text; xclip serves them until
# another program takes the clipboard.
copy() {
  xclip -quiet -i -selection clipboard < "$1" > /dev/null 2>&1 &
  copiers+=($!)
}
