#!/usr/bin/env bash
# The receive page's decode rate in headless Chromium against the desktop's
# receive, `quiver FILE.qvr`, on the same 256 MB text and binary mix sent with
# LZ + Strong and with Strong alone, both from a private nginx on 127.0.0.1.
# The page saves through its streamed download (tests/web/browser.mjs, timed
# from Save to the page's "Saved"); the desktop opens the decoded file with a
# fixture application that exits at once.
#
#   web_bench.sh [BUILD] [RUNS]  BUILD defaults to $BUILD_DIR, else /work/main/build;
#                                RUNS (default 3) alternate the page and the program.
# Prints median seconds and MB/s of each, the page's rate over the desktop's,
# and the largest JS heap the page had while saving.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source-path=SCRIPTDIR source=../send/bench_lib.sh
. "$here/../send/bench_lib.sh"
bench_setup web-bench "${1:-}"
runs="${2:-3}"
build="$(cd "$(dirname "$quiver")/.." && pwd)"
driver="$build/tests/web/browser.mjs"
[ -f "$driver" ] || { echo "web-bench: no $driver; build the target web_test_driver" >&2; exit 2; }

mkdir -p "$work/saved"
serve_www 1800 "types { text/html html; text/javascript js; text/css css; image/svg+xml svg; }"

cat > "$work/viewer" <<'SH'
#!/bin/sh
exit 0
SH
chmod +x "$work/viewer"
printf '[Desktop Entry]\nType=Application\nName=Bench viewer\nExec=%s %%f\nMimeType=text/plain;\n' \
  "$work/viewer" > "$XDG_DATA_HOME/applications/bench-viewer.desktop"
printf '[Default Applications]\ntext/plain=bench-viewer.desktop\n' > "$XDG_CONFIG_HOME/mimeapps.list"

coproc DRIVER { timeout 1800 node "$driver"; }
bench_pids+=("$DRIVER_PID")
# page LINK: saves through the page; prints the driver's answer.
page() {
  rm -rf "$work/saved"/*
  printf '{"link":"%s","downloads":"%s"}\n' "$1" "$work/saved" >&"${DRIVER[1]}"
  local answer
  read -r answer <&"${DRIVER[0]}"
  echo "$answer"
}
field() { python3 -c 'import json,sys; print(json.loads(sys.argv[1])[sys.argv[2]])' "$1" "$2"; }

src="$work/src/mix.txt"
mix "$src" $((256 << 20))
bytes=$(stat -c %s "$src")
rows=()
for transform in "1 2 LZ+Strong" "0 2 Strong"; do
  read -r compress encrypt label <<< "$transform"
  write_settings "http://127.0.0.1:$port/" "$compress" "$encrypt"
  rm -f "$work/src/mix.qvr"
  "$quiver" -s "$src" "$work/src/mix.qvr" > /dev/null
  link="$("$quiver" --link "$work/src/mix.qvr")"

  # The page must deliver the original before it is timed.
  answer="$(page "$link")"
  [ "$(field "$answer" state)" = saved ] || { echo "page: $answer" >&2; exit 1; }
  cmp -s "$work/saved/$(field "$answer" name)" "$src" || { echo "the page did not save $label intact" >&2; exit 1; }

  : > "$work/p.log"
  : > "$work/q.log"
  heap=0
  for ((i = 0; i < runs; i++)); do
    answer="$(page "$link")"
    echo "$(field "$answer" seconds)" >> "$work/p.log"
    heap=$(awk -v a="$heap" -v b="$(field "$answer" heapMax)" 'BEGIN { print (b > a ? b : a) }')
    measure "$work/q.log" "$quiver" "$work/src/mix.qvr"
  done
  ps=$(median "$work/p.log" 1) qs=$(median "$work/q.log" 1)
  prate=$(awk -v b="$bytes" -v s="$ps" 'BEGIN { printf "%.1f", b / 1048576 / s }')
  qrate=$(awk -v b="$bytes" -v s="$qs" 'BEGIN { printf "%.1f", b / 1048576 / s }')
  rows+=("$(printf '%-10s %8s %8s %8s %8s %6s %8s' "$label" "$ps" "$prate" "$qs" "$qrate" \
    "$(ratio "$prate" "$qrate")" "$(mb "$heap")")")
done
# The driver closes the browser once its input ends, before the work folder goes.
eval "exec ${DRIVER[1]}>&-"
wait "$DRIVER_PID"

echo
echo "The receive page in headless Chromium against quiver FILE.qvr, $(mb "$bytes") MB mix," \
     "median of $runs runs each, $(nproc) cores shared (load average $(cut -d' ' -f1-3 /proc/loadavg))"
printf '%-10s %8s %8s %8s %8s %6s %8s\n' file "page s" "page MB/s" "quiver s" "q MB/s" ratio "heap MB"
printf '%s\n' "${rows[@]}"
