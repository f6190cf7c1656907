#!/usr/bin/env bash
# Sending what compression cannot shrink, and sending with no transform, through
# the real `quiver -s`, headless, against the tools a user would use instead, on
# the same data in the same run:
#   - 64 MB of random bytes with LZ chosen, against `compress -c`: the published
#     size against the input, and the CPU time;
#   - 256 MB of programs and libraries with no transform, against `cp`: CPU time.
#
#   plain_bench.sh [BUILD] [RUNS]    BUILD defaults to $BUILD_DIR, else /work/main/build;
#                                    RUNS (default 5) alternate quiver and the tool.
# Prints medians of wall and CPU time (user+sys), their ratios and the sizes.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source-path=SCRIPTDIR source=bench_lib.sh
. "$here/bench_lib.sh"
bench_setup plain-bench "${1:-}"
runs="${2:-5}"

# row NAME SRC REFERENCE...: RUNS sends of SRC against REFERENCE SRC OUT, one line.
row() {
  local name="$1" src="$2" published
  shift 2
  : > "$work/q.log"
  : > "$work/r.log"
  for ((i = 0; i < runs; i++)); do
    measure "$work/q.log" "$quiver" -s "$src" "$work/src/pointer.qvr"
    published=$(take_sent)
    measure "$work/r.log" "$@" "$src" "$work/out"
  done
  local qw rw qc rc
  qw=$(median "$work/q.log" 1) rw=$(median "$work/r.log" 1)
  qc=$(median "$work/q.log" 2) rc=$(median "$work/r.log" 2)
  printf '%-22s %7s %8s %8s %6s %7s %7s %6s %11s %6s %11s\n' "$name" \
    "$(mb "$(stat -c %s "$src")")" "$qw" "$rw" "$(ratio "$qw" "$rw")" "$qc" "$rc" \
    "$(ratio "$qc" "$rc")" "$published" "$(ratio "$published" "$(stat -c %s "$src")")" \
    "$(stat -c %s "$work/out")"
  rm -f "$work/out"
}

echo "quiver -s against the reference tool, median of $runs runs each, $(nproc) cores" \
     "shared (load average $(cut -d' ' -f1-3 /proc/loadavg))"
printf '%-22s %7s %8s %8s %6s %7s %7s %6s %11s %6s %11s\n' "case" "MB" "wall_q" "wall_r" \
  "ratio" "cpu_q" "cpu_r" "ratio" "published" "/input" "reference"
head -c $((64 << 20)) /dev/urandom > "$work/src/random.dat"
write_settings "http://127.0.0.1/x/" 1 0
row "random, LZ / compress" "$work/src/random.dat" sh -c 'exec compress -c "$1" > "$2"' sh
rm -f "$work/src/random.dat"
corpus "$work/src/binary.dat" $((256 << 20)) binary
write_settings "http://127.0.0.1/x/" 0 0
row "binary, none / cp" "$work/src/binary.dat" cp
