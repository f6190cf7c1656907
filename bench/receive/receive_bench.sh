#!/usr/bin/env bash
# Receiving with the real `quiver FILE.qvr`, headless, from a private nginx on
# 127.0.0.1, opened through a fixture association whose application notes the
# time and exits at once, the decoded file removed afterwards. Against it, in
# the same run, what a user does by hand with the same source published as .Z
# beside it: `curl -s -o f.Z URL` then `uncompress f.Z` (ncompress's own
# decompressor, `compress -d`: Debian's /usr/bin/uncompress is gzip's script).
# The files: a 256 MB and a 64 MB text and binary mix sent with LZ and Simple,
# and 64 MB of random bytes sent with LZ chosen (the send leaves LZ out); then
# the 64 MB mix again from a location that nginx sends at 25 MB/s.
#
# Quiver's wall time ends when the application gets the file: afterwards the
# program only waits to remove it, as a user would not. Its CPU time is the
# whole run's.
#
# Then the smallest job end to end: `quiver -s` of 1 KB into the local root and
# `quiver` of its pointer file, against `cp` into the root and `curl -o`.
#
#   receive_bench.sh [BUILD] [RUNS]  BUILD defaults to $BUILD_DIR, else /work/main/build;
#                                    RUNS (default 5) alternate quiver and the pipeline.
# Prints medians of wall time and CPU time (user+sys, all processes of the
# command), their ratios, and max RSS; then the peak memory of one receive
# of a 16 MB and of a 512 MB mix.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source-path=SCRIPTDIR source=../send/bench_lib.sh
. "$here/../send/bench_lib.sh"
bench_setup receive-bench "${1:-}"
runs="${2:-5}"
# What follows the application's start is not measured: the program's wait
# before it removes the opened file is shortened so that the runs go faster.
export QUIVER_HAND_OFF_GRACE_MS=100
if ! command -v curl >/dev/null || [ ! -x /usr/sbin/nginx ]; then
  echo "receive-bench: needs curl and nginx; run scripts/bootstrap" >&2
  exit 2
fi

serve_www 900 "" "location /slow/ { alias $work/www/; limit_rate 25m; }"
write_settings "http://127.0.0.1:$port/"

# The application the decoded files open with: it notes when it got the file
# and exits, unless QVB_CHECK names the original to compare it with.
cat > "$work/viewer" <<'SH'
#!/bin/sh
date +%s%N > "$work/opened"
if [ -n "${QVB_CHECK:-}" ]; then cmp -s -- "$1" "$QVB_CHECK" && echo same > "$QVB_CHECK.ok"; fi
exit 0
SH
chmod +x "$work/viewer"
printf '[Desktop Entry]\nType=Application\nName=Bench viewer\nExec=%s %%f\nMimeType=text/plain;application/octet-stream;\n' \
  "$work/viewer" > "$XDG_DATA_HOME/applications/bench-viewer.desktop"
printf '[Default Applications]\ntext/plain=bench-viewer.desktop\napplication/octet-stream=bench-viewer.desktop\n' \
  > "$XDG_CONFIG_HOME/mimeapps.list"

# measure_open LOG POINTER: one receive, its wall time up to the application.
measure_open() {
  local start
  rm -f "$work/opened"
  now_us start
  /usr/bin/time -f '%U %S %M' -o "$work/time.out" "$quiver" "$2"
  awk -v us=$(($(cat "$work/opened") / 1000 - start)) '{ printf "%.3f %.2f %d\n", us / 1e6, $1 + $2, $3 }' \
    "$work/time.out" >> "$1"
}

for _ in $(seq 100); do
  curl -s -o /dev/null "http://127.0.0.1:$port/" && break
  sleep 0.05
done

# by_hand URL: the user's pipeline, into $work/hand.
by_hand() { curl -s -o "$work/hand.Z" "$1" && compress -d -f "$work/hand.Z"; }
export -f by_hand
export work

tmp_is_empty() {
  [ -z "$(ls -A "$TMPDIR")" ] || { echo "left in TMPDIR: $(ls -A "$TMPDIR")" >&2; exit 1; }
}

rows=()
for size in 256 64 r64 s64; do
  # s64: the 64 MB mix over a link of 25 MB/s, where the fetch is the slower side.
  base="http://127.0.0.1:$port"
  [ "$size" = s64 ] && base="$base/slow"
  write_settings "$base/"
  if [ "$size" = r64 ]; then
    name="random64.bin"
    src="$work/src/$name"
    head -c $((64 << 20)) /dev/urandom > "$src"
  else
    name="mix${size#s}.txt"
    src="$work/src/$name"
    mix "$src" $((${size#s} << 20))
  fi
  # A name published before is not taken again: s64 gets a name of its own.
  "$quiver" -s "$src" "$work/src/mix.qvr" > /dev/null
  compress -c "$src" > "$work/www/$name.Z"
  url="$base/$name.Z"

  # Both ways must deliver the original before they are timed.
  QVB_CHECK="$src" "$quiver" "$work/src/mix.qvr"
  [ -f "$src.ok" ] || { echo "quiver did not deliver $name intact" >&2; exit 1; }
  rm -f "$src.ok"
  tmp_is_empty
  by_hand "$url"
  cmp -s "$work/hand" "$src" || { echo "curl + uncompress did not deliver $name intact" >&2; exit 1; }
  rm -f "$work/hand"

  : > "$work/q.log"
  : > "$work/h.log"
  for ((i = 0; i < runs; i++)); do
    measure_open "$work/q.log" "$work/src/mix.qvr"
    tmp_is_empty
    measure "$work/h.log" bash -c 'by_hand "$1"' bash "$url"
    rm -f "$work/hand"
  done
  qw=$(median "$work/q.log" 1) hw=$(median "$work/h.log" 1)
  qc=$(median "$work/q.log" 2) hc=$(median "$work/h.log" 2)
  rows+=("$(printf '%-6s %10s %10s %6s %8s %8s %6s %10s %10s %10s %10s' "$size" "$qw" "$hw" \
    "$(ratio "$qw" "$hw")" "$qc" "$hc" "$(ratio "$qc" "$hc")" "$(median "$work/q.log" 3)" \
    "$(median "$work/h.log" 3)" "$(mb "$(stat -c %s "$work/www/$(ls "$work/www" | grep "^${name%.*}" | grep -v '\.Z$')")")" \
    "$(mb "$(stat -c %s "$work/www/$name.Z")")")")
  rm -f "$src" "$work/src/mix.qvr" "$work"/www/*
done
write_settings "http://127.0.0.1:$port/"

# Peak memory of one receive at two sizes (the same kind of data).
mem=()
for size in 16 512; do
  src="$work/src/mem$size.txt"
  mix "$src" $((size << 20))
  "$quiver" -s "$src" "$work/src/mem.qvr" > /dev/null
  rm -f "$src"
  : > "$work/m.log"
  measure "$work/m.log" "$quiver" "$work/src/mem.qvr"
  tmp_is_empty
  mem+=("$(printf '%-6s %10s %10s' "${size}MB" "$(median "$work/m.log" 3)" "$(median "$work/m.log" 1)")")
  rm -f "$work/src/mem.qvr" "$work"/www/*
done

# The smallest job: send 1 KB and receive it, against cp and curl -o.
small="$work/src/small.txt"
head -c 1024 "$work/viewer" /usr/share/common-licenses/GPL-3 | head -c 1024 > "$small"
small_send_receive() {
  "$quiver" -s "$small" "$work/src/small.qvr" > /dev/null && "$quiver" "$work/src/small.qvr"
}
small_by_hand() {
  cp "$small" "$work/www/small-copy.txt" && curl -s -o "$work/hand" "http://127.0.0.1:$port/small-copy.txt"
}
export -f small_send_receive small_by_hand
export quiver small port
: > "$work/s.log"
: > "$work/c.log"
for ((i = 0; i < runs; i++)); do
  rm -f "$work"/www/* "$work/src/small.qvr"
  now_us start
  /usr/bin/time -f '%U %S %M' -o "$work/time.out" bash -c small_send_receive
  awk -v us=$(($(cat "$work/opened") / 1000 - start)) '{ printf "%.3f %.2f %d\n", us / 1e6, $1 + $2, $3 }' \
    "$work/time.out" >> "$work/s.log"
  tmp_is_empty
  rm -f "$work"/www/*
  measure "$work/c.log" bash -c small_by_hand
  cmp -s "$work/hand" "$small" || { echo "cp + curl did not deliver the small file" >&2; exit 1; }
done
sw=$(median "$work/s.log" 1) cw=$(median "$work/c.log" 1)
sc=$(median "$work/s.log" 2) cc=$(median "$work/c.log" 2)

echo
echo "quiver FILE.qvr against curl -s -o + uncompress, median of $runs runs each, $(nproc) cores" \
     "shared (load average $(cut -d' ' -f1-3 /proc/loadavg))"
printf '%-6s %10s %10s %6s %8s %8s %6s %10s %10s %10s %10s\n' file "quiver s" "by hand s" ratio \
  "q cpu s" "h cpu s" ratio "quiver KB" "by hand KB" "fetched MB" ".Z MB"
printf '%s\n' "${rows[@]}"
echo
echo "Peak memory of one receive (max RSS, KB)"
printf '%-6s %10s %10s\n' file "quiver KB" "quiver s"
printf '%s\n' "${mem[@]}"
echo
echo "1 KB sent and received: quiver -s + quiver against cp + curl -o (wall up to the application)"
printf '%8s %8s %6s %8s %8s %6s\n' "quiver s" "cp+curl" ratio "q cpu s" "h cpu s" ratio
printf '%8s %8s %6s %8s %8s %6s\n' "$sw" "$cw" "$(ratio "$sw" "$cw")" "$sc" "$cc" "$(ratio "$sc" "$cc")"
