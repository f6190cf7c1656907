#!/usr/bin/env bash
# Sending with the default transforms (LZ and Simple) through the real `quiver -s`,
# headless, against `compress -c FILE > out` on the same 64 MB text and binary
# corpora in the same run, and the peak memory of a 16 MB against a 512 MB send.
#
#   send_bench.sh [BUILD] [RUNS]     BUILD defaults to $BUILD_DIR, else /work/main/build;
#                                    RUNS (default 5) alternate quiver and compress.
# Prints medians of wall time and CPU time (user+sys; steadier on a shared machine),
# the ratios quiver/compress, the published and .Z sizes, and max RSS.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source-path=SCRIPTDIR source=bench_lib.sh
. "$here/bench_lib.sh"
bench_setup send-bench "${1:-}"
runs="${2:-5}"
write_settings "http://127.0.0.1/x/"

# send_once LOG SRC: one timed send; leaves the published size in $published.
send_once() {
  measure "$1" "$quiver" -s "$2" "$work/src/pointer.qvr"
  published=$(take_sent)
}

rows=()
for kind in text binary; do
  src="$work/src/$kind.dat"
  corpus "$src" $((64 << 20)) "$kind"
  : > "$work/q.log"
  : > "$work/c.log"
  for ((i = 0; i < runs; i++)); do
    send_once "$work/q.log" "$src"
    measure "$work/c.log" sh -c 'exec compress -c "$1" > "$2"' sh "$src" "$work/out.Z"
  done
  zsize=$(stat -c %s "$work/out.Z")
  compress -d -c "$work/out.Z" | cmp -s - "$src" || { echo "compress round trip differs" >&2; exit 1; }
  qw=$(median "$work/q.log" 1) cw=$(median "$work/c.log" 1)
  qc=$(median "$work/q.log" 2) cc=$(median "$work/c.log" 2)
  rows+=("$(printf '%-7s %7s %9s %9s %6s %8s %8s %6s %12s %12s' "$kind" "$(mb "$(stat -c %s "$src")")" \
    "$qw" "$cw" "$(ratio "$qw" "$cw")" "$qc" "$cc" "$(ratio "$qc" "$cc")" "$published" "$zsize")")
  rm -f "$src" "$work/out.Z"
done

# Peak memory: the same kind of data (a text and binary mix) at two sizes.
mem=()
for size in 16 512; do
  src="$work/src/mix$size.dat"
  mix "$src" $((size << 20))
  : > "$work/m.log"
  send_once "$work/m.log" "$src"
  : > "$work/z.log"
  measure "$work/z.log" sh -c 'exec compress -c "$1" > /dev/null' sh "$src"
  mem+=("$(printf '%-7s %12s %12s %9s' "${size}MB" "$(median "$work/m.log" 3)" "$(median "$work/z.log" 3)" \
    "$(median "$work/m.log" 1)")")
  rm -f "$src"
done

echo
echo "quiver -s (LZ + Simple) against compress -c, median of $runs runs each, $(nproc) cores" \
     "shared (load average $(cut -d' ' -f1-3 /proc/loadavg))"
printf '%-7s %7s %9s %9s %6s %8s %8s %6s %12s %12s\n' corpus MB "quiver s" "compr. s" ratio \
  "q cpu s" "c cpu s" ratio "published B" ".Z bytes"
printf '%s\n' "${rows[@]}"
echo
echo "Peak memory of one send (max RSS, KB); compress on the same file for reference"
printf '%-7s %12s %12s %9s\n' file "quiver KB" "compress KB" "quiver s"
printf '%s\n' "${mem[@]}"
