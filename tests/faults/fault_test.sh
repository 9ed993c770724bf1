#!/usr/bin/env bash
# Faults injected into quillmark-cli as a user's machine would have them:
#   kill     SIGKILL at random moments of an in-place apply of a 50 MB file:
#            the file is always the whole old or the whole new one, and a
#            later run clears the temporary files the kills left (once they
#            are an hour old)
#   full     a disk that fills up during the write (a 4 MB tmpfs; skipped
#            where mounting is not allowed)
#   memory   a file too large for the memory the process may have (ulimit -v)
#
#   fault_test.sh SCENARIO QUILLMARK_CLI GENERATE_SOURCE
set -euo pipefail
scenario=$1 cli=$2 generate=$3
work=$(mktemp -d)
mounted=
cleanup() {
  [ -n "$mounted" ] && umount "$mounted" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
temporaries() { find "$1" -maxdepth 1 -name '.qm-*' | wc -l; }

case $scenario in
kill)
  "$generate" 50 "$work/old.pb" "$work/translation" >/dev/null
  "$cli" apply "$work/old.pb" "$work/translation" "$work/new.pb" || fail "apply failed"
  cmp -s "$work/old.pb" "$work/new.pb" && fail "the translation changes nothing"
  cp "$work/old.pb" "$work/target.pb"
  # How long one apply takes here, so that the kills land inside it.
  start=$(date +%s%N)
  "$cli" apply "$work/target.pb" "$work/translation" "$work/target.pb"
  span_ms=$(( ($(date +%s%N) - start) / 1000000 ))
  cmp -s "$work/target.pb" "$work/new.pb" || fail "an in-place apply wrote something else"
  kills=0 tries=0 deadline=$(( $(date +%s) + 240 ))
  while [ "$kills" -lt 20 ] && [ "$(date +%s)" -lt "$deadline" ]; do
    tries=$((tries + 1))
    # Every other try starts from the old file, so both sides are seen.
    [ $((tries % 2)) -eq 0 ] && cp "$work/old.pb" "$work/target.pb"
    "$cli" apply "$work/target.pb" "$work/translation" "$work/target.pb" 2>/dev/null &
    pid=$!
    sleep "$(awk -v s="$RANDOM" -v span="$span_ms" 'BEGIN { printf "%.3f", (s % span) / 1000 }')"
    if kill -9 "$pid" 2>/dev/null; then kills=$((kills + 1)); fi
    wait "$pid" 2>/dev/null || true
    if ! cmp -s "$work/target.pb" "$work/old.pb" && ! cmp -s "$work/target.pb" "$work/new.pb"; then
      fail "after kill $kills the file is neither the old nor the new one"
    fi
  done
  [ "$kills" -ge 20 ] || fail "only $kills kills landed in $tries tries"
  left=$(temporaries "$work")
  echo "$kills kills in $tries tries (apply takes ${span_ms} ms): the file was whole every time; $left temporary files left"
  # A kill once the temporary file is there lands in the write, and leaves
  # that file behind (however slow the machine is just now).
  for attempt in 1 2 3 4 5; do
    [ "$(temporaries "$work")" -gt 0 ] && break
    "$cli" apply "$work/target.pb" "$work/translation" "$work/target.pb" 2>/dev/null &
    pid=$!
    for _ in $(seq 1 2000); do
      [ "$(temporaries "$work")" -gt 0 ] && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.005
    done
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    if ! cmp -s "$work/target.pb" "$work/old.pb" && ! cmp -s "$work/target.pb" "$work/new.pb"; then
      fail "after a kill during the write the file is neither the old nor the new one"
    fi
  done
  left=$(temporaries "$work")
  [ "$left" -gt 0 ] || fail "no kill landed in a write"
  # Fresh leftovers may belong to a write in progress and stay; an hour
  # later the next write into the folder clears them.
  "$cli" apply "$work/target.pb" "$work/translation" "$work/target.pb"
  [ "$(temporaries "$work")" -eq "$left" ] || fail "fresh temporary files were removed"
  find "$work" -maxdepth 1 -name '.qm-*' -exec touch -d '2 hours ago' {} +
  "$cli" apply "$work/target.pb" "$work/translation" "$work/target.pb"
  [ "$(temporaries "$work")" -eq 0 ] || fail "temporary files left after a later run"
  cmp -s "$work/target.pb" "$work/new.pb" || fail "the last run wrote something else"
  echo "$left temporary files of killed writes: kept while fresh, removed by a later run once old"
  ;;
full)
  if [ "$(id -u)" -ne 0 ] || ! mkdir -p "$work/small" || ! mount -t tmpfs -o size=4m tmpfs "$work/small" 2>/dev/null; then
    echo "SKIP: a small tmpfs cannot be mounted here (needs root and mount rights)"
    exit 77
  fi
  mounted=$work/small
  "$generate" 3 "$work/small/Main.pb" "$work/translation" >/dev/null
  cp "$work/small/Main.pb" "$work/before.pb"
  set +e
  "$cli" apply "$work/small/Main.pb" "$work/translation" "$work/small/Main.pb" 2> "$work/err"
  rc=$?
  set -e
  [ "$rc" -eq 1 ] || fail "exit code $rc on a full disk (want 1)"
  grep -q "No space left on device" "$work/err" || fail "the error does not say the disk is full: $(cat "$work/err")"
  cmp -s "$work/small/Main.pb" "$work/before.pb" || fail "the source changed on a full disk"
  [ "$(temporaries "$work/small")" -eq 0 ] || fail "a temporary file was left on the full disk"
  echo "disk full: exit 1, '$(cat "$work/err")', the source whole, nothing left behind"
  ;;
memory)
  # 150 MB of source needs 300 MB as UTF-16: more than the process may map.
  "$generate" 150 "$work/big.pb" >/dev/null
  cp "$work/big.pb" "$work/out.pb"
  set +e
  (ulimit -v 250000; "$cli" extract "$work/big.pb" > /dev/null 2> "$work/err-extract")
  rc_extract=$?
  (ulimit -v 250000; "$cli" apply "$work/big.pb" "$work/big.pb" "$work/out.pb" 2> "$work/err-apply")
  rc_apply=$?
  set -e
  [ "$rc_extract" -eq 1 ] || fail "extract: exit code $rc_extract (want 1): $(cat "$work/err-extract")"
  [ "$rc_apply" -eq 1 ] || fail "apply: exit code $rc_apply (want 1): $(cat "$work/err-apply")"
  grep -q "too large" "$work/err-extract" || fail "extract does not say why: $(cat "$work/err-extract")"
  cmp -s "$work/big.pb" "$work/out.pb" || fail "apply changed its output although it failed"
  echo "out of memory: exit 1, '$(cat "$work/err-extract")'"
  ;;
*)
  fail "unknown scenario $scenario"
  ;;
esac
